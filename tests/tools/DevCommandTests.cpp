// zorvi dev on real processes: a device it boots, a temporary build tree it rebuilds and installs
// from, and saves made the ways editors make them. The build tree is a tiny stand-in for the
// product's (dev/TinyProduct.cmake: a one-file tweak, the real settings bundle's library with the
// tree's own plists), so that a rebuild takes a second on a 2-core machine.

#include "tests/support/JsonValue.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// As editors save: the new text into a temporary file beside it, renamed over the source.
void saveByRename(const std::string& path, const std::string& text) {
    writeFile(path + ".tmp", text);
    fs::rename(path + ".tmp", path);
}

std::string tweakSource(int version) {
    return "extern \"C\" int tinyTweakVersion() { return " + std::to_string(version) + "; }\n";
}

// The temporary product tree, built once, and a device made for it.
struct Workspace {
    std::string folder, source, build, device;

    Workspace() {
        char pattern[] = "/tmp/zorvi-dev-test-XXXXXX";
        folder = ::mkdtemp(pattern);
        source = folder + "/src";
        build = folder + "/build";
        device = folder + "/device";
        fs::create_directories(source + "/tweak");
        fs::create_directories(source + "/zorvipref/Resources");
        fs::copy_file(std::string(ZV_SOURCE_DIR_TEXT) + "/tests/tools/dev/TinyProduct.cmake",
                      source + "/CMakeLists.txt");
        for (const char* name : {"Info.plist", "Root.plist", "ColorPrefs.plist", "Entry.plist"})
            fs::copy_file(std::string(ZV_SOURCE_DIR_TEXT) + "/zorvipref/Resources/" + name,
                          source + "/zorvipref/Resources/" + name);
        writeFile(source + "/tweak/Tiny.cpp", tweakSource(1));
        std::string output;
        // A copy: the bundle the main build makes may be rebuilt while the tests run.
        fs::copy_file(ZV_BUILT_BUNDLE, folder + "/zorvipref.built");
        configured = runCommand("cmake -S " + source + " -B " + build + " -DZV_BUILT_BUNDLE=" + folder +
                                    "/zorvipref.built",
                                output) == 0 &&
                     runCommand(std::string(ZV_ZORVI) + " device create --root " + device, output) == 0;
        log = output;
    }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    bool configured = false;
    std::string log;
};

// A running `zorvi dev`, its output read a line at a time.
class DevProcess {
public:
    DevProcess(const Workspace& workspace) {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        std::vector<std::string> words{ZV_ZORVI,  "dev",           "--root",    workspace.device,
                                       "--build", workspace.build, "--headless"};
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, ZV_ZORVI, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        m_fd = ends[0];
    }
    ~DevProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGINT);
            finish(30s);
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_fd);
    }

    // The next line it prints, or nullopt after `limit` (or once it has ended).
    std::optional<std::string> line(std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (size_t newline = m_pending.find('\n'); newline != std::string::npos) {
                std::string text = m_pending.substr(0, newline);
                m_pending.erase(0, newline + 1);
                m_all += text + "\n";
                return text;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[4096];
            ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return std::nullopt;
            m_pending.append(buffer, static_cast<size_t>(got));
        }
    }
    // The next line containing `text`, skipping others.
    std::optional<std::string> lineWith(const std::string& text, std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            auto next = line(std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now()));
            if (!next)
                return std::nullopt;
            if (next->find(text) != std::string::npos)
                return next;
        }
        return std::nullopt;
    }
    // Its exit status once it ends within `limit` (-1 when it does not).
    int finish(std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    pid_t pid() const { return m_pid; }
    const std::string& printed() const { return m_all; }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_pending, m_all;
};

bool alive(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("State:", 0) == 0)
            return line.find('Z') == std::string::npos;
    return false;
}

// The device's running processes by name ("SpringBoard", "Preferences", "backboardd").
std::map<std::string, pid_t> deviceProcesses(const std::string& device) {
    std::map<std::string, pid_t> found;
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator(device + "/var/run/processes", failure)) {
        std::string name = entry.path().filename().string();
        size_t dot = name.rfind('.');
        pid_t pid = dot == std::string::npos ? 0 : std::atoi(name.c_str() + dot + 1);
        if (pid > 0 && alive(pid))
            found[name.substr(0, dot)] = pid;
    }
    return found;
}

std::string zorvi(const std::string& words, const std::string& device) {
    std::string output;
    runCommand(std::string(ZV_ZORVI) + " " + words + " --root " + device, output);
    return output;
}

// The classes of Settings' pages, first page first.
std::vector<std::string> settingsPages(const std::string& device) {
    std::string output = zorvi("send settings state", device);
    std::vector<std::string> classes;
    size_t start = output.find("{\"event\":\"state\"");
    if (start == std::string::npos)
        return classes;
    auto state = JsonValue::parse(output.substr(start, output.find('\n', start) - start));
    if (state)
        for (const JsonValue& page : (*state)["pages"].items())
            classes.push_back(page["class"].string());
    return classes;
}

class DevLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        workspace = new Workspace;
        if (!workspace->configured)
            return;
        dev = new DevProcess(*workspace);
        started = dev->lineWith("watching", 120s).has_value();
    }
    static void TearDownTestSuite() {
        delete dev;
        delete workspace;
        dev = nullptr;
        workspace = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(workspace->configured) << workspace->log;
        ASSERT_TRUE(started) << dev->printed();
        // What an earlier case left unread (a failed build's error lines) is not this case's.
        while (dev->line(100ms)) {
        }
    }
    // The next cycle's line ("CHANGED: build ...").
    static std::optional<std::string> cycle(std::chrono::milliseconds limit = 60s) {
        return dev->lineWith(": build ", limit);
    }
    static std::string tweak() { return workspace->source + "/tweak/Tiny.cpp"; }
    static std::string rootPlist() { return workspace->source + "/zorvipref/Resources/Root.plist"; }

    static Workspace* workspace;
    static DevProcess* dev;
    static bool started;
};

Workspace* DevLoopTest::workspace = nullptr;
DevProcess* DevLoopTest::dev = nullptr;
bool DevLoopTest::started = false;

TEST_F(DevLoopTest, ASavedTweakSourceRebuildsAndResprings) {
    auto before = deviceProcesses(workspace->device);
    ASSERT_TRUE(before.count("SpringBoard") && before.count("Preferences"));
    writeFile(tweak(), tweakSource(2));
    auto cycle = DevLoopTest::cycle();
    ASSERT_TRUE(cycle) << dev->printed();
    EXPECT_NE(cycle->find("tweak/Tiny.cpp"), std::string::npos) << *cycle;
    EXPECT_NE(cycle->find("Respring"), std::string::npos) << *cycle;
    EXPECT_EQ(cycle->find("Settings"), std::string::npos) << *cycle;
    EXPECT_NE(cycle->find("first frame"), std::string::npos) << *cycle;
    auto after = deviceProcesses(workspace->device);
    EXPECT_NE(after["SpringBoard"], before["SpringBoard"]);
    EXPECT_GT(after["SpringBoard"], 0);
    EXPECT_EQ(after["Preferences"], before["Preferences"]);
    // One cycle for one save.
    EXPECT_FALSE(DevLoopTest::cycle(1500ms)) << dev->printed();
}

TEST_F(DevLoopTest, ASavedBundlePlistRestartsSettingsOnTheSamePages) {
    zorvi("send settings 'open Zorvi'", workspace->device);
    zorvi("send settings 'open Colours'", workspace->device);
    auto pages = settingsPages(workspace->device);
    ASSERT_EQ(pages.size(), 3u);
    auto before = deviceProcesses(workspace->device);
    std::ifstream in(rootPlist());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    saveByRename(rootPlist(), text + "\n");
    auto cycle = DevLoopTest::cycle();
    ASSERT_TRUE(cycle) << dev->printed();
    EXPECT_NE(cycle->find("Root.plist"), std::string::npos) << *cycle;
    EXPECT_NE(cycle->find("Settings restart"), std::string::npos) << *cycle;
    EXPECT_EQ(cycle->find("Respring"), std::string::npos) << *cycle;
    auto after = deviceProcesses(workspace->device);
    EXPECT_NE(after["Preferences"], before["Preferences"]);
    EXPECT_EQ(after["SpringBoard"], before["SpringBoard"]);
    EXPECT_EQ(settingsPages(workspace->device), pages);

    // A page stack the device holds garbled reads as none: Settings starts on its first page.
    writeFile(workspace->device + "/var/run/settings-pages",
              "zorvi-settings-pages 1\nentry\t\x1b[2J\nlink\n");
    saveByRename(rootPlist(), text + "\n\n");
    ASSERT_TRUE(dev->lineWith("Settings restart", 60s)) << dev->printed();
    EXPECT_EQ(settingsPages(workspace->device).size(), 1u);
}

TEST_F(DevLoopTest, AFailedBuildPrintsItsErrorsAndKeepsTheLastGoodBuild) {
    auto before = deviceProcesses(workspace->device);
    writeFile(tweak(), "extern \"C\" int tinyTweakVersion( { return 3; }\n");
    auto cycle = DevLoopTest::cycle();
    ASSERT_TRUE(cycle) << dev->printed();
    EXPECT_NE(cycle->find("failed"), std::string::npos) << *cycle;
    auto error = dev->line(5s);
    ASSERT_TRUE(error) << dev->printed();
    EXPECT_NE(error->find("tweak/Tiny.cpp:1:"), std::string::npos) << *error;
    EXPECT_NE(error->find("error"), std::string::npos) << *error;
    auto after = deviceProcesses(workspace->device);
    EXPECT_EQ(after["SpringBoard"], before["SpringBoard"]);
    EXPECT_NE(zorvi("send springboard render", workspace->device).find("\"frame\""), std::string::npos);
    // The next save tries again.
    writeFile(tweak(), tweakSource(4));
    auto fixed = DevLoopTest::cycle();
    ASSERT_TRUE(fixed) << dev->printed();
    EXPECT_NE(fixed->find("Respring"), std::string::npos) << *fixed;
    EXPECT_NE(deviceProcesses(workspace->device)["SpringBoard"], before["SpringBoard"]);
}

TEST_F(DevLoopTest, SavesInQuickSuccessionMakeOneCycle) {
    auto before = deviceProcesses(workspace->device);
    for (int version : {5, 6, 7}) {
        saveByRename(tweak(), tweakSource(version));
        std::this_thread::sleep_for(30ms);
    }
    auto cycle = DevLoopTest::cycle();
    ASSERT_TRUE(cycle) << dev->printed();
    EXPECT_NE(cycle->find("Respring"), std::string::npos) << *cycle;
    EXPECT_FALSE(DevLoopTest::cycle(2s)) << dev->printed();
    EXPECT_NE(deviceProcesses(workspace->device)["SpringBoard"], before["SpringBoard"]);
}

// Ctrl-C on a loop that booted the device: the device is shut down and nothing of it is left.
TEST(DevLoopEnd, CtrlCShutsDownTheDeviceItBootedAndLeavesNoProcess) {
    Workspace workspace;
    ASSERT_TRUE(workspace.configured) << workspace.log;
    DevProcess dev(workspace);
    ASSERT_TRUE(dev.lineWith("watching", 120s)) << dev.printed();
    auto processes = deviceProcesses(workspace.device);
    ASSERT_EQ(processes.size(), 3u);
    std::string output;
    ASSERT_EQ(runCommand(std::string(ZV_ZORVI) + " device list --root " + workspace.device, output), 0);
    EXPECT_NE(output.find("booted"), std::string::npos) << output;
    ::kill(dev.pid(), SIGINT);
    EXPECT_EQ(dev.finish(30s), 130) << dev.printed();
    for (const auto& [name, pid] : processes)
        EXPECT_FALSE(alive(pid)) << name;
    output.clear();
    runCommand(std::string(ZV_ZORVI) + " shutdown --root " + workspace.device, output);
    EXPECT_NE(output.find("not booted"), std::string::npos) << output;
}

} // namespace
