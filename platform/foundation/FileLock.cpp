#include "platform/foundation/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::FileLock(const std::string& path) {
    lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644), path);
}

FileLock::FileLock(int fd, const std::string& what) {
    lock(fd, what);
}

void FileLock::lock(int fd, const std::string& path) {
    if (fd < 0) {
        m_error = path + ": " + std::strerror(errno);
        return;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_error = path + ": " + std::strerror(errno);
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FileLock::~FileLock() {
    // Closing the last descriptor of the open file releases the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}
