#include "platform/foundation/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace AtomicFile {

namespace {

// Owns one open descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // The result of close(2), which can report a failed write-back.
    int close() { return m_fd >= 0 ? ::close(std::exchange(m_fd, -1)) : 0; }

private:
    int m_fd;
};

std::string describe(int error) {
    return std::strerror(error);
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// A writer's temporary file: ".NAME.XXXXXX", six letters or digits at the end.
bool looksTemporary(const std::string& name) {
    if (name.size() < 9 || name[0] != '.' || name[name.size() - 7] != '.')
        return false;
    for (size_t i = name.size() - 6; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

// Temporary files of writers that were killed before they could rename or remove them. A minute is
// far longer than any write takes, so a file that old has no writer left.
void removeOrphanedTemporaries(int folder) {
    constexpr time_t orphanSeconds = 60;
    // A descriptor of its own: closedir closes it.
    int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    time_t now = ::time(nullptr);
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        struct stat info {};
        if (!looksTemporary(name) || ::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode) && now - info.st_mtime > orphanSeconds)
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
}

} // namespace

ReadStatus read(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    // O_NONBLOCK: a fifo planted where a file should be must not hang the reader.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadStatus::Missing;
        error = describe(errno);
        return ReadStatus::Failed;
    }
    return readOpen(fd, maxBytes, bytes, error);
}

namespace {

template <typename Bytes>
ReadStatus readInto(int descriptor, size_t maxBytes, Bytes& bytes, std::string& error) {
    bytes.clear();
    Descriptor fd(descriptor);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = describe(errno);
        return ReadStatus::Failed;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a folder, not a file";
        return ReadStatus::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return ReadStatus::Failed;
    }
    auto tooLarge = [&] {
        error = "larger than " + std::to_string(maxBytes) + " bytes";
        bytes.clear();
        return ReadStatus::Failed;
    };
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return tooLarge();
    // Read straight into the answer: a wallpaper is megabytes, and every extra copy of it costs.
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            // Usually the end of the file. It may have grown while it was read: a probe tells,
            // before the buffer grows (growing copies everything read so far).
            uint8_t probe = 0;
            ssize_t more = ::read(fd.get(), &probe, 1);
            if (more < 0 && errno == EINTR)
                continue;
            if (more < 0) {
                error = describe(errno);
                bytes.clear();
                return ReadStatus::Failed;
            }
            if (more == 0)
                break;
            if (bytes.size() >= maxBytes)
                return tooLarge();
            bytes.resize(std::min(maxBytes, bytes.size() + 65536));
            bytes[filled++] = probe;
            continue;
        }
        ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = describe(errno);
            bytes.clear();
            return ReadStatus::Failed;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return ReadStatus::Read;
}

} // namespace

ReadStatus readOpen(int descriptor, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) {
    return readInto(descriptor, maxBytes, bytes, error);
}

ReadStatus readOpen(int descriptor, size_t maxBytes, PageBytes& bytes, std::string& error) {
    return readInto(descriptor, maxBytes, bytes, error);
}

bool write(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    std::filesystem::path target(path);
    // A bare file name lives in the current folder.
    std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        error = "cannot create " + folder.string() + ": " + made.message();
        return false;
    }
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        error = "cannot open " + folder.string() + ": " + describe(errno);
        return false;
    }
    return writeIn(folderFd, target.filename().string(), bytes, error);
}

bool writeIn(int folderDescriptor, const std::string& name, std::span<const uint8_t> bytes,
             std::string& error, mode_t wanted) {
    Descriptor folder(folderDescriptor);
    removeOrphanedTemporaries(folder.get());
    mode_t mode = wanted ? wanted : 0644;
    if (struct stat existing{}; !wanted &&
                                ::fstatat(folder.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                                S_ISREG(existing.st_mode))
        mode = existing.st_mode & 07777;

    // ".NAME.XXXXXX", made with O_EXCL in the folder itself (never through a name outside it).
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        uint8_t random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            for (auto& byte : random)
                byte = static_cast<uint8_t>(std::rand());
        temporary = "." + name + ".";
        for (uint8_t byte : random)
            temporary += letters[byte % (sizeof letters - 1)];
        fd = ::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                      0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    Descriptor file(fd);
    if (!file.valid()) {
        error = "cannot create a temporary file beside " + name + ": " + describe(errno);
        return false;
    }
    auto abandon = [&](const std::string& what) {
        int saved = errno;
        file.close();
        ::unlinkat(folder.get(), temporary.c_str(), 0);
        error = what + ": " + describe(saved);
        return false;
    };
    if (!writeAll(file.get(), bytes))
        return abandon("write failed");
    if (::fchmod(file.get(), mode) != 0)
        return abandon("cannot set the file mode");
    if (::fsync(file.get()) != 0)
        return abandon("flush failed");
    if (file.close() != 0)
        return abandon("close failed");
    if (::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0)
        return abandon("cannot replace the file");
    // Make the rename itself durable; a failure here no longer matters to readers.
    ::fsync(folder.get());
    return true;
}

} // namespace AtomicFile
