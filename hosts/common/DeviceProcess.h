#pragma once

// The device's processes as the kernel sees them. The process table is a file in a folder people
// copy and share, so what it names is only a lead: a process is this device's when it runs one of
// the system's device programs (backboardd, the lock screen, Settings, from the folder of the
// system's programs) and holds this device's root folder open, the same folder by device and inode
// whatever its path says. It is held by a pidfd, so that a signal reaches that very process and
// never one that was given its pid later.

#include <string>
#include <sys/types.h>
#include <utility>

class DeviceProcess {
public:
    // The process when it is one of the current device's; empty with `why` set when it is not.
    static DeviceProcess open(pid_t pid, std::string& why);

    DeviceProcess() = default;
    DeviceProcess(DeviceProcess&& other) noexcept : m_pidfd(std::exchange(other.m_pidfd, -1)) {}
    DeviceProcess& operator=(DeviceProcess&& other) noexcept;
    ~DeviceProcess();

    explicit operator bool() const { return m_pidfd >= 0; }
    // False when the process has ended (or the signal could not be sent).
    bool signal(int signal) const;

private:
    explicit DeviceProcess(int pidfd) : m_pidfd(pidfd) {}
    int m_pidfd = -1;
};
