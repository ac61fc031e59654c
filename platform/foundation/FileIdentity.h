#pragma once

// What says that a file has not changed: the same file (device and inode) with the same size and
// the same modification and change times. Writing it, replacing it or renaming another over it
// changes at least one of them.

#include <compare>
#include <cstdint>
#include <optional>
#include <sys/stat.h>

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0; // nanoseconds since the epoch
    int64_t changed = 0;

    auto operator<=>(const FileIdentity&) const = default;

    // The identity of the regular file open as fd; nullopt for anything else.
    static std::optional<FileIdentity> of(int fd) {
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            return std::nullopt;
        auto nanoseconds = [](const timespec& time) {
            return int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
        };
        return FileIdentity{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
                            nanoseconds(info.st_ctim)};
    }
};
