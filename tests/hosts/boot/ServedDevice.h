#pragma once

// A device booted for a test and driven from outside, as another shell drives it: a fresh device in
// a folder of its own, its supervisor serving (headless unless a display is given), the zorvi
// commands run against it, and raw connections to its processes' control sockets.

#include "tests/support/JsonValue.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline std::string zorviOn(const std::string& words, const std::string& root) {
    return std::string(ZV_ZORVI) + " " + words + " --root " + root;
}

// A raw connection to a process's control socket, as any client may make one.
inline int connectTo(const std::string& root, const std::string& process) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = root + "/var/run/control/" + process;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    timeval bound{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    return fd;
}

// The first element (depth first) with that role and label.
inline const JsonValue* findElement(const JsonValue& elements, const std::string& role,
                                    const std::string& label) {
    for (const JsonValue& element : elements.items()) {
        if (element["role"].string() == role && element["label"].string() == label)
            return &element;
        if (const JsonValue* inside = findElement(element["children"], role, label))
            return inside;
    }
    return nullptr;
}

// This machine's time now, as strftime writes it in the local time zone ("%-H:%M").
inline std::string machineTime(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

// Whether check() answers yes within a few seconds, looking every 10 ms.
template <class Check> bool soon(Check check) {
    for (int i = 0; i < 500; ++i) {
        if (check())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Whether what read() answers shows this machine's time (in format) as it was just before the read
// or just after it: a minute may turn meanwhile. shows(answer, text) looks for the text.
template <class Read, class Shows>
bool showsMachineTime(Read read, Shows shows, const char* format = "%-H:%M") {
    // A face updates when its timer fires, a moment after the minute turns on a loaded machine:
    // one that shows the time is seen to within a few looks, one that does not never is.
    for (int look = 0; look < 10; ++look) {
        if (look > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::string before = machineTime(format);
        auto answer = read();
        std::string after = machineTime(format);
        if (shows(answer, before) || shows(answer, after))
            return true;
    }
    return false;
}

class ServedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorvi-control-XXXXXX";
        m_folder = ::mkdtemp(pattern);
        // Another user must reach the sockets to be refused by the device rather than by the folder.
        ::chmod(m_folder.c_str(), 0755);
        root = m_folder + "/device";
        std::string output;
        ASSERT_EQ(runCommand(std::string(ZV_ZORVI) + " device create --root " + root, output), 0) << output;
    }
    void TearDown() override {
        using namespace std::chrono_literals;
        if (m_supervisor > 0) {
            std::string output;
            runCommand(zorviOn("shutdown", root), output);
            for (int i = 0; i < 300 && ::waitpid(m_supervisor, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(10ms);
            if (::kill(m_supervisor, SIGKILL) == 0)
                ::waitpid(m_supervisor, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    // Boots the device, serving (headless unless a display is given), and waits until both
    // processes take commands.
    void boot(const std::string& display = "") {
        m_supervisor = ::fork();
        if (m_supervisor == 0) {
            ::freopen((m_folder + "/boot.trace").c_str(), "w", stdout);
            ::freopen((m_folder + "/boot.err").c_str(), "w", stderr);
            if (display.empty()) {
                ::unsetenv("DISPLAY");
                ::execl(ZV_BOOT, "zv-boot", "--root", root.c_str(), "--serve", static_cast<char*>(nullptr));
            } else {
                ::setenv("DISPLAY", display.c_str(), 1);
                ::execl(ZV_BOOT, "zv-boot", "--root", root.c_str(), static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
        ASSERT_TRUE(serving("springboard") && serving("settings")) << "the processes take no commands";
    }
    bool serving(const std::string& process) {
        using namespace std::chrono_literals;
        for (int i = 0; i < 3000; ++i) {
            if (int fd = connectTo(root, process); fd >= 0) {
                ::close(fd);
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    // Runs zorvi with the words on this device: its exit status, what it printed in output.
    int run(const std::string& words, std::string& output) {
        output.clear();
        return runCommand(zorviOn(words, root), output);
    }
    std::optional<JsonValue> state(const std::string& process) {
        std::string output;
        if (run("send " + process + " state", output) != 0)
            return std::nullopt;
        return JsonValue::parse(output);
    }
    std::optional<JsonValue> describe(const std::string& process) {
        std::string output;
        if (run("ui " + process + " describe --json", output) != 0)
            return std::nullopt;
        return JsonValue::parse(output);
    }
    std::string deviceLog() {
        std::ifstream log(root + "/var/log/syslog");
        return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    }

    std::string root;
    std::string m_folder;
    pid_t m_supervisor = -1;
};
