#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace DeviceFile {

namespace {

// The device path's components beneath the root ("" for the root itself), or nullopt.
std::optional<std::string> relativePath(std::string_view devicePath) {
    auto host = DeviceRoot::hostPath(devicePath);
    if (!host)
        return std::nullopt;
    std::string relative = host->substr(DeviceRoot::current().size());
    while (!relative.empty() && relative.front() == '/')
        relative.erase(0, 1);
    return relative;
}

// A descriptor of the root folder, kept while it is the same folder (by device and inode).
int rootDescriptor() {
    static std::mutex lock;
    static std::string openedFor;
    static int fd = -1;
    std::lock_guard guard(lock);
    const std::string& root = DeviceRoot::current();
    if (root.empty())
        return -1;
    struct stat now {
    }, held{};
    bool same = fd >= 0 && root == openedFor && ::stat(root.c_str(), &now) == 0 && ::fstat(fd, &held) == 0 &&
                now.st_dev == held.st_dev && now.st_ino == held.st_ino;
    if (!same) {
        if (fd >= 0)
            ::close(fd);
        fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        openedFor = root;
    }
    return fd;
}

// Without openat2: one component at a time, never following a symlink.
int walk(int root, const std::string& relative, int flags, mode_t mode) {
    if (relative.empty())
        return ::openat(root, ".", flags, mode);
    int current = ::openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    size_t start = 0;
    while (current >= 0) {
        size_t slash = relative.find('/', start);
        std::string part =
            relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        int next = slash == std::string::npos
                       ? ::openat(current, part.c_str(), flags | O_NOFOLLOW, mode)
                       : ::openat(current, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int saved = errno;
        ::close(current);
        errno = saved;
        if (slash == std::string::npos)
            return next;
        current = next;
        start = slash + 1;
    }
    return -1;
}

int openRelative(const std::string& relative, int flags, mode_t mode) {
    int root = rootDescriptor();
    if (root < 0) {
        errno = ENODEV;
        return -1;
    }
    // openat2 refuses flags that do not apply (O_NOCTTY with O_PATH), where open ignores them.
    flags |= (flags & O_PATH) ? O_CLOEXEC : O_CLOEXEC | O_NOCTTY;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd = ::syscall(SYS_openat2, root, relative.empty() ? "." : relative.c_str(), &how, sizeof how);
    if (fd < 0 && errno == ENOSYS)
        return walk(root, relative, flags, mode);
    return static_cast<int>(fd);
}

std::string describe(int error) {
    if (error == EXDEV || error == ELOOP)
        return "leads outside the device";
    if (error == ENODEV)
        return "no device";
    return std::strerror(error);
}

} // namespace

int open(std::string_view devicePath, int flags, mode_t mode) {
    auto relative = relativePath(devicePath);
    if (!relative) {
        errno = EXDEV;
        return -1;
    }
    return openRelative(*relative, flags, mode);
}

int openParent(std::string_view devicePath, bool create, std::string& leaf) {
    auto relative = relativePath(devicePath);
    if (!relative || relative->empty()) {
        errno = EXDEV;
        return -1;
    }
    size_t slash = relative->rfind('/');
    leaf = slash == std::string::npos ? *relative : relative->substr(slash + 1);
    std::string folder = slash == std::string::npos ? std::string() : relative->substr(0, slash);
    if (create) {
        // Each missing folder is made inside the folder above it, as that resolves beneath the root.
        for (size_t end = 0; end != std::string::npos && !folder.empty();) {
            end = folder.find('/', end + 1);
            std::string prefix = folder.substr(0, end);
            size_t cut = prefix.rfind('/');
            int above =
                openRelative(cut == std::string::npos ? "" : prefix.substr(0, cut), O_PATH | O_DIRECTORY, 0);
            if (above < 0)
                return -1;
            std::string name = cut == std::string::npos ? prefix : prefix.substr(cut + 1);
            int made = ::mkdirat(above, name.c_str(), 0755);
            int saved = errno;
            ::close(above);
            if (made != 0 && saved != EEXIST) {
                errno = saved;
                return -1;
            }
        }
    }
    return openRelative(folder, O_RDONLY | O_DIRECTORY, 0);
}

bool makeFolders(std::string_view devicePath, std::string& error) {
    std::string leaf;
    // A leaf that is never made: every folder of the path is.
    int parent = openParent(std::string(devicePath) + "/_", true, leaf);
    if (parent < 0) {
        error = "cannot make " + std::string(devicePath) + ": " + describe(errno);
        return false;
    }
    ::close(parent);
    return true;
}

namespace {

template <typename Bytes>
AtomicFile::ReadStatus readInto(std::string_view devicePath, size_t maxBytes, Bytes& bytes,
                                std::string& error) {
    bytes.clear();
    // O_NONBLOCK: a fifo planted where a file should be is refused, never waited on.
    int fd = open(devicePath, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return AtomicFile::ReadStatus::Missing;
        error = describe(errno);
        return AtomicFile::ReadStatus::Failed;
    }
    return AtomicFile::readOpen(fd, maxBytes, bytes, error);
}

} // namespace

AtomicFile::ReadStatus read(std::string_view devicePath, size_t maxBytes, std::vector<uint8_t>& bytes,
                            std::string& error) {
    return readInto(devicePath, maxBytes, bytes, error);
}

AtomicFile::ReadStatus read(std::string_view devicePath, size_t maxBytes, PageBytes& bytes,
                            std::string& error) {
    return readInto(devicePath, maxBytes, bytes, error);
}

bool write(std::string_view devicePath, std::span<const uint8_t> bytes, std::string& error, mode_t mode) {
    std::string leaf;
    int folder = openParent(devicePath, true, leaf);
    if (folder < 0) {
        error = "cannot open the folder of " + std::string(devicePath) + ": " + describe(errno);
        return false;
    }
    return AtomicFile::writeIn(folder, leaf, bytes, error, mode);
}

bool install(const std::string& hostSource, std::string_view devicePath, std::string& error, mode_t mode) {
    std::vector<uint8_t> bytes;
    if (AtomicFile::read(hostSource, 256u << 20, bytes, error) != AtomicFile::ReadStatus::Read) {
        error = hostSource + ": " + (error.empty() ? "missing" : error);
        return false;
    }
    if (!write(devicePath, bytes, error, mode)) {
        error = std::string(devicePath) + ": " + error;
        return false;
    }
    return true;
}

bool remove(std::string_view devicePath) {
    std::string leaf;
    int folder = openParent(devicePath, false, leaf);
    if (folder < 0)
        return false;
    bool removed = ::unlinkat(folder, leaf.c_str(), 0) == 0;
    ::close(folder);
    return removed;
}

std::vector<std::string> list(std::string_view devicePath, size_t maxNames) {
    std::vector<std::string> names;
    int fd = open(devicePath, O_RDONLY | O_DIRECTORY);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
        if (names.size() >= maxNames)
            break;
    }
    ::closedir(dir);
    return names;
}

std::string descriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

namespace {

// The library whose start-up functions are running, while loadLibrary loads one.
std::atomic<const std::string*> loading{nullptr};

std::function<void(const std::string&)>& loadExitObserver() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

// Runs among the exit handlers: an exit while a library loads is the library's doing, and whatever
// status it chose would hide that the process stopped mid-work.
void failExitDuringLoad() {
    const std::string* library = loading.load();
    if (!library)
        return;
    std::string message = "the library " + *library + " ended the process while it was loading";
    if (auto& observer = loadExitObserver())
        observer(message);
    NSLog(message);
    std::fflush(nullptr);
    ::_exit(1);
}

// Armed for the life of one load; loads nest when a library loads another as it starts.
class LoadExitGuard {
public:
    explicit LoadExitGuard(std::string_view library) : m_library(library) {
        static std::once_flag registered;
        std::call_once(registered, [] {
            std::atexit(failExitDuringLoad);
            std::at_quick_exit(failExitDuringLoad);
        });
        m_outer = loading.exchange(&m_library);
    }
    ~LoadExitGuard() { loading.store(m_outer); }
    LoadExitGuard(const LoadExitGuard&) = delete;
    LoadExitGuard& operator=(const LoadExitGuard&) = delete;

private:
    std::string m_library;
    const std::string* m_outer = nullptr;
};

} // namespace

void setLoadExitObserver(std::function<void(const std::string& message)> observer) {
    loadExitObserver() = std::move(observer);
}

void* loadLibrary(std::string_view devicePath, int mode, std::string& error) {
    int fd = open(devicePath, O_RDONLY | O_NONBLOCK);
    struct stat info {};
    if (fd < 0) {
        error = errno == ENOENT ? "not installed" : describe(errno);
        return nullptr;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    void* handle = nullptr;
    {
        LoadExitGuard guard(devicePath);
        handle = ::dlopen(descriptorPath(fd).c_str(), mode);
    }
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : "unknown error";
        ::close(fd);
        return nullptr;
    }
    // The descriptor stays open as long as the library stays loaded (for the life of the process):
    // the loader knows libraries by the name they were loaded under, and its number must not come
    // to name another library.
    return handle;
}

} // namespace DeviceFile
