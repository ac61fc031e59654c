// The supervisor running a script: processes that stop taking their commands, waits that cannot
// end well, a backboardd that cannot start, a device that cannot be written, exit statuses, and what
// shutting down lets finish.
// Every run is bounded: a supervisor that hangs is killed and the test fails.

#include "tests/hosts/boot/FreshDeviceTest.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/JsonValue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct BootRun {
    std::vector<JsonValue> events;
    std::string errorOutput;
    int status = -1; // the exit status, or -1 when it did not end in time (or died of a signal)
    double seconds = 0;

    std::vector<const JsonValue*> of(const std::string& event, const std::string& process) const {
        std::vector<const JsonValue*> found;
        for (const auto& e : events)
            if (e["event"].string() == event && e["process"].string() == process)
                found.push_back(&e);
        return found;
    }
    // The supervisor's error messages.
    std::vector<std::string> errors() const {
        std::vector<std::string> messages;
        for (const auto* e : of("error", "supervisor"))
            messages.push_back((*e)["message"].string());
        return messages;
    }
    bool anyError(const std::string& part) const {
        for (const auto& message : errors())
            if (message.find(part) != std::string::npos)
                return true;
        return false;
    }
};

class ScriptRunTest : public FreshDeviceTest {
protected:
    ScriptRunTest() : FreshDeviceTest("run") {}

    // Boots the device headless with the script, for at most `limit` seconds; `seen` is told of
    // every trace line as it comes, with the supervisor's pid.
    BootRun boot(const std::string& script, double limit,
                 const std::function<void(const JsonValue&, pid_t)>& seen = {},
                 const std::string& program = ZV_BOOT) {
        std::ofstream(m_folder + "/boot.txt") << script;
        std::string errors = m_folder + "/stderr.txt";
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        auto started = Clock::now();
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(ends[1], 1);
            ::close(ends[0]);
            ::close(ends[1]);
            ::freopen(errors.c_str(), "w", stderr);
            std::string scriptPath = m_folder + "/boot.txt";
            ::execl(program.c_str(), "zv-boot", "--root", root.c_str(), "--headless", "--script",
                    scriptPath.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        BootRun run;
        auto deadline = started + std::chrono::duration<double>(limit);
        std::string pending;
        char buffer[65536];
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd fd{ends[0], POLLIN, 0};
            if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) <= 0)
                break;
            ssize_t got = ::read(ends[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            pending.append(buffer, static_cast<size_t>(got));
            size_t newline;
            while ((newline = pending.find('\n')) != std::string::npos) {
                auto event = JsonValue::parse(pending.substr(0, newline));
                pending.erase(0, newline + 1);
                EXPECT_TRUE(event.has_value());
                if (!event)
                    continue;
                run.events.push_back(std::move(*event));
                if (seen)
                    seen(run.events.back(), pid);
            }
        }
        ::close(ends[0]);
        int status = 0;
        bool ended = false;
        while (!ended && Clock::now() < deadline + std::chrono::milliseconds(500))
            ended = ::waitpid(pid, &status, WNOHANG) == pid || (::usleep(10000), false);
        std::string stood;
        if (!ended) {
            stood = "outlasted its " + std::to_string(static_cast<long>(limit)) + " s after " +
                    std::to_string(run.events.size()) + " trace lines" +
                    (run.events.empty() ? ""
                                        : ", the last " + run.events.back()["event"].string() + " of " +
                                              run.events.back()["process"].string()) +
                    "; where it stood:\n" + whereEachWaits(pid);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        run.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream text(errors);
        run.errorOutput.assign(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>());
        run.errorOutput += stood;
        return run;
    }
};

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

} // namespace

TEST_F(ScriptRunTest, ManyCommandsToABusyProcessQueueWhileItsTraceIsRead) {
    // Each state of a bundle's page is kilobytes: the process's trace fills its pipe long before
    // the supervisor has given it all its commands.
    BootRun run =
        boot("wait-for settings ready\nsettings: open Zorvi\n" + repeated("settings: state\n", 12000), 90);
    EXPECT_EQ(run.status, 0) << run.errorOutput;
    EXPECT_EQ(run.of("state", "settings").size(), 12000u);
    EXPECT_TRUE(run.errors().empty());
}

TEST_F(ScriptRunTest, AStoppedProcessNeitherBlocksTheSupervisorNorOutlivesTheScript) {
    std::string line = "settings: set key " + std::string(4000, 'a') + "\n";
    BootRun run = boot("wait-for settings ready\nkill settings STOP\n" + repeated(line, 300) +
                           "wait-for settings state 300\nstate\n",
                       30);
    EXPECT_EQ(run.status, 1) << run.errorOutput;
    EXPECT_TRUE(run.anyError("settings is not taking its commands")) << "the queue's bound is met";
    EXPECT_TRUE(run.anyError("settings did not write state within 300 ms"));
    EXPECT_TRUE(run.anyError("ending settings before the end of its script: it is stopped"));
    EXPECT_EQ(run.of("state", "supervisor").size(), 1u) << "the lines after it still ran";
    EXPECT_LT(run.seconds, 5);
}

TEST_F(ScriptRunTest, ABundleStuckAtLoadIsReportedAndEnded) {
    std::filesystem::copy_file(ZV_LOOPING_BUNDLE,
                               root + "/Library/PreferenceBundles/zorvipref.bundle/zorvipref",
                               std::filesystem::copy_options::overwrite_existing);
    BootRun run = boot("wait-for settings ready\nsettings: open Zorvi\n" +
                           repeated("settings: state\n", 12000) + "wait-for settings page 300\n",
                       30);
    EXPECT_EQ(run.status, 1) << run.errorOutput;
    EXPECT_TRUE(run.anyError("settings did not write page within 300 ms"));
    EXPECT_TRUE(run.anyError("settings has taken none of its commands for 3 s"));
    EXPECT_TRUE(run.anyError("ending settings before the end of its script: it takes none of its commands"));
    EXPECT_EQ(run.of("exit", "settings").size(), 1u);
}

TEST_F(ScriptRunTest, AWaitThatCannotEndWellSaysSoAtOnce) {
    // Each wait could last 10 s; the run must end long before any one of them would.
    BootRun run = boot("wait-for nobody ready 10000\nwait-for settings launch 10000\n"
                       "wait-for backboardd ready 10000\nwait-for springboard ready 10000\n",
                       30);
    EXPECT_EQ(run.status, 1);
    auto errors = run.errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "line 1: wait-for nobody ready: there is no process nobody (springboard, settings, "
                         "backboardd)");
    EXPECT_EQ(errors[1], "line 2: wait-for settings launch: settings never writes launch");
    EXPECT_EQ(errors[2], "line 3: wait-for backboardd ready: backboardd never writes ready");
    EXPECT_LT(run.seconds, 8);
}

TEST_F(ScriptRunTest, AWaitAfterAKillIsForTheNextProcess) {
    // Settings writes its first page and then ready; only the page is taken, and the wait after the
    // kill must not take that ready.
    BootRun run = boot("wait-for settings page\nkill settings KILL\nwait-for settings ready 10000\n"
                       "settings: state\nwait-for settings state 10000\n",
                       30);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.errors().empty()) << (run.errors().empty() ? "" : run.errors()[0]);
    EXPECT_EQ(run.of("state", "settings").size(), 1u);
    EXPECT_EQ(run.of("start", "settings").size(), 2u);
}

TEST_F(ScriptRunTest, ABackboarddThatCannotStartIsGivenUpOn) {
    // The device's programs without backboardd's, as in the middle of a rebuild.
    std::string programs = m_folder + "/programs";
    std::filesystem::create_directories(programs);
    for (const char* program : {ZV_BOOT, ZV_SPRINGBOARD, ZV_SETTINGS})
        std::filesystem::copy_file(program,
                                   programs + "/" + std::filesystem::path(program).filename().string());
    BootRun run = boot("wait-for settings ready\npause 1000\nstate\nwait-for backboardd start 5000\n", 15, {},
                       programs + "/zv-boot");
    EXPECT_EQ(run.of("start", "backboardd").size(), 5u);
    EXPECT_LE(run.of("start", "springboard").size(), 5u);
    auto states = run.of("state", "supervisor");
    ASSERT_EQ(states.size(), 1u);
    for (const auto& process : (*states[0])["processes"].items())
        if (process["process"].string() == "backboardd") {
            EXPECT_FALSE(process["running"].boolean());
            EXPECT_TRUE(process["gaveUp"].boolean());
        }
    EXPECT_TRUE(run.anyError("wait-for backboardd start: backboardd is not running: it kept failing"));
    std::ifstream log(root + "/var/log/syslog");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("backboardd keeps failing (status 127); not starting it again"), std::string::npos);
    EXPECT_TRUE(run.anyError("backboardd keeps failing (status 127); not starting it again"));

    // Though every line of the script ran, the run failed: the device went on without backboardd.
    // The script waits for its five ends rather than for a time, which a loaded machine may outlast.
    std::string fiveEnds;
    for (int i = 0; i < 5; ++i)
        fiveEnds += "wait-for backboardd exit 10000\n";
    BootRun quiet =
        boot("wait-for settings ready\n" + fiveEnds + "pause 200\n", 30, {}, programs + "/zv-boot");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_TRUE(quiet.anyError("backboardd keeps failing"));
}

// A Respring from Settings ends the lock screen while it still runs the lines sent to it: they are
// named, and the run fails, though every line of the script was given out.
TEST_F(ScriptRunTest, LinesALockScreenNeverFinishedBeforeARespringAreAnError) {
    std::string never = m_folder + "/never.png";
    BootRun run = boot("wait-for springboard ready\nwait-for settings ready\n"
                       "springboard: pause 4000\nspringboard: snapshot " +
                           never +
                           "\n"
                           "settings: open Zorvi\nsettings: bar-button\nwait-for settings task\n"
                           "wait-for springboard ready\nspringboard: state\nwait-for springboard state\n",
                       20);
    EXPECT_EQ(run.status, 1) << run.errorOutput;
    auto errors = run.errors();
    ASSERT_EQ(errors.size(), 1u) << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(errors[0],
              "springboard ended before it finished 2 commands sent to it (the first: pause 4000)");
    EXPECT_FALSE(std::filesystem::exists(never));
    EXPECT_EQ(run.of("state", "springboard").size(), 1u) << "the new lock screen ran what came after";
    // Ended by the script's own kill, a process's unfinished lines are what the script asked for.
    BootRun killed = boot("wait-for springboard ready\nspringboard: pause 4000\nkill springboard KILL\n"
                          "wait-for springboard ready\n",
                          20);
    EXPECT_EQ(killed.status, 0) << killed.errorOutput;
    EXPECT_TRUE(killed.errors().empty()) << killed.errors()[0];
}

// A process that had nothing to do for longer than the stall limit is not stuck: its wait for the
// next command starts when that command is sent.
TEST_F(ScriptRunTest, AProcessLeftIdleTakesItsNextCommandWithoutBeingCalledStuck) {
    BootRun run = boot("wait-for settings ready\npause 3500\nsettings: state\nwait-for settings state\n", 15);
    EXPECT_EQ(run.status, 0) << run.errorOutput;
    EXPECT_TRUE(run.errors().empty()) << run.errors()[0];
    EXPECT_EQ(run.of("state", "settings").size(), 1u);
}

TEST_F(ScriptRunTest, ExitStatusesSayWhatHappened) {
    EXPECT_EQ(boot("wait-for settings ready\nsettings: state\nwait-for settings state\n", 30).status, 0);
    EXPECT_EQ(boot("wait-for settings ready\nsettings: open Nowhere\n", 30).status, 1)
        << "a line the process could not run";
    EXPECT_EQ(boot("wait-for settings ready\nnonsense\n", 30).status, 1)
        << "a line the supervisor could not run";
    BootRun comment = boot("wait-for settings ready\nsettings: #state\n", 30);
    EXPECT_EQ(comment.status, 1) << "a command the process would read as a comment";
    EXPECT_TRUE(comment.anyError("line 2: no command for settings"));
    BootRun interrupted = boot("wait-for settings ready\nstate\npause 20000\n", 30,
                               [](const JsonValue& event, pid_t supervisor) {
                                   if (event["event"].string() == "state")
                                       ::kill(supervisor, SIGINT);
                               });
    EXPECT_EQ(interrupted.status, 130);
    EXPECT_LT(interrupted.seconds, 10) << "the 20 s pause was cut short";
}

TEST_F(ScriptRunTest, ShuttingDownLetsARecordingComplete) {
    // Longer to render than the supervisor once waited at its end.
    std::string gif = m_folder + "/long.gif";
    BootRun run =
        boot("wait-for settings ready\nsettings: record start " + gif + " 10\nsettings: wait 8000\n", 30);
    EXPECT_EQ(run.status, 0) << run.errorOutput;
    auto records = run.of("record", "settings");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ((*records[0])["frames"].number(), 80);
    auto exits = run.of("exit", "settings");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ((*exits[0])["status"].number(), 0);
}

TEST_F(ScriptRunTest, AnInterruptedRecordingIsCompletedAndTheRunSaysItWasInterrupted) {
    std::string gif = m_folder + "/cut.gif";
    // Interrupted once the recording is going (the state comes after its start). The waves of the
    // bundle's page make each frame take its time: a page where nothing moves records its minute in
    // well under a second, before the interruption comes round.
    BootRun run = boot("wait-for settings ready\nsettings: open Zorvi\nsettings: record start " + gif +
                           " 10\nsettings: state\nsettings: wait 60000\n",
                       20, [](const JsonValue& event, pid_t supervisor) {
                           if (event["event"].string() == "state" && event["process"].string() == "settings")
                               ::kill(supervisor, SIGINT);
                       });
    EXPECT_EQ(run.status, 130);
    auto records = run.of("record", "settings");
    ASSERT_EQ(records.size(), 1u) << "the recording was completed";
    EXPECT_GT((*records[0])["frames"].number(), 0);
    EXPECT_LT((*records[0])["frames"].number(), 600);
    EXPECT_TRUE(std::filesystem::file_size(gif) > 0);
    EXPECT_LT(run.seconds, 10);
}

TEST_F(ScriptRunTest, ALockThatIsNoLockIsNamedForWhatItIs) {
    std::filesystem::create_directories(root + "/var/run");
    std::filesystem::create_directory(root + "/var/run/boot.lock");
    BootRun folder = boot("state\n", 5);
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.errorOutput.find("boot.lock is a folder"), std::string::npos) << folder.errorOutput;
    std::filesystem::remove(root + "/var/run/boot.lock");
    std::filesystem::create_symlink(m_folder + "/elsewhere", root + "/var/run/boot.lock");
    BootRun link = boot("state\n", 5);
    EXPECT_EQ(link.status, 1);
    EXPECT_NE(link.errorOutput.find("boot.lock is a link"), std::string::npos) << link.errorOutput;
    EXPECT_EQ(link.errorOutput.find("booted already"), std::string::npos);
}

TEST_F(ScriptRunTest, ADeviceThatCannotBeWrittenIsNotBootedAndSaysWhy) {
    // Read-only as a read-only mount makes it: root, whom permissions do not stop, mounts it so in
    // a namespace of its own; anyone else meets folders and a lock they may not write.
    std::string wrapper = m_folder + "/read-only-boot";
    std::ofstream(wrapper) << "#!/bin/sh\n"
                              "exec unshare -m sh -c 'mount --bind \"$1\" \"$1\" && "
                              "mount -o remount,bind,ro \"$1\" || exit 77; shift; exec \"$@\"' sh "
                           << root << " " << ZV_BOOT << " \"$@\"\n";
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    std::string lock = root + "/var/run/boot.lock";
    std::ofstream{lock};
    bool asRoot = ::geteuid() == 0;
    if (!asRoot)
        for (const std::string& path : {root + "/var/run", lock})
            std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
    BootRun run = boot("state\n", 5, {}, asRoot ? wrapper : std::string(ZV_BOOT));
    if (!asRoot)
        std::filesystem::permissions(root + "/var/run", std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    if (run.status == 77)
        GTEST_SKIP() << "no read-only mount here: " << run.errorOutput;
    EXPECT_EQ(run.status, 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("boot.lock cannot be written"), std::string::npos) << run.errorOutput;
    EXPECT_EQ(run.errorOutput.find("booted already"), std::string::npos) << run.errorOutput;
    EXPECT_TRUE(run.of("start", "settings").empty()) << "no process is started to fail";
}

TEST_F(ScriptRunTest, AWaitWithoutItsTimeWaitsTenSecondsAndSaysSo) {
    BootRun run = boot("wait-for springboard unlock\n", 30);
    EXPECT_EQ(run.status, 1) << run.errorOutput;
    EXPECT_EQ(run.errors(),
              std::vector<std::string>{"line 1: springboard did not write unlock within 10000 ms"});
    EXPECT_GT(run.seconds, 9.5);
}
