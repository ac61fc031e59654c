#include "platform/foundation/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    std::string temporary = folder + "/." + target.filename().string() + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write in " + folder + ": " + std::strerror(errno);
        return std::nullopt;
    }
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
    if (::close(std::exchange(m_fd, -1)) != 0)
        return fail("cannot close");
    // The target may have become something else meanwhile; a rename never writes into a device.
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        errno = EEXIST;
        return fail("will not replace");
    }
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        return fail("cannot write");
    m_temporary.clear();
    return true;
}
