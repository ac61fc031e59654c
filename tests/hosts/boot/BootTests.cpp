// The whole device: its supervisor with real processes, Respring, safe mode, the system's killall
// and whom it may signal, and what happens when the supervisor itself goes.

#include "tests/hosts/boot/FreshDeviceTest.h"
#include "tests/support/HostRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class BootTest : public FreshDeviceTest {
protected:
    BootTest() : FreshDeviceTest("boot") {}
    void TearDown() override {
        // What a failed assertion left running.
        for (pid_t pid : m_started)
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        FreshDeviceTest::TearDown();
    }
    HostTrace boot(const std::string& script) {
        HostTrace trace;
        std::ofstream(m_folder + "/boot.txt") << script;
        std::string command = std::string(ZV_BOOT) + " --root " + root + " --headless --script " + m_folder +
                              "/boot.txt 2>/dev/null";
        FILE* output = ::popen(command.c_str(), "r");
        char* line = nullptr;
        size_t capacity = 0;
        while (output && ::getline(&line, &capacity, output) > 0)
            if (auto event = JsonValue::parse(line))
                trace.events.push_back(std::move(*event));
        std::free(line);
        if (output) {
            EXPECT_EQ(::pclose(output), 0);
        }
        return trace;
    }
    // Starts a program under a name of its own (what killall matches), outside the device.
    pid_t decoy(const std::string& name, const std::string& deviceRoot) {
        // A copy of its own: a running program's file cannot be written over.
        std::string folder = m_folder + "/decoy" + std::to_string(++m_decoys);
        std::filesystem::create_directories(folder);
        std::string program = folder + "/" + name;
        std::filesystem::copy_file(ZV_BACKBOARDD, program);
        pid_t pid = ::fork();
        if (pid == 0) {
            if (deviceRoot.empty())
                ::unsetenv("ZV_DEVICE_ROOT");
            else
                ::setenv("ZV_DEVICE_ROOT", deviceRoot.c_str(), 1);
            ::execl(program.c_str(), name.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        m_started.push_back(pid);
        return pid;
    }
    // The device's own backboardd program, started by hand on the device.
    pid_t deviceBackboardd() {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("ZV_DEVICE_ROOT", root.c_str(), 1);
            ::execl(ZV_BACKBOARDD, "zv-backboardd", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }
    // Waits until the process has its entry in the device's process table.
    bool registered(const std::string& deviceRoot, const std::string& name, pid_t pid) {
        std::string entry = deviceRoot + "/var/run/processes/" + name + "." + std::to_string(pid);
        for (int i = 0; i < 2000 && !std::filesystem::exists(entry); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::filesystem::exists(entry);
    }
    // Runs the system's killall on a device; its exit status.
    int killall(const std::string& deviceRoot, const std::string& arguments) {
        std::string command =
            "ZV_DEVICE_ROOT=" + deviceRoot + " " + ZV_KILLALL + " " + arguments + " > /dev/null 2>&1";
        return WEXITSTATUS(std::system(command.c_str()));
    }
    // zorvi respring on a device; its exit status.
    int respring(const std::string& deviceRoot) {
        std::string command = std::string(ZV_ZORVI) + " respring --root " + deviceRoot + " > /dev/null 2>&1";
        return WEXITSTATUS(std::system(command.c_str()));
    }
    std::string deviceLog(const std::string& deviceRoot) {
        std::ifstream log(deviceRoot + "/var/log/syslog");
        return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    }
    // A supervisor booting the device headless with no script, its trace discarded.
    pid_t startSupervisor() {
        pid_t supervisor = ::fork();
        if (supervisor == 0) {
            ::freopen("/dev/null", "w", stdout);
            ::freopen("/dev/null", "w", stderr);
            ::execl(ZV_BOOT, "zv-boot", "--root", root.c_str(), "--headless", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        m_started.push_back(supervisor);
        return supervisor;
    }
    static std::vector<const JsonValue*> of(const HostTrace& trace, const std::string& event,
                                            const std::string& process) {
        std::vector<const JsonValue*> found;
        for (const auto* e : trace.named(event))
            if ((*e)["process"].string() == process)
                found.push_back(e);
        return found;
    }

    int m_decoys = 0;
    std::vector<pid_t> m_started; // ended by TearDown if a test did not end them
};

bool alive(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

// The process's state letter ('Z' for a zombie), or 0 when it is gone.
char ProcessState(pid_t pid) {
    // A process that ends between the open and the read makes the read fail: it is gone then too
    // (getline turns the failure into a state instead of an exception).
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return 0;
    size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? 0 : text[close + 2];
}

// Alive and not a zombie.
bool running(pid_t pid) {
    return alive(pid) && ProcessState(pid) != 'Z';
}

} // namespace

TEST_F(BootTest, RespringFromSettingsRestartsTheLockScreenWithTheNewSettingsAndSparesOtherBackboardds) {
    // A backboardd of another device, and a process named backboardd that belongs to no device.
    std::string otherRoot = m_folder + "/other";
    std::filesystem::create_directories(otherRoot);
    pid_t otherDevice = decoy("backboardd", otherRoot);
    pid_t outside = decoy("backboardd", "");
    // The device's own copy of killall, changed: the button still runs the system's.
    std::ofstream(root + "/usr/bin/killall") << "#!/bin/sh\ntouch \"$ZV_DEVICE_ROOT/planted-killall-ran\"\n";
    HostTrace trace = boot("wait-for springboard ready\nwait-for settings ready\n"
                           "springboard: state\nwait-for springboard state\n"
                           "settings: open Zorvi\nsettings: toggle enablecustom\nsettings: open Colours\n"
                           "settings: set line1 FF00FF00\nsettings: back\nsettings: bar-button\n"
                           "wait-for settings task\nwait-for springboard ready\n"
                           "springboard: state\nwait-for springboard state\nstate\n");
    EXPECT_TRUE(trace.named("error").empty());
    auto starts = of(trace, "start", "springboard");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE((*starts[0])["pid"].number(), (*starts[1])["pid"].number()) << "a new lock-screen process";
    EXPECT_EQ(of(trace, "start", "backboardd").size(), 2u);
    EXPECT_EQ(of(trace, "start", "settings").size(), 1u) << "Settings keeps running";
    auto states = of(trace, "state", "springboard");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_FALSE((*states[0])["globals"]["enablecustom"].boolean());
    EXPECT_TRUE((*states[1])["globals"]["enablecustom"].boolean())
        << "the new process reads the new settings";
    EXPECT_EQ((*states[1])["waveViews"][0]["stroke"].numbers(), std::vector<double>({0, 1, 0, 1}));
    EXPECT_TRUE(alive(otherDevice) && alive(outside)) << "killall touched only this device's backboardd";
    EXPECT_FALSE(std::filesystem::exists(root + "/planted-killall-ran"));
    EXPECT_NE(deviceLog(root).find("/usr/bin/killall in this device is not the system's"), std::string::npos);
    for (pid_t pid : {otherDevice, outside}) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

// Settings that crashes comes back on the pages it showed; a fresh boot starts on the first page.
TEST_F(BootTest, SettingsStartedAgainReopensItsPagesAndAFreshBootStartsOnTheFirst) {
    auto pageClasses = [](const JsonValue& state) {
        std::vector<std::string> classes;
        for (const JsonValue& page : state["pages"].items())
            classes.push_back(page["class"].string());
        return classes;
    };
    HostTrace trace = boot("wait-for settings ready\nsettings: open Zorvi\nsettings: open Colours\n"
                           "settings: state\nwait-for settings state\nkill settings SEGV\n"
                           "wait-for settings ready\nsettings: state\nwait-for settings state\n");
    auto states = of(trace, "state", "settings");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(pageClasses(*states[0]).size(), 3u);
    EXPECT_EQ(pageClasses(*states[1]), pageClasses(*states[0]));
    auto reopened = of(trace, "reopen", "settings");
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ((*reopened[0])["entry"].string(), "Zorvi");
    EXPECT_EQ((*reopened[0])["links"].number(), 1);

    HostTrace fresh = boot("wait-for settings ready\nsettings: state\nwait-for settings state\n");
    auto freshStates = of(fresh, "state", "settings");
    ASSERT_EQ(freshStates.size(), 1u);
    EXPECT_EQ(pageClasses(*freshStates[0]).size(), 1u);
    EXPECT_TRUE(of(fresh, "reopen", "settings").empty());
}

TEST_F(BootTest, ACrashingTweakGivesSafeModeAndARespringLeavesItOnceTheTweakIsGone) {
    std::string tweak = root + "/Library/MobileSubstrate/DynamicLibraries/Broken.dylib";
    std::filesystem::copy_file(ZV_CRASHING_TWEAK, tweak);
    std::ofstream(root + "/Library/MobileSubstrate/DynamicLibraries/Broken.plist")
        << "{ Filter = { Bundles = ( \"com.apple.springboard\" ); }; }";
    HostTrace first = boot("wait-for springboard ready\nspringboard: state\nwait-for springboard state\n");
    auto exits = of(first, "exit", "springboard");
    ASSERT_GE(exits.size(), 1u);
    EXPECT_TRUE((*exits[0]).has("signal"))
        << "it died of a signal (SIGSEGV, or the abort a sanitizer makes of it)";
    auto starts = of(first, "start", "springboard");
    ASSERT_GE(starts.size(), 2u);
    EXPECT_TRUE((*starts[1])["safeMode"].boolean());
    auto states = of(first, "state", "springboard");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ((*states[0])["safeMode"].string(), "Broken.dylib") << "the banner names the last tweak loaded";
    std::ifstream log(root + "/var/log/syslog");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("starting it in safe mode (the last tweak loaded: Broken.dylib)"), std::string::npos);

    // Without the tweak, a Respring leaves safe mode.
    std::filesystem::remove(tweak);
    HostTrace second = boot("wait-for springboard ready\nkill springboard SEGV\nwait-for springboard ready\n"
                            "kill backboardd TERM\nwait-for springboard ready\nspringboard: state\n"
                            "wait-for springboard state\n");
    auto restarts = of(second, "start", "springboard");
    ASSERT_EQ(restarts.size(), 3u);
    EXPECT_TRUE((*restarts[1])["safeMode"].boolean());
    EXPECT_FALSE((*restarts[2])["safeMode"].boolean());
    auto after = of(second, "state", "springboard");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_TRUE(after[0]->operator[]("safeMode").isNull());
    EXPECT_FALSE((*after[0])["globals"]["enablecustom"].isNull()) << "the tweak is loaded again";
}

TEST_F(BootTest, OneSupervisorPerDeviceAndNothingOutlivesIt) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    pid_t supervisor = ::fork();
    if (supervisor == 0) {
        ::dup2(ends[1], 1);
        ::close(ends[0]);
        ::freopen("/dev/null", "w", stderr);
        ::execl(ZV_BOOT, "zv-boot", "--root", root.c_str(), "--headless", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    // Its three processes, from its trace.
    std::vector<pid_t> children;
    std::string seen;
    char buffer[4096];
    while (children.size() < 3) {
        ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        seen.append(buffer, static_cast<size_t>(got));
        size_t newline;
        while ((newline = seen.find('\n')) != std::string::npos) {
            auto event = JsonValue::parse(seen.substr(0, newline));
            seen.erase(0, newline + 1);
            if (event && (*event)["event"].string() == "start")
                children.push_back(static_cast<pid_t>((*event)["pid"].number()));
        }
    }
    ASSERT_EQ(children.size(), 3u);
    std::string second = std::string(ZV_BOOT) + " --root " + root + " --headless > /dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(second.c_str())), 1)
        << "a second supervisor on the same device refuses";
    ::kill(supervisor, SIGKILL);
    ::waitpid(supervisor, nullptr, 0);
    ::close(ends[0]);
    bool anyLeft = true;
    for (int i = 0; i < 400 && anyLeft; ++i) {
        anyLeft = false;
        for (pid_t pid : children)
            anyLeft |= alive(pid) && ProcessState(pid) != 'Z';
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(anyLeft) << "the device's processes end with their supervisor";
}

TEST_F(BootTest, TheSystemsKillallSaysWhatItDid) {
    EXPECT_EQ(killall(root, ""), 2);
    EXPECT_EQ(killall(root, "-NOSUCH backboardd"), 2);
    EXPECT_EQ(killall(root, "backboardd"), 1) << "No matching processes";
    pid_t mine = deviceBackboardd();
    ASSERT_TRUE(registered(root, "backboardd", mine));
    EXPECT_EQ(killall(root, "-9 backboardd"), 0);
    int result = 0;
    ::waitpid(mine, &result, 0);
    EXPECT_TRUE(WIFSIGNALED(result) && WTERMSIG(result) == SIGKILL);
}

namespace {

// The device's live processes by name, from its process table, checked against the kernel.
std::map<std::string, std::vector<pid_t>> liveProcesses(const std::string& root) {
    std::map<std::string, std::vector<pid_t>> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(root + "/var/run/processes", error), end; !error && it != end;
         it.increment(error)) {
        std::string file = it->path().filename().string();
        size_t dot = file.rfind('.');
        pid_t pid = static_cast<pid_t>(std::atol(file.c_str() + dot + 1));
        if (pid > 0 && alive(pid) && ProcessState(pid) != 'Z')
            found[file.substr(0, dot)].push_back(pid);
    }
    return found;
}

std::vector<pid_t> childrenOf(pid_t pid) {
    std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> children;
    for (pid_t child; list >> child;)
        children.push_back(child);
    return children;
}

} // namespace

TEST_F(BootTest, AfterRandomKillsEveryProcessRunsOnceAndNothingIsLeftBehind) {
    pid_t supervisor = startSupervisor();
    auto settled = [&] {
        auto processes = liveProcesses(root);
        return processes["backboardd"].size() == 1 && processes["SpringBoard"].size() == 1 &&
               processes["Preferences"].size() == 1;
    };
    for (int i = 0; i < 600 && !settled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(settled());
    // A few seconds of kills of any of them, with any of three signals; backboardd in a tight loop too.
    std::srand(42);
    const int signals[] = {SIGTERM, SIGKILL, SIGSEGV};
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < until) {
        auto processes = liveProcesses(root);
        std::vector<pid_t> all;
        for (const auto& [name, pids] : processes)
            all.insert(all.end(), pids.begin(), pids.end());
        if (!all.empty())
            ::kill(all[static_cast<size_t>(std::rand()) % all.size()], signals[std::rand() % 3]);
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + std::rand() % 120));
    }
    for (int i = 0; i < 10; ++i) {
        auto processes = liveProcesses(root);
        for (pid_t pid : processes["backboardd"])
            ::kill(pid, SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bool ok = false;
    for (int i = 0; i < 600 && !(ok = settled()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(ok) << "each of the device's processes runs once";
    std::vector<pid_t> children = childrenOf(supervisor);
    EXPECT_EQ(children.size(), 3u) << "and nothing else";
    for (pid_t child : children)
        EXPECT_NE(ProcessState(child), 'Z') << "no zombie";
    ::kill(supervisor, SIGKILL);
    ::waitpid(supervisor, nullptr, 0);
    bool anyLeft = true;
    for (int i = 0; i < 400 && anyLeft; ++i) {
        anyLeft = false;
        for (pid_t child : children)
            anyLeft |= alive(child) && ProcessState(child) != 'Z';
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(anyLeft) << "no orphan once the supervisor is killed";
}

namespace {

// The process's start time, as the process table records it.
std::string startTimeOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int index = 3; index <= 22; ++index)
        fields >> field;
    return field;
}

// A sleep of this user that holds the folder open, as a device's process holds its root.
pid_t sleeper(const std::string& holding) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::open(holding.c_str(), O_RDONLY | O_DIRECTORY) < 0)
            ::_exit(126);
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

} // namespace

TEST_F(BootTest, ACopiedDeviceOrAForgedEntryNeverSignalsAProcessThatIsNotTheDevices) {
    startSupervisor();
    for (int i = 0; i < 400 && liveProcesses(root)["backboardd"].empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(liveProcesses(root)["backboardd"].size(), 1u);
    pid_t booted = liveProcesses(root)["backboardd"][0];
    // A copy of the booted device holds its process table, naming the first device's processes.
    std::string copy = m_folder + "/copy";
    // The processes write files beside their names and rename them into place as the copy runs: a
    // file listed and gone before it is copied fails that try.
    bool copied = false;
    for (int attempt = 0; attempt < 20 && !copied; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        copied =
            std::system(("rm -rf " + copy + " && cp -a " + root + " " + copy + " 2>/dev/null").c_str()) == 0;
    }
    ASSERT_TRUE(copied);
    // Entries forged with the right start time, naming a process of this user in each device.
    pid_t sleep = sleeper(root);
    m_started.push_back(sleep);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const std::string& device : {root, copy})
        std::ofstream(device + "/var/run/processes/backboardd." + std::to_string(sleep))
            << startTimeOf(sleep) << "\n";

    EXPECT_EQ(respring(copy), 1) << "the copy is not booted";
    // Long enough for a signal, had one been sent, to end them.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(running(booted)) << "the first device's backboardd is not the copy's";
    EXPECT_TRUE(running(sleep));
    std::string log = deviceLog(copy);
    EXPECT_NE(log.find("skipped backboardd." + std::to_string(booted)), std::string::npos) << log;
    EXPECT_NE(log.find("skipped backboardd." + std::to_string(sleep)), std::string::npos) << log;

    EXPECT_EQ(respring(root), 0);
    for (int i = 0; i < 1000 && running(booted); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(running(booted)) << "the device's own backboardd ended";
    EXPECT_TRUE(running(sleep)) << "the forged entry's process lives on";
    EXPECT_NE(deviceLog(root).find("skipped backboardd." + std::to_string(sleep)), std::string::npos);
}

TEST_F(BootTest, RespringRunsTheSystemsKillallNeverTheDevicesCopy) {
    std::ofstream(root + "/usr/bin/killall") << "#!/bin/sh\ntouch \"$ZV_DEVICE_ROOT/planted-killall-ran\"\n";
    EXPECT_EQ(respring(root), 1) << "not booted, whatever the device's copy says";
    EXPECT_FALSE(std::filesystem::exists(root + "/planted-killall-ran"));
    EXPECT_NE(deviceLog(root).find("/usr/bin/killall in this device is not the system's"), std::string::npos);
    // The copy the device was made with is the system's: nothing to say about it.
    std::filesystem::copy_file(ZV_KILLALL, root + "/usr/bin/killall",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(root + "/var/log/syslog");
    EXPECT_EQ(respring(root), 1);
    EXPECT_EQ(deviceLog(root).find("is not the system's"), std::string::npos);
}

TEST_F(BootTest, ADeviceProcessIsKnownForWhatItRunsWhateverItsEntrySays) {
    pid_t backboardd = deviceBackboardd();
    m_started.push_back(backboardd);
    ASSERT_TRUE(registered(root, "backboardd", backboardd));
    std::string table = root + "/var/run/processes/";
    // Its entry renamed: the device's backboardd is not its SpringBoard.
    std::filesystem::rename(table + "backboardd." + std::to_string(backboardd),
                            table + "SpringBoard." + std::to_string(backboardd));
    EXPECT_EQ(killall(root, "SpringBoard"), 1);
    EXPECT_TRUE(running(backboardd));
    EXPECT_NE(deviceLog(root).find("it is the device's backboardd, not its SpringBoard"), std::string::npos);
    // No entry at all, as when a full disk kept it from writing one: a Respring still reaches it.
    std::filesystem::remove(table + "SpringBoard." + std::to_string(backboardd));
    EXPECT_EQ(killall(root, "backboardd"), 0);
    for (int i = 0; i < 1000 && running(backboardd); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(running(backboardd));
}

TEST_F(BootTest, AStaleProcessTableNeverSignalsAProgramThatReusedAPid) {
    // An entry naming a live program with another start time, as a crash and a reused pid leave it.
    pid_t stranger = decoy("stranger", "");
    std::filesystem::create_directories(root + "/var/run/processes");
    std::string entry = root + "/var/run/processes/backboardd." + std::to_string(stranger);
    std::ofstream(entry) << "12345\n";
    EXPECT_EQ(killall(root, "backboardd"), 1) << "No matching processes";
    EXPECT_TRUE(alive(stranger));
    EXPECT_FALSE(std::filesystem::exists(entry)) << "the stale entry is cleared";
    ::kill(stranger, SIGTERM);
    ::waitpid(stranger, nullptr, 0);
}

TEST_F(BootTest, ThreeCrashesInAMomentKeepTheDeviceInSafeMode) {
    HostTrace trace = boot("wait-for springboard ready\n"
                           "kill springboard SEGV\nwait-for springboard ready\n"
                           "kill springboard SEGV\nwait-for springboard ready\n"
                           "kill springboard SEGV\nwait-for springboard ready\n"
                           "kill backboardd TERM\nwait-for springboard ready\nstate\n");
    auto starts = of(trace, "start", "springboard");
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_TRUE((*starts[4])["safeMode"].boolean()) << "a Respring after a crash loop stays in safe mode";
    EXPECT_TRUE(trace.named("error").empty());
}

TEST_F(BootTest, ADeviceDeletedWhileBootedShutsDown) {
    pid_t supervisor = startSupervisor();
    for (int i = 0; i < 400 && liveProcesses(root)["SpringBoard"].empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<pid_t> children = childrenOf(supervisor);
    // Deleted as rm -rf would: the device's processes may write into a folder while it goes, which
    // stops one remove_all part way.
    std::error_code ignored;
    for (int i = 0; i < 50 && std::filesystem::exists(root + "/System", ignored); ++i)
        std::filesystem::remove_all(root, ignored);
    int status = -1;
    for (int i = 0; i < 400 && ::waitpid(supervisor, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(WIFEXITED(status)) << "the supervisor ends by itself";
    if (!WIFEXITED(status)) {
        ::kill(supervisor, SIGKILL);
        ::waitpid(supervisor, nullptr, 0);
    }
    for (pid_t child : children)
        EXPECT_FALSE(alive(child) && ProcessState(child) != 'Z');
}
