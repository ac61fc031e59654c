#include "hosts/boot/Supervisor.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Three crashes of the lock screen within this long keep the device in safe mode.
constexpr auto crashWindow = std::chrono::seconds(30);
constexpr size_t crashesForLoop = 3;
// A process that fails this often this quickly is left stopped.
constexpr auto failureWindow = std::chrono::seconds(10);
constexpr size_t failuresForGivingUp = 5;

const char* programOf(const std::string& name) {
    if (name == "backboardd")
        return "zv-backboardd";
    if (name == "springboard")
        return "zv-springboard";
    return "zv-settings";
}

// The event name of a trace line, or "".
std::string eventOf(const std::string& line) {
    const std::string key = "\"event\":\"";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return {};
    size_t end = line.find('"', at + key.size());
    return end == std::string::npos ? std::string() : line.substr(at + key.size(), end - at - key.size());
}

} // namespace

Supervisor::~Supervisor() {
    shutdown();
    if (m_lock >= 0)
        ::close(m_lock);
}

bool Supervisor::boot(std::string& error) {
    auto started = Clock::now();
    m_trace.setClock(
        [started] { return std::chrono::duration<double, std::milli>(Clock::now() - started).count(); });
    DeviceRoot::setCurrent(m_options.root);
    DeviceLog::setProcessName("launchd");
    if (std::string why; !DeviceFile::makeFolders("/var/run", why)) {
        error = "cannot use the device's /var/run: " + why;
        return false;
    }
    // One supervisor per device: the lock is the kernel's and goes with the process.
    m_lock = DeviceFile::open("/var/run/boot.lock", O_RDWR | O_CREAT | O_NONBLOCK, 0644);
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        error = "the device at " + m_options.root + " is booted already";
        return false;
    }
    for (const char* name : {"backboardd", "springboard", "settings"}) {
        Child& child = m_children[name];
        child.name = name;
        start(child);
    }
    return true;
}

void Supervisor::start(Child& child) {
    std::vector<std::string> words{m_options.programs + "/" + programOf(child.name)};
    if (child.name != "backboardd") {
        words.insert(words.end(), {"--root", m_options.root});
        if (m_options.headless)
            words.insert(words.end(), {"--headless", "--script", "-"});
        if (child.name == "springboard" && child.safeMode)
            words.insert(words.end(), {"--safe-mode", child.safeMode->empty() ? "-" : *child.safeMode});
    }
    // With windows, the lock screen and Settings stand side by side.
    std::string windowX = child.name == "springboard" ? "20" : "435";
    int input[2] = {-1, -1}, output[2] = {-1, -1};
    bool piped = m_options.headless && child.name != "backboardd";
    if (piped && (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)) {
        NSLog("launchd: cannot start " + child.name + ": " + std::strerror(errno));
        return;
    }
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0) {
        // Ended by the kernel when the supervisor goes, however it goes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
        if (piped) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
        }
        ::setenv("ZV_WINDOW_X", windowX.c_str(), 1);
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (piped) {
        ::close(input[0]);
        ::close(output[1]);
        child.input = input[1];
        child.output = output[0];
        ::fcntl(child.output, F_SETFL, O_NONBLOCK);
    }
    child.pid = pid;
    child.expectedEnd = false;
    child.pending.clear();
    m_trace.write("start", Json::Object()
                               .add("process", Json::string(child.name))
                               .add("pid", Json::number(pid))
                               .add("safeMode", child.safeMode ? Json::boolean(true) : Json::boolean(false)));
}

Supervisor::Child* Supervisor::find(const std::string& name) {
    auto it = m_children.find(name);
    return it == m_children.end() ? nullptr : &it->second;
}

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
    }
    size_t newline;
    while ((newline = child.pending.find('\n')) != std::string::npos) {
        std::string line = child.pending.substr(0, newline);
        child.pending.erase(0, newline + 1);
        if (line.size() < 2 || line.front() != '{' || line.back() != '}')
            continue;
        child.events.push_back(eventOf(line));
        if (child.events.size() > 10000)
            child.events.pop_front();
        // The process's own line, with "process" added.
        m_trace.writeLine(line.substr(0, line.size() - 1) + ",\"process\":\"" + child.name + "\"}");
    }
}

void Supervisor::pollOutputs(int milliseconds) {
    std::vector<pollfd> fds;
    std::vector<Child*> owners;
    for (auto& [name, child] : m_children)
        if (child.output >= 0) {
            fds.push_back({child.output, POLLIN, 0});
            owners.push_back(&child);
        }
    ::poll(fds.data(), fds.size(), milliseconds);
    for (size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents)
            readOutput(*owners[i]);
}

void Supervisor::reap() {
    int status = 0;
    pid_t pid;
    while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
        for (auto& [name, child] : m_children)
            if (child.pid == pid) {
                exited(child, status);
                break;
            }
    }
}

void Supervisor::exited(Child& child, int status) {
    bool crashed = WIFSIGNALED(status) && !child.expectedEnd;
    exitedQuietly(child, status);
    if (m_stopping)
        return;
    if (child.name == "backboardd") {
        // A Respring: the lock screen goes with the display server, and both come back.
        NSLog("launchd: backboardd ended; restarting it and SpringBoard");
        if (Child* springboard = find("springboard")) {
            endChild(*springboard);
            bool looping = m_crashes.size() >= crashesForLoop &&
                           Clock::now() - m_crashes[m_crashes.size() - crashesForLoop] < crashWindow;
            if (!looping)
                springboard->safeMode.reset();
        }
        start(child);
        if (Child* springboard = find("springboard"))
            start(*springboard);
    } else if (child.name == "springboard" && crashed) {
        m_crashes.push_back(Clock::now());
        while (m_crashes.size() > 10)
            m_crashes.pop_front();
        std::string last, why;
        std::vector<uint8_t> bytes;
        if (DeviceFile::read("/var/run/SpringBoard.lastlibrary", 4096, bytes, why) ==
            AtomicFile::ReadStatus::Read)
            last.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), '\n'));
        NSLog("launchd: SpringBoard died of signal " + std::to_string(WTERMSIG(status)) +
              "; starting it in safe mode" +
              (last.empty() ? std::string() : " (the last tweak loaded: " + last + ")"));
        child.safeMode = last;
        start(child);
    } else if (child.name == "settings" && crashed) {
        NSLog("launchd: Preferences died of signal " + std::to_string(WTERMSIG(status)) +
              "; starting it again");
        start(child);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && !child.expectedEnd) {
        // A process that failed is started again, unless it keeps failing at once.
        child.failures.push_back(Clock::now());
        while (child.failures.size() > failuresForGivingUp)
            child.failures.pop_front();
        if (child.failures.size() == failuresForGivingUp &&
            Clock::now() - child.failures.front() < failureWindow) {
            NSLog("launchd: " + child.name + " keeps failing (status " + std::to_string(WEXITSTATUS(status)) +
                  "); not starting it again");
            return;
        }
        NSLog("launchd: " + child.name + " ended with status " + std::to_string(WEXITSTATUS(status)) +
              "; starting it again");
        start(child);
    } else if (!m_options.headless && WIFEXITED(status)) {
        // A person closed one of the device's windows: the device shuts down.
        NSLog("launchd: " + child.name + "'s window was closed; shutting the device down");
        m_stopping = true;
    }
}

void Supervisor::endChild(Child& child) {
    if (child.pid <= 0)
        return;
    child.expectedEnd = true;
    ::kill(child.pid, SIGTERM);
    int status = 0;
    // A process that does not end when asked is ended.
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(child.pid, &status, WNOHANG) == child.pid) {
            exitedQuietly(child, status);
            return;
        }
        ::usleep(10000);
    }
    ::kill(child.pid, SIGKILL);
    ::waitpid(child.pid, &status, 0);
    exitedQuietly(child, status);
}

void Supervisor::exitedQuietly(Child& child, int status) {
    readOutput(child);
    Json::Object fields;
    fields.add("process", Json::string(child.name)).add("pid", Json::number(child.pid));
    if (WIFSIGNALED(status))
        fields.add("signal", Json::number(WTERMSIG(status)));
    else
        fields.add("status", Json::number(WEXITSTATUS(status)));
    m_trace.write("exit", fields);
    child.pid = -1;
    if (child.input >= 0)
        ::close(child.input);
    if (child.output >= 0)
        ::close(child.output);
    child.input = child.output = -1;
}

void Supervisor::serve(double milliseconds) {
    auto end = Clock::now() + std::chrono::duration<double, std::milli>(milliseconds < 0 ? 0 : milliseconds);
    do {
        int wait = 20;
        if (milliseconds >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, 20));
        }
        pollOutputs(wait);
        reap();
        checkRoot();
    } while (!m_stopping && (milliseconds < 0 || Clock::now() < end));
}

void Supervisor::checkRoot() {
    auto now = Clock::now();
    if (now - m_rootChecked < std::chrono::milliseconds(500))
        return;
    m_rootChecked = now;
    std::error_code failure;
    if (std::filesystem::is_directory(m_options.root + "/System", failure))
        return;
    // Its folder deleted under it, the device cannot go on: it shuts down rather than restart
    // processes that would find nothing.
    m_trace.write("error", Json::Object()
                               .add("process", Json::string("supervisor"))
                               .add("message", Json::string("the device's folder is gone; shutting down")));
    m_stopping = true;
}

bool Supervisor::send(const std::string& process, const std::string& command) {
    Child* child = find(process);
    if (!child || child->input < 0)
        return false;
    std::string line = command + "\n";
    // A process that does not read its commands does not stop the supervisor.
    size_t done = 0;
    while (done < line.size()) {
        ssize_t wrote = ::write(child->input, line.data() + done, line.size() - done);
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool Supervisor::waitFor(const std::string& process, const std::string& event, double milliseconds) {
    auto end = Clock::now() + std::chrono::duration<double, std::milli>(milliseconds);
    for (;;) {
        if (Child* child = find(process)) {
            auto it = std::find(child->events.begin(), child->events.end(), event);
            if (it != child->events.end()) {
                child->events.erase(child->events.begin(), it + 1);
                return true;
            }
        }
        if (Clock::now() >= end || m_stopping)
            return false;
        serve(std::min(20.0, std::chrono::duration<double, std::milli>(end - Clock::now()).count()));
    }
}

bool Supervisor::kill(const std::string& process, int signal) {
    Child* child = find(process);
    if (!child || child->pid <= 0)
        return false;
    return ::kill(child->pid, signal) == 0;
}

std::string Supervisor::stateText() const {
    std::vector<Json> processes;
    for (const auto& [name, child] : m_children)
        processes.push_back(Json::Object()
                                .add("process", Json::string(name))
                                .add("pid", child.pid > 0 ? Json::number(child.pid) : Json::null())
                                .add("running", Json::boolean(child.pid > 0))
                                .add("safeMode", child.safeMode ? Json::boolean(true) : Json::boolean(false))
                                .done());
    return Json::Object().add("processes", Json::array(processes)).done().text();
}

void Supervisor::shutdown() {
    m_stopping = true;
    // Headless processes end by themselves once their script ends; what they still write is kept.
    bool anyPiped = false;
    for (auto& [name, child] : m_children)
        if (child.input >= 0) {
            ::close(child.input);
            child.input = -1;
            anyPiped = true;
        }
    auto end = Clock::now() + std::chrono::seconds(3);
    while (anyPiped && Clock::now() < end &&
           std::any_of(m_children.begin(), m_children.end(),
                       [](const auto& entry) { return entry.second.pid > 0 && entry.second.output >= 0; })) {
        pollOutputs(20);
        reap();
    }
    // The lock screen first, then the rest.
    for (const char* name : {"springboard", "settings", "backboardd"})
        if (Child* child = find(name))
            endChild(*child);
}
