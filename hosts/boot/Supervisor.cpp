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
#include <sys/stat.h>
#include <sys/syscall.h>
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

// Opens and locks the device's boot lock; false with why (a lock held by another supervisor, or
// one that is no lock: a folder, a link, a device that cannot be written).
bool takeLock(int& lock, std::string& why) {
    const char* path = "/var/run/boot.lock";
    // Opened for writing though flock needs none: a device that cannot be written cannot be booted
    // (its processes keep their sockets and state in it), and is refused here rather than left to
    // fail at every start of its processes.
    lock = DeviceFile::open(path, O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW, 0644);
    if (lock < 0) {
        int failure = errno;
        std::string reason = std::strerror(failure);
        why = std::string("its ") + path +
              (failure == ELOOP    ? " is a link, not a lock file"
               : failure == EISDIR ? " is a folder, not a lock file"
               : failure == EROFS || failure == EACCES
                   ? " cannot be written (" + reason + "); a device is booted only where it can be written"
                   : " cannot be opened: " + reason);
        return false;
    }
    struct stat info {};
    if (::fstat(lock, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = std::string("its ") + path + " is not a lock file";
        return false;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        why = errno == EWOULDBLOCK
                  ? std::string("it is booted already")
                  : std::string("its ") + path + " cannot be locked: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Whether the signal ends the process (as far as can be told beforehand): not one that stops,
// continues or is ignored by default, nor one the process ignores.
bool endsProcess(pid_t pid, int signal) {
    if (signal < 1 || signal > 64)
        return false;
    for (int harmless : {0, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGCHLD, SIGURG, SIGWINCH})
        if (signal == harmless)
            return false;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigIgn:", 0) == 0)
            return !((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1);
    return true;
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
    if (!takeLock(m_lock, error)) {
        error = "cannot boot the device at " + m_options.root + ": " + error;
        return false;
    }
    // `zorvi shutdown` asks here.
    m_control = std::make_unique<ControlServer>([this](const std::string& line) { return control(line); });
    if (std::string why; !m_control->listen("boot", why)) {
        NSLog("launchd: the device cannot be shut down from outside: " + why);
        m_control.reset();
    }
    if (!m_wake.watchRoot(m_options.root))
        NSLog("launchd: the device's folder cannot be watched: its deletion will not shut the device down");
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
        // Each serves its control socket while it runs: the device can be driven from outside.
        words.insert(words.end(), {"--root", m_options.root, "--control"});
        if (m_options.headless)
            words.insert(words.end(), {"--headless", "--script", "-", "--acknowledge-lines"});
        if (m_options.headless && m_options.served)
            words.push_back("--real-time");
        if (child.name == "springboard" && child.safeMode)
            words.insert(words.end(), {"--safe-mode", child.safeMode->empty() ? "-" : *child.safeMode});
        if (child.name == "settings" && child.started)
            words.push_back("--reopen-pages");
    }
    child.started = true;
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
        // Only the supervisor's ends: the process reads and writes its own as it always does.
        ::fcntl(child.input, F_SETFL, O_NONBLOCK);
        ::fcntl(child.output, F_SETFL, O_NONBLOCK);
    }
    child.pid = pid;
    child.pidfd = pid > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1;
    child.expectedEnd = false;
    child.ending = false;
    child.gaveUp = false;
    child.pending.clear();
    child.queued.clear();
    child.written = child.taken = 0;
    child.linesSent = 0;
    child.unrun.clear();
    child.closeInput = false;
    child.stalled = false;
    child.lastSign = Clock::now();
    child.events.push_back("start");
    m_trace.write("start", Json::Object()
                               .add("process", Json::string(child.name))
                               .add("pid", Json::number(pid))
                               .add("safeMode", child.safeMode ? Json::boolean(true) : Json::boolean(false)));
}

Supervisor::Child* Supervisor::find(const std::string& name) {
    auto it = m_children.find(name);
    return it == m_children.end() ? nullptr : &it->second;
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

bool Supervisor::keepsFailing(Child& child, int status) {
    child.failures.push_back(Clock::now());
    while (child.failures.size() > failuresForGivingUp)
        child.failures.pop_front();
    if (child.failures.size() < failuresForGivingUp || Clock::now() - child.failures.front() >= failureWindow)
        return false;
    std::string message = child.name + " keeps failing (status " + std::to_string(WEXITSTATUS(status)) +
                          "); not starting it again";
    NSLog("launchd: " + message);
    // A device that runs on without one of its processes did not do what was asked of it.
    fail(message);
    child.gaveUp = true;
    return true;
}

void Supervisor::exited(Child& child, int status) {
    bool crashed = WIFSIGNALED(status) && !child.expectedEnd;
    bool failed = WIFEXITED(status) && WEXITSTATUS(status) != 0 && !child.expectedEnd;
    exitedQuietly(child, status);
    if (m_stopping)
        return;
    if (child.name == "backboardd") {
        // One that cannot even start (its program missing) must not end the lock screen for ever.
        if (failed && keepsFailing(child, status))
            return;
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
        // A Respring is also how a person retries a lock screen that kept failing.
        if (Child* springboard = find("springboard")) {
            springboard->failures.clear();
            start(*springboard);
        }
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
    } else if (failed) {
        // A process that failed is started again, unless it keeps failing at once.
        if (keepsFailing(child, status))
            return;
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
    ::kill(child.pid, SIGCONT); // a stopped process takes its SIGTERM only once it runs
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
    // Ended by something other than the script's own kill or an interruption, with commands it
    // never ran: the script did not do what it says, however its other lines went.
    if (!child.unrun.empty() && !child.ending && !m_interrupted)
        fail(child.name + " ended before it finished " + std::to_string(child.unrun.size()) +
             (child.unrun.size() == 1 ? " command" : " commands") +
             " sent to it (the first: " + child.unrun.front().second + ")");
    child.unrun.clear();
    Json::Object fields;
    fields.add("process", Json::string(child.name)).add("pid", Json::number(child.pid));
    if (WIFSIGNALED(status))
        fields.add("signal", Json::number(WTERMSIG(status)));
    else
        fields.add("status", Json::number(WEXITSTATUS(status)));
    m_trace.write("exit", fields);
    // What the process wrote and no wait took goes with it.
    child.events.clear();
    child.events.push_back("exit");
    child.pid = -1;
    if (child.pidfd >= 0)
        ::close(child.pidfd);
    child.pidfd = -1;
    if (child.input >= 0)
        ::close(child.input);
    if (child.output >= 0)
        ::close(child.output);
    child.input = child.output = -1;
    child.queued.clear();
}

void Supervisor::checkRoot() {
    std::error_code failure;
    if (std::filesystem::is_directory(m_options.root + "/System", failure))
        return;
    // Its folder deleted under it, the device cannot go on: it shuts down rather than restart
    // processes that would find nothing.
    fail("the device's folder is gone; shutting down");
    m_stopping = true;
}

void Supervisor::fail(const std::string& message) {
    ++m_errors;
    m_trace.write(
        "error",
        Json::Object().add("process", Json::string("supervisor")).add("message", Json::string(message)));
}

bool Supervisor::kill(const std::string& process, int signal) {
    Child* child = find(process);
    if (!child || child->pid <= 0)
        return false;
    // What it wrote before the signal is the old process's: a wait is for the one that follows.
    bool ends = endsProcess(child->pid, signal);
    if (::kill(child->pid, signal) != 0)
        return false;
    if (ends) {
        std::vector<Child*> going{child};
        // The lock screen goes with backboardd.
        if (process == "backboardd")
            if (Child* springboard = find("springboard"))
                going.push_back(springboard);
        for (Child* one : going) {
            one->ending = true;
            one->events.clear();
        }
    }
    return true;
}

void Supervisor::shutdown() {
    m_stopping = true;
    finishScripts();
    // The lock screen first, then the rest.
    for (const char* name : {"springboard", "settings", "backboardd"})
        if (Child* child = find(name))
            endChild(*child);
}
