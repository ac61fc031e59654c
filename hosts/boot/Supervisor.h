#pragma once

// The device's supervisor: starts backboardd, the lock-screen process and the Settings
// application as processes of one device, restarts them as the device does, and ends them all when
// it ends (each is also ended by the kernel if the supervisor is killed).
//
// - backboardd ends (a Respring: killall backboardd): the lock-screen process is ended too, and both
//   start again; the new lock-screen process loads the tweaks afresh.
// - The lock-screen process dies of a signal it was not sent by us: it starts again in safe mode
//   (no tweaks), naming the last library it loaded. A Respring leaves safe mode, unless the lock
//   screen crashed three times within 30 seconds.
// - Settings dies of a signal: it starts again. Any of them that ends with a failure status starts
//   again too, unless it failed five times within ten seconds.
//
// Headless, each process reads its script commands from the supervisor and writes its trace to it;
// the supervisor writes every line on to its own trace with "process" added, with its own `start`
// and `exit` events.

#include "hosts/common/Trace.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Supervisor {
public:
    struct Options {
        std::string root;
        bool headless = true;
        std::string programs; // the folder holding zv-springboard, zv-settings, zv-backboardd
    };

    Supervisor(Options options, Trace& trace) : m_options(std::move(options)), m_trace(trace) {}
    ~Supervisor();

    // Starts the three processes; false with a message when the device is already booted.
    bool boot(std::string& error);
    // Serves the processes for up to `milliseconds` of real time (a negative wait: until stopped).
    void serve(double milliseconds);
    // Sends one script command to a process ("springboard", "settings"); false when it is not running.
    bool send(const std::string& process, const std::string& command);
    // Waits until the process writes the event (the next one no earlier wait has taken), at most
    // `milliseconds`; answers whether it came.
    bool waitFor(const std::string& process, const std::string& event, double milliseconds);
    bool kill(const std::string& process, int signal);
    std::string stateText() const;
    void stop() { m_stopping = true; }
    bool stopping() const { return m_stopping; }
    // Ends every process and waits for them.
    void shutdown();

private:
    struct Child {
        std::string name;
        pid_t pid = -1;
        int input = -1;  // its script, headless
        int output = -1; // its trace, headless
        std::string pending;
        std::deque<std::string> events; // not yet taken by a wait
        bool expectedEnd = false;
        std::optional<std::string> safeMode;
        std::deque<std::chrono::steady_clock::time_point> failures; // recent exits with a failure status
    };

    void start(Child& child);
    // Waits up to `milliseconds` for the headless processes' trace lines and passes them on.
    void pollOutputs(int milliseconds);
    void reap();
    void exited(Child& child, int status);
    void readOutput(Child& child);
    void endChild(Child& child);
    void exitedQuietly(Child& child, int status);
    Child* find(const std::string& name);
    // Stops the device when its folder has been deleted.
    void checkRoot();

    Options m_options;
    Trace& m_trace;
    int m_lock = -1;
    std::map<std::string, Child> m_children;
    std::deque<std::chrono::steady_clock::time_point> m_crashes;
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_rootChecked{};
};
