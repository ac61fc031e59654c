#include "hosts/boot/SupervisorWake.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

SupervisorWake::SupervisorWake() {
    if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        m_pipe[0] = m_pipe[1] = -1;
}

SupervisorWake::~SupervisorWake() {
    for (int fd : {m_pipe[0], m_pipe[1], m_watch})
        if (fd >= 0)
            ::close(fd);
}

bool SupervisorWake::watchRoot(const std::string& root) {
    if (m_watch < 0)
        m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch < 0)
        return false;
    constexpr uint32_t gone = IN_DELETE_SELF | IN_MOVE_SELF;
    bool watched = ::inotify_add_watch(m_watch, root.c_str(), gone | IN_ONLYDIR) >= 0;
    return ::inotify_add_watch(m_watch, (root + "/System").c_str(), gone | IN_ONLYDIR) >= 0 && watched;
}

void SupervisorWake::signal() {
    if (m_pipe[1] >= 0) {
        char byte = 1;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] ssize_t ignored = ::write(m_pipe[1], &byte, 1);
    }
}

std::vector<int> SupervisorWake::descriptors() const {
    std::vector<int> fds;
    for (int fd : {m_pipe[0], m_watch})
        if (fd >= 0)
            fds.push_back(fd);
    return fds;
}

bool SupervisorWake::drain() {
    char buffer[4096];
    if (m_pipe[0] >= 0)
        while (::read(m_pipe[0], buffer, sizeof buffer) > 0) {
        }
    bool watched = false;
    if (m_watch >= 0)
        while (::read(m_watch, buffer, sizeof buffer) > 0)
            watched = true;
    return watched;
}
