#pragma once

// A device booted once for a benchmark program and serving (`zv-boot --serve`), driven through
// `zorvi` from outside as another shell would, and shut down at the end.

#include "bench/support/Processes.h"
#include "tests/support/ChildProcesses.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace bench {

struct ServedDevice {
    std::string zorviProgram;
    Device device;
    pid_t supervisor = -1;

    // Boots the device and waits for the lock screen and Settings to answer; then runs the `setup`
    // commands (as for zorvi(), in turn) and lets the device settle.
    ServedDevice(const std::string& boot, const std::string& zorvi,
                 const std::vector<std::string>& setup = {})
        : zorviProgram(zorvi), device(zorvi) {
        int null = ::open("/dev/null", O_WRONLY);
        supervisor = spawn({boot, "--root", device.root, "--serve"}, null);
        ::close(null);
        for (int i = 0; i < 1000 && !(serving("springboard") && serving("settings")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const std::string& words : setup)
            this->zorvi(words);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ~ServedDevice() {
        zorvi("shutdown");
        waitpid(supervisor, nullptr, 0);
    }
    ServedDevice(const ServedDevice&) = delete;
    ServedDevice& operator=(const ServedDevice&) = delete;

    // Whether the process has its control socket up.
    bool serving(const std::string& process) const {
        return std::filesystem::exists(device.root + "/var/run/control/" + process);
    }
    // Runs `zorvi WORDS --root ROOT` with its output discarded; its exit status.
    int zorvi(const std::string& words) const {
        return std::system(
            (zorviProgram + " " + words + " --root " + device.root + " > /dev/null 2>&1").c_str());
    }
    // The supervisor's children, by name as the kernel has them ("zv-springboard").
    std::vector<std::pair<pid_t, std::string>> children() const { return childrenOf(supervisor); }
};

} // namespace bench
