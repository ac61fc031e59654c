// The supervisor's side of its headless processes' pipes: their commands queue and go out as the
// pipes take them, their trace lines come in meanwhile, and waits are served from what came in.

#include "hosts/boot/Supervisor.h"
#include "platform/foundation/DeviceLog.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = Supervisor::Clock;

// The event name of a trace line, or "".
std::string eventOf(const std::string& line) {
    const std::string key = "\"event\":\"";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return {};
    size_t end = line.find('"', at + key.size());
    return end == std::string::npos ? std::string() : line.substr(at + key.size(), end - at - key.size());
}

// The "line" of a "ran" trace line, or 0.
uint64_t lineOf(const std::string& line) {
    const std::string key = "\"line\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return 0;
    uint64_t number = 0;
    for (size_t i = at + key.size();
         i < line.size() && line[i] >= '0' && line[i] <= '9' && number < (1ull << 40); ++i)
        number = number * 10 + static_cast<uint64_t>(line[i] - '0');
    return number;
}

// The events a wait can see for each process: its own trace's, and the supervisor's about it.
bool canWrite(const std::string& process, const std::string& event) {
    static const std::vector<std::string> supervisors{"start", "exit"};
    static const std::vector<std::string> common{"ready", "log", "state", "error", "frame", "record"};
    static const std::vector<std::string> springboard{"launch", "unlock", "sound", "hooks"};
    static const std::vector<std::string> settings{"page", "task", "post", "write"};
    auto in = [&](const std::vector<std::string>& names) {
        return std::find(names.begin(), names.end(), event) != names.end();
    };
    if (in(supervisors))
        return true;
    if (process == "springboard")
        return in(common) || in(springboard);
    if (process == "settings")
        return in(common) || in(settings);
    return false; // backboardd writes no trace
}

// The state letter of a live process ('T' when stopped), or 0.
char stateOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return 0;
    size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? 0 : text[close + 2];
}

std::string seconds(Clock::duration span) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(span).count()) + " s";
}

} // namespace

void Supervisor::readOutput(Child& child) {
    if (child.output < 0)
        return;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(child.output, buffer, sizeof buffer);
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                ::close(child.output);
                child.output = -1;
            }
            break;
        }
        child.pending.append(buffer, static_cast<size_t>(got));
        child.lastSign = Clock::now();
    }
    size_t newline;
    while ((newline = child.pending.find('\n')) != std::string::npos) {
        std::string line = child.pending.substr(0, newline);
        child.pending.erase(0, newline + 1);
        if (line.size() < 2 || line.front() != '{' || line.back() != '}')
            continue;
        std::string event = eventOf(line);
        if (event == "ran") {
            uint64_t ran = lineOf(line);
            while (!child.unrun.empty() && child.unrun.front().first <= ran)
                child.unrun.pop_front();
            continue;
        }
        if (event == "error")
            ++m_errors;
        if (!child.ending) {
            child.events.push_back(event);
            if (child.events.size() > 10000)
                child.events.pop_front();
        }
        // The process's own line, with "process" added.
        m_trace.writeLine(line.substr(0, line.size() - 1) + ",\"process\":\"" + child.name + "\"}");
    }
}

void Supervisor::writeInput(Child& child) {
    while (child.input >= 0 && !child.queued.empty()) {
        ssize_t wrote = ::write(child.input, child.queued.data(), child.queued.size());
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0 && errno == EAGAIN)
            return;
        if (wrote <= 0) {
            // It closed its script (or is gone): what was queued for it cannot be delivered.
            ::close(child.input);
            child.input = -1;
            child.queued.clear();
            return;
        }
        child.queued.erase(0, static_cast<size_t>(wrote));
        child.written += static_cast<uint64_t>(wrote);
    }
    // Its script ends once it has read everything: the end of the pipe is the end of the script.
    if (child.input >= 0 && child.closeInput && child.queued.empty() && unread(child) == 0) {
        ::close(child.input);
        child.input = -1;
    }
}

size_t Supervisor::unread(const Child& child) const {
    int count = 0;
    if (child.input < 0 || ::ioctl(child.input, FIONREAD, &count) != 0 || count < 0)
        return 0;
    return static_cast<size_t>(count);
}

void Supervisor::checkStall(Child& child) {
    if (child.pid <= 0 || child.input < 0)
        return;
    uint64_t taken = child.written - unread(child);
    if (taken != child.taken) {
        child.taken = taken;
        child.lastSign = Clock::now();
    }
    bool waiting = !child.queued.empty() || child.written != child.taken;
    if (!waiting) {
        child.stalled = false;
        return;
    }
    auto quiet = Clock::now() - child.lastSign;
    if (child.stalled || quiet < stallLimit)
        return;
    child.stalled = true;
    std::string message = child.name + " has taken none of its commands for " + seconds(quiet) + " (" +
                          std::to_string(child.queued.size() + (child.written - child.taken)) +
                          " bytes waiting" + (stateOf(child.pid) == 'T' ? "; it is stopped)" : ")");
    NSLog("launchd: " + message);
    fail(message);
}

void Supervisor::pollPipes(int milliseconds) {
    std::vector<pollfd> fds;
    std::vector<Child*> owners;
    // What only wakes the wait: an ended process (reaped after it), a client of the control socket.
    size_t wakers = 0;
    for (auto& [name, child] : m_children)
        if (child.pidfd >= 0)
            fds.push_back({child.pidfd, POLLIN, 0}), ++wakers;
    if (m_control)
        fds.push_back({m_control->descriptor(), POLLIN, 0}), ++wakers;
    for (int fd : m_wake.descriptors())
        fds.push_back({fd, POLLIN, 0}), ++wakers;
    owners.resize(wakers, nullptr);
    for (auto& [name, child] : m_children) {
        if (child.output >= 0) {
            fds.push_back({child.output, POLLIN, 0});
            owners.push_back(&child);
        }
        if (child.input >= 0 && !child.queued.empty()) {
            fds.push_back({child.input, POLLOUT, 0});
            owners.push_back(&child);
        }
    }
    ::poll(fds.data(), fds.size(), milliseconds);
    if (m_wake.drain())
        checkRoot();
    for (size_t i = wakers; i < fds.size(); ++i)
        if (fds[i].revents && fds[i].events == POLLIN)
            readOutput(*owners[i]);
    if (m_control)
        m_control->serve();
    for (auto& [name, child] : m_children) {
        writeInput(child);
        checkStall(child);
    }
}

void Supervisor::serve(double milliseconds) {
    auto end = Clock::now() + std::chrono::duration<double, std::milli>(milliseconds < 0 ? 0 : milliseconds);
    do {
        // Commands waiting are watched closely; otherwise the wait ends only when something
        // happens (a trace line, a process ending, a client, a signal, the device's folder going).
        int longest = commandsWaiting() ? 20 : -1;
        int wait = longest;
        if (milliseconds >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, longest < 0 ? left : longest));
        }
        pollPipes(wait);
        reap();
    } while (!m_stopping && (milliseconds < 0 || Clock::now() < end));
}

bool Supervisor::commandsWaiting() const {
    return std::any_of(m_children.begin(), m_children.end(), [](const auto& entry) {
        return !entry.second.queued.empty() || entry.second.written != entry.second.taken;
    });
}

Supervisor::Sent Supervisor::send(const std::string& process, const std::string& command) {
    Child* child = find(process);
    if (!child || child->input < 0 || child->closeInput)
        return Sent::NotRunning;
    if (child->queued.size() + command.size() + 1 > maxQueuedBytes)
        return Sent::QueueFull;
    // A process that had nothing to take starts its wait for this one now, however long it idled.
    if (child->queued.empty() && unread(*child) == 0)
        child->lastSign = Clock::now();
    child->queued += command + "\n";
    child->unrun.emplace_back(++child->linesSent, command);
    writeInput(*child);
    return Sent::Queued;
}

Supervisor::Waited Supervisor::waitFor(const std::string& process, const std::string& event,
                                       double milliseconds, std::string& why) {
    Child* child = find(process);
    if (!child) {
        why = "there is no process " + process + " (springboard, settings, backboardd)";
        return Waited::CannotCome;
    }
    if (!canWrite(process, event)) {
        why = process + " never writes " + event;
        return Waited::CannotCome;
    }
    auto end = Clock::now() + std::chrono::duration<double, std::milli>(milliseconds);
    for (;;) {
        auto it = std::find(child->events.begin(), child->events.end(), event);
        if (it != child->events.end()) {
            child->events.erase(child->events.begin(), it + 1);
            return Waited::Came;
        }
        if (child->gaveUp && child->pid <= 0) {
            why = process + " is not running: it kept failing and is not started again";
            return Waited::CannotCome;
        }
        if (Clock::now() >= end || m_stopping)
            return Waited::TimedOut;
        serve(std::min(20.0, std::chrono::duration<double, std::milli>(end - Clock::now()).count()));
    }
}

void Supervisor::finishScripts() {
    auto piped = [this] {
        return std::any_of(m_children.begin(), m_children.end(), [](const auto& entry) {
            return entry.second.pid > 0 && (entry.second.input >= 0 || entry.second.output >= 0);
        });
    };
    bool interruptionPassed = false;
    while (piped()) {
        for (auto& [name, child] : m_children) {
            if (child.pid <= 0 || (child.input < 0 && child.output < 0))
                continue;
            if (m_interrupted && !interruptionPassed) {
                // Interrupted: each process completes what it was doing (a recording) and ends.
                child.queued.clear();
                if (child.input >= 0)
                    ::close(child.input);
                child.input = -1;
                child.expectedEnd = true;
                ::kill(child.pid, SIGTERM);
                ::kill(child.pid, SIGCONT);
                child.lastSign = Clock::now();
                continue;
            }
            child.closeInput = true;
            std::string why;
            auto quiet = Clock::now() - child.lastSign;
            if (stateOf(child.pid) == 'T')
                why = "it is stopped";
            else if (child.stalled)
                why = "it takes none of its commands";
            else if (m_interrupted ? quiet >= stallLimit : quiet >= silenceLimit)
                why = "it wrote nothing for " + seconds(quiet);
            if (why.empty())
                continue;
            std::string message = "ending " + child.name + " before the end of its script: " + why;
            NSLog("launchd: " + message);
            if (!m_interrupted)
                fail(message);
            endChild(child);
        }
        interruptionPassed = m_interrupted;
        pollPipes(20);
        reap();
    }
}
