#pragma once

// What wakes the supervisor's wait besides its processes and its control socket, so that it can
// sleep for as long as nothing happens: a request from a signal handler (a pipe written from the
// handler: a signal that lands just before the wait still ends it), and the device's folder going
// away (inotify on the folder and its System folder, deleted or moved).

#include <string>
#include <vector>

class SupervisorWake {
public:
    SupervisorWake();
    ~SupervisorWake();
    SupervisorWake(const SupervisorWake&) = delete;
    SupervisorWake& operator=(const SupervisorWake&) = delete;

    // Watches the device's folder; false when the system cannot (the supervisor then cannot learn
    // that the folder went).
    bool watchRoot(const std::string& root);
    // From a signal handler: async-signal-safe.
    void signal();
    // The descriptors to wait on.
    std::vector<int> descriptors() const;
    // Reads what woke the wait; answers whether the folder may have gone.
    bool drain();

private:
    int m_pipe[2] = {-1, -1};
    int m_watch = -1;
};
