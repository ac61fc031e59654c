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
// - Settings dies of a signal: it starts again. Any of them (backboardd too) that ends with a
//   failure status starts again, unless it failed five times within ten seconds: then it is left
//   stopped, which the log and `state` say.
//
// Headless, each process reads its script commands from the supervisor and writes its trace to it;
// the supervisor writes every line on to its own trace with "process" added, with its own `start`
// and `exit` events. It never waits on one process: commands queue (up to a bound) while the
// processes' output is read, and a process that takes none of its commands for a while is reported.

#include "hosts/boot/SupervisorWake.h"
#include "hosts/common/ControlServer.h"
#include "hosts/common/Trace.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Supervisor {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        std::string root;
        bool headless = true;
        std::string programs; // the folder holding zv-springboard, zv-settings, zv-backboardd
        // Headless and served: the processes run on this machine's time, not a script's clock.
        bool served = false;
    };

    Supervisor(Options options, Trace& trace) : m_options(std::move(options)), m_trace(trace) {}
    ~Supervisor();

    // Starts the three processes; false with a message when the device cannot be booted (booted
    // already, or its lock cannot be used).
    bool boot(std::string& error);
    // Serves the processes for up to `milliseconds` of real time (a negative wait: until stopped).
    void serve(double milliseconds);

    enum class Sent { Queued, NotRunning, QueueFull };
    // Queues one script command for a process ("springboard", "settings").
    Sent send(const std::string& process, const std::string& command);

    enum class Waited { Came, TimedOut, CannotCome };
    // Waits until the process writes the event (the next one no earlier wait has taken, written
    // by the process running now), at most `milliseconds`. CannotCome, with why, when no such
    // event can come.
    Waited waitFor(const std::string& process, const std::string& event, double milliseconds,
                   std::string& why);
    bool kill(const std::string& process, int signal);
    std::string stateText() const;

    // Writes an `error` of the supervisor's own; the run then ends with a failure status.
    void fail(const std::string& message);
    // How many `error` events the trace holds (the supervisor's and its processes').
    int errors() const { return m_errors; }

    // Asked from a signal handler: the run ends, and each process is interrupted in turn.
    void interrupt() {
        m_interrupted = true;
        m_stopping = true;
        m_wake.signal();
    }
    bool interrupted() const { return m_interrupted; }
    void stop() { m_stopping = true; }
    bool stopping() const { return m_stopping; }
    // Lets each headless process finish the commands it was sent (or, once interrupted, what it
    // is doing), then ends every process and waits for them.
    void shutdown();

    // How many bytes of commands may wait for one process.
    static constexpr size_t maxQueuedBytes = 1 << 20;
    // A process with commands waiting that takes none for this long is reported.
    static constexpr auto stallLimit = std::chrono::seconds(3);
    // After its script, a process that writes nothing for this long is ended.
    static constexpr auto silenceLimit = std::chrono::seconds(60);

private:
    struct Child {
        std::string name;
        pid_t pid = -1;
        int pidfd = -1;  // readable once it has ended
        int input = -1;  // its script, headless
        int output = -1; // its trace, headless
        std::string pending;
        std::string queued;   // commands the pipe has not taken yet
        uint64_t written = 0; // bytes given to the pipe
        uint64_t taken = 0;   // of which the process has read
        uint64_t linesSent = 0;
        // Commands sent that it has not said it ran, by their line number in its script.
        std::deque<std::pair<uint64_t, std::string>> unrun;
        bool closeInput = false;        // once everything queued is taken, its script ends
        Clock::time_point lastSign;     // it last took a command or wrote a line
        bool stalled = false;           // reported as taking none of its commands
        std::deque<std::string> events; // not yet taken by a wait
        bool ending = false;            // sent a signal that ends it: its events are not waited for
        bool expectedEnd = false;
        bool gaveUp = false;  // kept failing, left stopped
        bool started = false; // once: Settings started again opens the pages it had
        std::optional<std::string> safeMode;
        std::deque<Clock::time_point> failures; // recent exits with a failure status
    };

    void start(Child& child);
    // Waits up to `milliseconds` for the headless processes' pipes: passes their trace lines on
    // and gives them their queued commands.
    void pollPipes(int milliseconds);
    void reap();
    void exited(Child& child, int status);
    // Counts a failed exit; true when the process keeps failing and is left stopped.
    bool keepsFailing(Child& child, int status);
    void readOutput(Child& child);
    void writeInput(Child& child);
    // Bytes written to the process's pipe that it has not read.
    size_t unread(const Child& child) const;
    // Notes what the process took since last time; reports it once it takes nothing for too long.
    void checkStall(Child& child);
    void endChild(Child& child);
    void exitedQuietly(Child& child, int status);
    // Serves until every headless process has ended, ending those that cannot finish.
    void finishScripts();
    Child* find(const std::string& name);
    // Stops the device when its folder has been deleted (looked at when the folder's watch fires).
    void checkRoot();
    // Whether a process has commands waiting to be taken (their stall is watched closely).
    bool commandsWaiting() const;
    // A line sent to the supervisor's own control socket: "shutdown", "state" (as its script's),
    // "respring" (backboardd ended, as killall does) or "restart settings" (ended and started again
    // on the pages it had).
    std::string control(const std::string& line);

    Options m_options;
    Trace& m_trace;
    int m_lock = -1;
    std::unique_ptr<ControlServer> m_control;
    std::map<std::string, Child> m_children;
    std::deque<Clock::time_point> m_crashes;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_interrupted{false};
    int m_errors = 0;
    SupervisorWake m_wake;
};
