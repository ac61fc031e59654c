// A served headless device runs on this machine's time: its events' times are real elapsed time,
// its clock faces show the machine's time, a recording started from outside sees the screen move in
// real time, and a host nobody drives sleeps rather than refreshing a screen nobody sees.

#include "tests/hosts/boot/ServedDevice.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/VideoReader.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The events of a line's reply, one JSON object a line.
std::vector<JsonValue> eventsOf(const std::string& reply) {
    std::vector<JsonValue> events;
    size_t at = 0;
    while (at < reply.size()) {
        size_t end = reply.find('\n', at);
        if (end == std::string::npos)
            end = reply.size();
        if (auto event = JsonValue::parse(reply.substr(at, end - at)))
            events.push_back(*event);
        at = end + 1;
    }
    return events;
}

class ServedClockTest : public ServedDeviceTest {
protected:
    // The `t` of the line's first event with that name; -1 when the line wrote none.
    double timeOf(const std::string& process, const std::string& line, const std::string& event) {
        std::string output;
        EXPECT_EQ(run("send " + process + " \"" + line + "\"", output), 0) << output;
        for (const JsonValue& written : eventsOf(output))
            if (written["event"].string() == event)
                return written["t"].number();
        return -1;
    }
    // The device's process running that program ("zv-springboard"), from the kernel's table.
    pid_t processOf(const std::string& program) {
        for (const auto& [pid, name] : childrenOf(m_supervisor))
            if (name == program)
                return pid;
        return -1;
    }
};

TEST_F(ServedClockTest, EventsCarryRealElapsedTime) {
    boot();
    for (const std::string process : {"springboard", "settings"}) {
        auto begin = Clock::now();
        double first = timeOf(process, "state", "state");
        std::this_thread::sleep_for(300ms);
        double second = timeOf(process, "state", "state");
        double between = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        ASSERT_GE(first, 0) << process;
        EXPECT_GE(second - first, 300) << process << ": the clock moved with real time";
        EXPECT_LE(second - first, between + 1) << process << ": and no faster";
    }
    // A wait is one of real time, with the clock moving along.
    double before = timeOf("springboard", "state", "state");
    auto begin = Clock::now();
    std::string output;
    ASSERT_EQ(run("send springboard \"wait 300\"", output), 0) << output;
    EXPECT_GE(Clock::now() - begin, 300ms);
    EXPECT_GE(timeOf("springboard", "state", "state") - before, 300);
}

TEST_F(ServedClockTest, ClockFacesShowThisMachinesTimeUnlessOverridden) {
    boot();
    auto both = [&] { return std::make_pair(state("springboard"), state("settings")); };
    auto showBoth = [](const auto& states, const std::string& time) {
        return states.first && states.second && (*states.first)["clock"]["time"].string() == time &&
               (*states.second)["statusBar"]["time"].string() == time;
    };
    EXPECT_TRUE(showsMachineTime(both, showBoth)) << "the lock screen's clock and Settings' status bar";
    EXPECT_TRUE(showsMachineTime([&] { return state("springboard"); },
                                 [](const auto& lock, const std::string& date) {
                                     return lock && (*lock)["clock"]["date"].string() == date;
                                 },
                                 "%A %-d %B"));

    // The override wins over the machine's time, whatever it is.
    std::string pinned = machineTime("%H") == "04" ? "5:17" : "4:17";
    std::string output;
    ASSERT_EQ(run("status-bar override --time " + pinned, output), 0) << output;
    EXPECT_TRUE(soon([&] { return showBoth(both(), pinned); })) << "both show " << pinned;
    ASSERT_EQ(run("status-bar clear", output), 0) << output;
    EXPECT_TRUE(showsMachineTime(both, showBoth)) << "cleared, both show this machine's time again";
}

TEST_F(ServedClockTest, ARecordingStartedFromOutsideTakesFramesInRealTime) {
    boot();
    std::string path = m_folder + "/waves.apng";
    // A minute turning during the recording would change the clock's pixels: pin the clock first.
    std::string output;
    ASSERT_EQ(run("status-bar override --time 4:17", output), 0) << output;
    ASSERT_TRUE(soon([&] {
        auto lock = state("springboard");
        return lock && (*lock)["clock"]["time"].string() == "4:17";
    })) << "the lock screen shows the pinned time";
    // The reply to a line that writes no event of its own is its end alone, which zorvi does not print.
    double started = timeOf("springboard", "state", "state");
    ASSERT_EQ(run("send springboard \"record start " + path + " 30\"", output), 0) << output;
    // Long enough that a host slowed by a loaded machine (its first frame is the whole screen, the
    // slowest to write) still takes pictures of the waves moving in the second half.
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(run("send springboard \"record stop\"", output), 0) << output;
    std::vector<JsonValue> events = eventsOf(output);
    ASSERT_FALSE(events.empty()) << output;
    const JsonValue& record = events[0];
    ASSERT_EQ(record["event"].string(), "record") << output;
    // A frame every 30th of a second of the time that passed: at least the time slept, at most
    // the time from before the start to the stop (give or take the frame at each end).
    double seconds = (record["t"].number() - started) / 1000;
    double frames = record["frames"].number();
    EXPECT_GE(frames, 1.5 * 30 - 1);
    EXPECT_LE(frames, seconds * 30 + 1);

    DecodedVideo video = readVideo(path);
    ASSERT_EQ(video.error, "");
    ASSERT_EQ(static_cast<double>(video.frames.size()), frames);
    size_t last = video.frames.size() - 1;
    // The waves run along the bottom 55 points of the 812-point screen.
    int top = video.height * 757 / 812;
    EXPECT_GT(video.changedPixels(0, last, 0, top, video.width, video.height, 0), 100u) << "the waves moved";
    EXPECT_GT(video.changedPixels(last / 2, last, 0, top, video.width, video.height, 0), 100u)
        << "and kept moving";
    EXPECT_EQ(video.changedPixels(0, last, 0, 0, video.width, top, 0), 0u) << "nothing else did";

    // Stopped, the host idles again: a second of nothing costs it next to no runs.
    pid_t lockScreen = processOf("zv-springboard");
    ASSERT_GT(lockScreen, 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(fewestRunsInASecond(lockScreen), 5);
}

TEST_F(ServedClockTest, AHostLeftAloneSleepsWhileItsClockRuns) {
    boot();
    std::map<std::string, double> last;
    for (const std::string process : {"springboard", "settings"})
        last[process] = timeOf(process, "state", "state");
    pid_t lockScreen = processOf("zv-springboard"), settings = processOf("zv-settings");
    ASSERT_GT(lockScreen, 0);
    ASSERT_GT(settings, 0);
    // What the lines left to do is done; from here nothing drives either process.
    std::this_thread::sleep_for(100ms);
    // The lock screen's waves would want a refresh 60 times a second; nobody sees them.
    EXPECT_LE(fewestRunsInASecond(lockScreen), 5);
    EXPECT_LE(fewestRunsInASecond(settings), 5);
    for (const std::string process : {"springboard", "settings"})
        EXPECT_GE(timeOf(process, "state", "state") - last[process], 1100) << process;
}

} // namespace
