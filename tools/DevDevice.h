#pragma once

// The device `zorvi dev` works on: one booted already (left running when the loop ends), or one it
// boots itself with the device's supervisor (zv-boot beside this program) and shuts down at the end.

#include <chrono>
#include <string>
#include <sys/types.h>

class DevDevice {
public:
    DevDevice() = default;
    ~DevDevice();
    DevDevice(const DevDevice&) = delete;
    DevDevice& operator=(const DevDevice&) = delete;

    // Boots the current device unless it is booted, and waits until its lock screen and Settings
    // have drawn a frame; false with error set.
    bool bootIfNeeded(bool headless, std::string& error);
    bool bootedHere() const { return m_boot > 0; }
    // Readable once the supervisor this started has ended (-1 when it started none).
    int endedDescriptor() const { return m_pidfd; }
    // Shuts down the device this booted, and waits for its supervisor (ending it when it does not
    // go); nothing for a device booted elsewhere.
    void shutdown();

private:
    pid_t m_boot = -1;
    int m_pidfd = -1;
};
