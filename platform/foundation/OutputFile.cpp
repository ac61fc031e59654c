#include "platform/foundation/OutputFile.h"
#include "platform/foundation/OwnedTemporary.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// What marks a temporary as one of ours: ".NAME" + temporaryMark + six letters or digits. Other
// programs' temporaries in a person's folder look alike otherwise, and are never touched.
constexpr std::string_view temporaryMark = ".zorvi-";

bool looksTemporary(std::string_view name) {
    constexpr size_t random = 6;
    if (name.size() < 2 + temporaryMark.size() + random || name[0] != '.')
        return false;
    std::string_view tail = name.substr(name.size() - random - temporaryMark.size());
    if (tail.substr(0, temporaryMark.size()) != temporaryMark)
        return false;
    for (char c : tail.substr(temporaryMark.size()))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Temporaries of writers that were killed before they could rename or remove them.
void removeAbandonedTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        if (looksTemporary(entry->d_name) && OwnedTemporary::abandoned(::dirfd(dir), entry->d_name, false))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

std::optional<OutputFile> OutputFile::create(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no file name given";
        return std::nullopt;
    }
    std::filesystem::path target(path);
    if (!target.has_filename()) {
        error = path + " names a folder, not a file";
        return std::nullopt;
    }
    std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "the folder " + folder + " does not exist";
        return std::nullopt;
    }
    // lstat: a symlink at the target is replaced by the rename, never written through.
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        error = path + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file") + "; not replaced";
        return std::nullopt;
    }
    removeAbandonedTemporaries(folder);
    std::string temporary =
        folder + "/." + target.filename().string() + std::string(temporaryMark) + "XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write in " + folder + ": " + std::strerror(errno);
        return std::nullopt;
    }
    OwnedTemporary::hold(fd);
    ::fchmod(fd, 0644);
    return OutputFile(path, std::move(temporary), fd);
}

bool OutputFile::write(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    auto file = create(path, error);
    if (!file)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(file->m_fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return file->commit(error);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_temporary(std::exchange(other.m_temporary, {})),
      m_fd(std::exchange(other.m_fd, -1)) {}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_temporary.empty())
        ::unlink(std::exchange(m_temporary, {}).c_str());
}

bool OutputFile::commit(std::string& error) {
    if (m_temporary.empty()) {
        error = "already written";
        return false;
    }
    auto fail = [&](const char* what) {
        error = std::string(what) + " " + m_path + ": " + std::strerror(errno);
        discard();
        return false;
    };
    if (::fsync(m_fd) != 0)
        return fail("cannot flush");
    // The target may have become something else meanwhile; a rename never writes into a device.
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        errno = EEXIST;
        return fail("will not replace");
    }
    // Renamed while still open, and so still held: no sweep can take it for abandoned meanwhile.
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        return fail("cannot write");
    m_temporary.clear();
    if (::close(std::exchange(m_fd, -1)) != 0) {
        error = "cannot close " + m_path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
