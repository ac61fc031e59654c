// A booted device driven from another shell: the zorvi commands against the processes' control
// sockets, a served headless device and a device in windows, who may connect, and clients that
// misbehave.

#include "tests/hosts/boot/ServedDevice.h"
#include "tests/support/XDisplay.h"

#include <map>
#include <set>

namespace {

using namespace std::chrono_literals;

// What comes back until the end marker (or 5 s of silence).
// One line's reply: up to its end marker's line. What came after it (the next line's reply, when
// the host answered both before this was read) waits for the next call.
std::string readReply(int fd) {
    static std::map<int, std::string> pending;
    std::string& reply = pending[fd];
    char buffer[65536];
    size_t end;
    while ((end = reply.find("\"event\":\"end\"")) == std::string::npos) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            std::string partial = std::move(reply);
            pending.erase(fd);
            return partial;
        }
        reply.append(buffer, static_cast<size_t>(got));
    }
    size_t lineEnd = reply.find('\n', end);
    lineEnd = lineEnd == std::string::npos ? reply.size() : lineEnd + 1;
    std::string one = reply.substr(0, lineEnd);
    reply.erase(0, lineEnd);
    if (reply.empty())
        pending.erase(fd); // a descriptor closed and opened again starts afresh
    return one;
}

// The PNG's size in pixels, from its header.
std::pair<uint32_t, uint32_t> pngSize(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    auto big = [&](int at) {
        return static_cast<uint32_t>(header[at]) << 24 | header[at + 1] << 16 | header[at + 2] << 8 |
               header[at + 3];
    };
    return {big(16), big(20)};
}

class ControlTest : public ServedDeviceTest {};

TEST_F(ControlTest, TappingLabelsOpensThePageAndFlipsTheSwitchThatDescribeShows) {
    boot();
    std::string output;
    ASSERT_EQ(run("ui settings tap --label Zorvi", output), 0) << output;
    auto before = describe("settings");
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ((*before)["process"].string(), "settings");
    const JsonValue* row = findElement((*before)["elements"], "cell", "Custom colours");
    ASSERT_NE(row, nullptr) << "the row is described as a cell with its label";
    const JsonValue* toggle = findElement((*row)["children"], "switch", "");
    ASSERT_NE(toggle, nullptr);
    EXPECT_FALSE((*toggle)["value"].boolean());
    EXPECT_EQ((*toggle)["frame"].numbers().size(), 4u);

    ASSERT_EQ(run("ui settings tap --label \"Custom colours\"", output), 0) << output;
    auto after = describe("settings");
    ASSERT_TRUE(after.has_value());
    row = findElement((*after)["elements"], "cell", "Custom colours");
    ASSERT_NE(row, nullptr);
    toggle = findElement((*row)["children"], "switch", "");
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE((*toggle)["value"].boolean()) << "the switch flipped";
    ASSERT_EQ(run("defaults read com.vantrel.zorvi enablecustom", output), 0) << output;
    EXPECT_NE(output.find('1'), std::string::npos) << output;

    // A label that names nothing says what is near; the page's labels are all there to read.
    EXPECT_EQ(run("ui settings tap --label \"Custom colour\"", output), 1);
    EXPECT_NE(output.find("\"Custom colours\""), std::string::npos) << output;
    EXPECT_TRUE(showsMachineTime([&] { return describe("settings"); },
                                 [](const auto& screen, const std::string& time) {
                                     return screen && findElement((*screen)["elements"], "text", time);
                                 }))
        << "the status bar shows this machine's time";
}

TEST_F(ControlTest, TheLockScreenDescribesItsTextsAndAppButtons) {
    boot();
    std::string output;
    ASSERT_EQ(run("send springboard hint", output), 0) << output;
    auto screen = describe("springboard");
    ASSERT_TRUE(screen.has_value());
    const JsonValue& elements = (*screen)["elements"];
    // The clock shows this machine's time and date, as a served device runs on real time.
    auto shows = [](const auto& screen, const std::string& text) {
        return screen && findElement((*screen)["elements"], "text", text);
    };
    EXPECT_TRUE(showsMachineTime([&] { return describe("springboard"); }, shows));
    EXPECT_TRUE(showsMachineTime([&] { return describe("springboard"); }, shows, "%A %-d %B"));
    EXPECT_NE(findElement(elements, "text", "Swipe up to open"), nullptr);
    const JsonValue* phone = findElement(elements, "button", "Phone");
    ASSERT_NE(phone, nullptr) << "an app button is labelled with its app's name";
    EXPECT_EQ((*phone)["value"].string(), "com.apple.mobilephone");
    EXPECT_NE(findElement(elements, "waves", ""), nullptr);
}

TEST_F(ControlTest, ScreenshotsOfBothProcessesAreInDevicePixels) {
    boot();
    std::string output;
    ASSERT_EQ(run("io springboard screenshot " + m_folder + "/lock.png", output), 0) << output;
    ASSERT_EQ(run("io settings screenshot " + m_folder + "/settings.png", output), 0) << output;
    EXPECT_EQ(pngSize(m_folder + "/lock.png"), std::make_pair(1125u, 2436u));
    EXPECT_EQ(pngSize(m_folder + "/settings.png"), std::make_pair(1125u, 2436u));
    // Where a script's snapshot may not write, neither may a client.
    EXPECT_EQ(run("io settings screenshot /nonexistent-folder/x.png", output), 1);
    EXPECT_NE(output.find("snapshot"), std::string::npos) << output;
}

TEST_F(ControlTest, TheStatusBarOverrideShowsInBothAndOutlivesARespring) {
    boot();
    std::string output;
    ASSERT_EQ(run("status-bar override --time 10:09 --date 2025-03-04", output), 0) << output;
    auto pinned = [&](const std::string& time) {
        for (int i = 0; i < 200; ++i) {
            auto lock = state("springboard"), settings = state("settings");
            if (lock && settings && (*lock)["clock"]["time"].string() == time &&
                (*settings)["statusBar"]["time"].string() == time)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    ASSERT_TRUE(pinned("10:09"));
    EXPECT_EQ((*state("springboard"))["clock"]["date"].string(), "Tuesday 4 March");

    // The lock screens the device's process table names (a socket's inode may be reused, a pid
    // is not while its process lives).
    auto lockScreens = [&] {
        std::set<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(root + "/var/run/processes", ignored))
            if (entry.path().filename().string().rfind("SpringBoard.", 0) == 0)
                names.insert(entry.path().filename().string());
        return names;
    };
    std::set<std::string> before = lockScreens();
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(run("respring", output), 0) << output;
    // A new lock screen, serving from a socket of its own.
    bool restarted = false;
    for (int i = 0; i < 1000 && !restarted; ++i) {
        for (const std::string& name : lockScreens())
            restarted = restarted || !before.count(name);
        restarted = restarted && serving("springboard");
        if (!restarted)
            std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(pinned("10:09")) << "the override is the device's, not the process's";

    ASSERT_EQ(run("status-bar clear", output), 0) << output;
    auto both = [&] { return std::make_pair(state("springboard"), state("settings")); };
    auto showBoth = [](const auto& states, const std::string& time) {
        return states.first && states.second && (*states.first)["clock"]["time"].string() == time &&
               (*states.second)["statusBar"]["time"].string() == time;
    };
    EXPECT_TRUE(showsMachineTime(both, showBoth)) << "cleared, both show this machine's time again";
    EXPECT_EQ(run("status-bar override --time 25:00", output), 2);
}

TEST_F(ControlTest, SendPrintsTheEventsOfALineAndFailsWithItsError) {
    boot();
    std::string output;
    ASSERT_EQ(run("send settings open Zorvi", output), 0) << output;
    auto page = JsonValue::parse(output.substr(0, output.find('\n')));
    ASSERT_TRUE(page.has_value()) << output;
    EXPECT_EQ((*page)["event"].string(), "page");
    EXPECT_EQ((*page)["title"].string(), "Zorvi");

    EXPECT_EQ(run("send settings frobnicate now", output), 1);
    auto error = JsonValue::parse(output.substr(0, output.find('\n')));
    ASSERT_TRUE(error.has_value()) << output;
    EXPECT_EQ((*error)["event"].string(), "error");
    EXPECT_NE((*error)["message"].string().find("frobnicate"), std::string::npos);

    // Words holding a line break are refused whole: what follows the break would otherwise run as a
    // line of its own, unseen.
    std::string smuggled = m_folder + "/smuggled.png";
    EXPECT_EQ(run("send settings \"state\nsnapshot " + smuggled + "\"", output), 2) << output;
    EXPECT_NE(output.find("line break"), std::string::npos) << output;
    EXPECT_EQ(run("ui settings text \"a\nsnapshot " + smuggled + "\"", output), 2) << output;
    // Lines run in the order they came: once this one is answered, any smuggled one has run.
    ASSERT_EQ(run("send settings state", output), 0) << output;
    EXPECT_FALSE(std::filesystem::exists(smuggled));
}

TEST_F(ControlTest, AnotherUserIsRefusedAndTheRefusalLogged) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    boot();
    std::string output;
    int status = runCommand("setpriv --reuid=nobody --regid=nogroup --clear-groups " +
                                zorviOn("send springboard state", root),
                            output);
    EXPECT_EQ(status, 1) << output;
    EXPECT_EQ(output.find("\"event\":\"state\""), std::string::npos) << output;
    std::string log;
    for (int i = 0; i < 100 && log.find("refused a connection") == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        log = deviceLog();
    }
    EXPECT_NE(log.find("refused a connection to springboard from user 65534"), std::string::npos) << log;
    EXPECT_EQ(run("send springboard state", output), 0) << "its owner still drives it";
}

TEST_F(ControlTest, SilentOverlongAndVanishingClientsLeaveTheProcessServing) {
    boot();
    int silent = connectTo(root, "settings");
    ASSERT_GE(silent, 0);

    int overlong = connectTo(root, "settings");
    std::string line(10000, 'x');
    ASSERT_EQ(::send(overlong, (line + "\nstate\n").data(), line.size() + 7, MSG_NOSIGNAL),
              static_cast<ssize_t>(line.size() + 7));
    std::string reply = readReply(overlong);
    EXPECT_NE(reply.find("too long"), std::string::npos) << reply.substr(0, 300);
    EXPECT_NE(reply.find("\"status\":1"), std::string::npos);
    EXPECT_NE(readReply(overlong).find("\"event\":\"state\""), std::string::npos) << "the next line runs";
    ::close(overlong);

    // Gone before its long reply is read: a page of elements, never taken.
    for (int i = 0; i < 20; ++i) {
        int vanishing = connectTo(root, "settings");
        std::string many;
        for (int j = 0; j < 3; ++j)
            many += "ui describe\n";
        ::send(vanishing, many.data(), many.size(), MSG_NOSIGNAL);
        ::close(vanishing);
    }
    // Killed while its line runs.
    pid_t client = ::fork();
    if (client == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        std::string command = zorviOn("send settings pause 300", root);
        ::execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(100ms);
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);

    std::string output;
    EXPECT_EQ(run("send settings state", output), 0) << output;
    EXPECT_NE(output.find("\"event\":\"state\""), std::string::npos);
    // The silent one is still there, and still served.
    ASSERT_EQ(::send(silent, "state\n", 6, MSG_NOSIGNAL), 6);
    EXPECT_NE(readReply(silent).find("\"event\":\"state\""), std::string::npos);
    ::close(silent);
}

TEST_F(ControlTest, CommandsOnADeviceThatIsNotBootedSaySo) {
    std::string output;
    EXPECT_EQ(run("ui settings describe", output), 1);
    EXPECT_NE(output.find("the device is not booted"), std::string::npos) << output;
    EXPECT_EQ(run("io springboard screenshot " + m_folder + "/x.png", output), 1);
    EXPECT_NE(output.find("the device is not booted"), std::string::npos) << output;
    EXPECT_EQ(run("shutdown", output), 1);
    EXPECT_EQ(run("ui phone describe", output), 2) << output;
}

TEST_F(ControlTest, ShutdownEndsAServedDevice) {
    boot();
    std::string output;
    ASSERT_EQ(run("shutdown", output), 0) << output;
    int status = -1;
    for (int i = 0; i < 500 && ::waitpid(m_supervisor, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    m_supervisor = -1;
    EXPECT_EQ(run("ui settings describe", output), 1);
}

TEST_F(ControlTest, InWindowsATapByLabelShowsTheSwitchOn) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb and xdotool are not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    boot(display.name());
    std::string output;
    ASSERT_EQ(run("ui settings tap --label Zorvi", output), 0) << output;
    auto screen = describe("settings");
    ASSERT_TRUE(screen.has_value());
    const JsonValue* row = findElement((*screen)["elements"], "cell", "Custom colours");
    ASSERT_NE(row, nullptr);
    const JsonValue* toggle = findElement((*row)["children"], "switch", "");
    ASSERT_NE(toggle, nullptr);
    std::vector<double> frame = (*toggle)["frame"].numbers();
    ASSERT_EQ(frame.size(), 4u);
    // Settings' window stands at x 435, centred down a 1024-high screen, a window pixel a point; a
    // point of the switch's track that the knob leaves when it goes on.
    int x = 435 + static_cast<int>(frame[0] + 10),
        y = (1024 - 812) / 2 + static_cast<int>(frame[1] + frame[3] / 2);
    auto red = [](uint32_t pixel) { return pixel >> 16 & 0xff; };
    auto off = captureWhen(display, x, y, [&](uint32_t pixel) { return red(pixel) > 200; });
    ASSERT_TRUE(off.has_value()) << display.captureError();
    uint32_t offPixel = off->at(x, y);

    ASSERT_EQ(run("ui settings tap --label \"Custom colours\"", output), 0) << output;
    auto on = captureWhen(display, x, y, [&](uint32_t pixel) { return red(pixel) < 200; });
    ASSERT_TRUE(on.has_value());
    EXPECT_NE(on->at(x, y), offPixel) << std::hex << offPixel << " stayed";
    EXPECT_LT(red(on->at(x, y)), 200u) << std::hex << on->at(x, y) << ": the track is tinted";
    ASSERT_EQ(run("defaults read com.vantrel.zorvi enablecustom", output), 0) << output;
    EXPECT_NE(output.find('1'), std::string::npos) << output;
}

TEST_F(ControlTest, InWindowsSettingsStatusBarShowsTheLockScreensLiveTime) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb and xdotool are not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    boot(display.name());
    auto shown = [&](const std::string& process, const char* part) {
        auto fields = state(process);
        return fields ? (*fields)[part]["time"].string() : std::string();
    };
    // Read twice more should a minute turn between the two.
    std::string lock, bar;
    for (int i = 0; i < 3 && (lock.empty() || lock != bar); ++i) {
        lock = shown("springboard", "clock");
        bar = shown("settings", "statusBar");
    }
    ASSERT_FALSE(lock.empty());
    EXPECT_EQ(bar, lock) << "Settings' status bar shows the time the lock screen's clock shows";
}

} // namespace
