#include "hosts/common/DeviceProcess.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/SystemPrograms.h"

#include <array>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The programs the device's processes run, in the folder of the system's programs.
constexpr std::array<const char*, 3> devicePrograms{"zv-backboardd", "zv-springboard", "zv-settings"};

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the process runs one of the system's device programs. One started before its program was
// rebuilt shows the old path with " (deleted)": it was the system's program when it started.
bool runsDeviceProgram(const std::string& proc, std::string& why) {
    struct stat running {};
    std::error_code failure;
    std::string path = std::filesystem::read_symlink(proc + "/exe", failure).string();
    if (::stat((proc + "/exe").c_str(), &running) != 0) {
        why = "its program cannot be seen";
        return false;
    }
    std::string folder = SystemPrograms::folder();
    for (const char* program : devicePrograms) {
        std::string system = folder + "/" + program;
        struct stat installed {};
        if (::stat(system.c_str(), &installed) == 0 && sameFile(running, installed))
            return true;
        if (path == system + " (deleted)")
            return true;
    }
    why = "it runs " + path + ", not one of the device's programs";
    return false;
}

// Whether one of the process's open descriptors is the folder.
bool holdsFolder(const std::string& proc, const struct stat& folder) {
    std::error_code failure;
    for (std::filesystem::directory_iterator it(proc + "/fd", failure), end; !failure && it != end;
         it.increment(failure)) {
        struct stat target {};
        if (::stat(it->path().c_str(), &target) == 0 && S_ISDIR(target.st_mode) && sameFile(target, folder))
            return true;
    }
    return false;
}

} // namespace

DeviceProcess DeviceProcess::open(pid_t pid, std::string& why) {
    DeviceProcess process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (!process) {
        why = "there is no such process";
        return {};
    }
    struct stat root {};
    int rootFd = DeviceFile::open("/", O_PATH | O_DIRECTORY);
    bool rootSeen = rootFd >= 0 && ::fstat(rootFd, &root) == 0;
    if (rootFd >= 0)
        ::close(rootFd);
    if (!rootSeen) {
        why = "the device's folder cannot be opened";
        return {};
    }
    std::string proc = "/proc/" + std::to_string(pid);
    if (!runsDeviceProgram(proc, why))
        return {};
    if (!holdsFolder(proc, root)) {
        why = "it is a process of another device, or of none";
        return {};
    }
    // What /proc told is about this very process only if the pidfd's process still runs now.
    if (!process.signal(0)) {
        why = "it has ended";
        return {};
    }
    return process;
}

DeviceProcess& DeviceProcess::operator=(DeviceProcess&& other) noexcept {
    if (this != &other) {
        if (m_pidfd >= 0)
            ::close(m_pidfd);
        m_pidfd = std::exchange(other.m_pidfd, -1);
    }
    return *this;
}

DeviceProcess::~DeviceProcess() {
    if (m_pidfd >= 0)
        ::close(m_pidfd);
}

bool DeviceProcess::signal(int signal) const {
    return m_pidfd >= 0 && ::syscall(SYS_pidfd_send_signal, m_pidfd, signal, nullptr, 0) == 0;
}
