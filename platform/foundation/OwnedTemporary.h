#pragma once

// Temporaries (files or folders) that a writer killed outright leaves behind. The writer holds an
// exclusive lock on its temporary for as long as it works on it; the kernel drops the lock when the
// writer's last descriptor closes, however it ended, so a temporary whose lock can be taken has no
// writer left. A grace period covers the moment between making a temporary and locking it.

#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OwnedTemporary {

constexpr time_t graceSeconds = 10;

// Marks the temporary open as fd as worked on for as long as fd (or a copy of it) stays open.
inline bool hold(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// Whether the entry `name` of the open folder is a temporary of this user (a regular file, or a
// folder when `folder` is set; never a link) that nobody holds any more.
inline bool abandoned(int parent, const char* name, bool folder) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != ::geteuid() ||
        (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) ||
        ::time(nullptr) - info.st_mtime <= graceSeconds)
        return false;
    int fd = ::openat(parent, name,
                      O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace OwnedTemporary
