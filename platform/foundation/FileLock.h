#pragma once

// An exclusive advisory lock (flock) on a lock file, held for the object's lifetime. Separate
// opens of the file exclude each other, so it serialises threads as well as processes.

#include <string>

class FileLock {
public:
    // Creates the lock file when needed and waits for the lock.
    explicit FileLock(const std::string& path);
    // Locks a lock file opened already (by a caller that chose how to open it); takes ownership.
    // A negative descriptor is a failure, described by `what`.
    FileLock(int fd, const std::string& what);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_fd >= 0; }
    // Why the lock could not be taken.
    const std::string& error() const { return m_error; }

private:
    void lock(int fd, const std::string& what);

    int m_fd = -1;
    std::string m_error;
};
