#pragma once

// Restarting a process of the booted current device for `zorvi dev`, through its supervisor: a
// Respring for the lock screen, a restart on the same pages for Settings. Each waits for the new
// process (a pid other than the old one's in the supervisor's state) to answer on its control
// socket, then has it draw a frame.

#include <chrono>
#include <functional>
#include <string>

struct Restarted {
    bool done = false;
    std::string error;
    std::chrono::steady_clock::time_point frame; // the new process's first frame was drawn
};

// process: "springboard" (a Respring) or "settings".
Restarted restartDeviceProcess(const std::string& process, std::chrono::milliseconds limit);

// Waits until the process of the current device answers on its control socket and has drawn a
// frame; false with error set after `limit`, or as soon as `hopeless` says no frame can come.
bool waitForFrame(const std::string& process, std::chrono::milliseconds limit, std::string& error,
                  const std::function<bool()>& hopeless = {});
