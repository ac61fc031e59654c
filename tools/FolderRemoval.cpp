#include "tools/FolderRemoval.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int maxDepth = 256;

// Empties the open folder fd; false with error set on the first failure.
bool removeContents(int fd, int depth, std::string& error) {
    if (depth > maxDepth) {
        error = "folders nested too deep";
        return false;
    }
    int listing = ::dup(fd);
    DIR* folder = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!folder) {
        if (listing >= 0)
            ::close(listing);
        error = std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    for (const std::string& name : names) {
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone already
        if (S_ISDIR(info.st_mode)) {
            int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner < 0) {
                error = name + ": " + std::strerror(errno);
                return false;
            }
            bool emptied = removeContents(inner, depth + 1, error);
            ::close(inner);
            if (!emptied)
                return false;
            if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
                error = name + ": " + std::strerror(errno);
                return false;
            }
        } else if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) {
            error = name + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

bool removeFolder(const std::string& folder, std::string& error) {
    std::filesystem::path path(folder);
    std::string name = path.filename().string();
    if (!path.is_absolute() || name.empty() || name == "." || name == "..") {
        error = "not a folder's own name: " + folder;
        return false;
    }
    int parent = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        error = std::strerror(errno);
        return false;
    }
    int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {
    }, named{};
    bool removed = fd >= 0 && ::fstat(fd, &opened) == 0 && removeContents(fd, 0, error);
    if (fd < 0)
        error = std::strerror(errno);
    if (removed) {
        // Only the folder that was emptied: a name swapped meanwhile is left alone.
        if (::fstatat(parent, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
            error = "the folder was moved while it was erased";
            removed = false;
        } else if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) {
            error = std::strerror(errno);
            removed = false;
        }
    }
    if (fd >= 0)
        ::close(fd);
    ::close(parent);
    return removed;
}
