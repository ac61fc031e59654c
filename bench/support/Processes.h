#pragma once

// What the benchmarks of the device's processes share: starting a program, timing and reading its
// trace, its CPU time, and a virtual display for its window.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

using Clock = std::chrono::steady_clock;

// A device made for one benchmark program (with `zorvi device create`, on the given screen or the
// default one), removed at the end.
struct Device {
    std::string folder;
    std::string root;
    Device(const std::string& zorvi, const std::string& screen = "") {
        char pattern[] = "/tmp/zorvi-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        root = folder + "/device";
        std::string command = zorvi + " device create --root " + root +
                              (screen.empty() ? "" : " --screen " + screen) + " > /dev/null";
        if (std::system(command.c_str()) != 0)
            std::abort();
    }
    ~Device() { std::filesystem::remove_all(folder); }
    std::string file(const std::string& name, const std::string& text) const {
        std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
};

// Starts the program with its standard output on outputFd and its errors discarded. A process that
// cannot be started ends the benchmark (what it would be measured on is not there). posix_spawn
// copies nothing of the benchmark's memory, so start-up timings are the started program's own.
inline pid_t spawn(const std::vector<std::string>& words, int outputFd,
                   const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<char*> argv;
    for (const auto& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.push_back(*e);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int failure = posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    // A pid of -1 handed on would make the benchmark's kill() signal every process it may signal.
    if (failure != 0 || pid <= 0) {
        std::fprintf(stderr, "bench: cannot start %s: %s\n", words[0].c_str(), std::strerror(failure));
        std::abort();
    }
    return pid;
}

inline double median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Reads the child's trace until a line containing `marker`; answers when it arrived.
inline bool waitForLine(int fd, const std::string& marker) {
    std::string seen;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        seen.append(buffer, static_cast<size_t>(got));
        if (seen.find(marker) != std::string::npos)
            return true;
    }
    return false;
}

// CPU seconds (user + system) a process has used so far, from the clock-tick accounting.
inline double tickedCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) // the process ended meanwhile
        return 0;
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (fields.size() < 13)
        return 0;
    double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds (user + system) a process has used so far: the scheduler's own count for each of its
// threads, in nanoseconds, where the system keeps one; otherwise the accounting in clock ticks,
// which charges whole ticks to whatever runs when one falls (coarse for a process that runs in short
// bursts, as a window does).
inline double cpuSeconds(pid_t pid) {
    std::error_code failed;
    double precise = 0;
    bool found = false;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", failed)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            precise += nanoseconds / 1e9;
            found = true;
        }
    }
    if (found && !failed)
        return precise;
    return tickedCpuSeconds(pid);
}

// The fractions of one core each process uses over the same `seconds` of wall time.
inline std::vector<double> cpuFractionsOver(const std::vector<pid_t>& pids, double seconds) {
    std::vector<double> before;
    for (pid_t pid : pids)
        before.push_back(cpuSeconds(pid));
    auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    std::vector<double> fractions;
    for (size_t i = 0; i < pids.size(); ++i)
        fractions.push_back((cpuSeconds(pids[i]) - before[i]) / wall);
    return fractions;
}

// The fraction of one core the process uses over the next `seconds` of wall time.
inline double cpuFractionOver(pid_t pid, double seconds) {
    return cpuFractionsOver({pid}, seconds)[0];
}

// A process that does nothing but wake `perSecond` times a second, as a window's loop does for its
// display's refreshes: what waking alone costs this machine (the kernel's timer, the switch in and
// out), the floor under any window that animates. End it with SIGKILL; it also ends when the
// benchmark does, however that ends. -1 when no process could be made.
inline pid_t startWakeLoop(int perSecond) {
    pid_t parent = ::getpid();
    pid_t child = ::fork();
    if (child != 0)
        return child < 0 ? -1 : child;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(0);
    const long interval = 1000000000L / perSecond;
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        next.tv_nsec += interval;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

// A process's fraction of a core beside that of a loop waking 60 times a second, over the same
// seconds: how many times what waking alone costs this machine the process costs.
struct BesideWakeLoop {
    double fraction = 0;
    double wakeLoop = 0;
    double ratio() const { return wakeLoop > 0 ? fraction / wakeLoop : 0; }
};

// Without the loop (no process could be made) its figure, and the ratio, read 0.
inline BesideWakeLoop cpuFractionBesideWakeLoop(pid_t pid, double seconds) {
    pid_t loop = startWakeLoop(60);
    if (loop < 0)
        return {cpuFractionOver(pid, seconds), 0};
    std::vector<double> fractions = cpuFractionsOver({pid, loop}, seconds);
    ::kill(loop, SIGKILL);
    ::waitpid(loop, nullptr, 0);
    return {fractions[0], fractions[1]};
}

// A virtual display for the duration of a benchmark.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        display = ":" + std::to_string(90 + getpid() % 9);
        int null = ::open("/dev/null", O_WRONLY);
        pid = spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, null);
        close(null);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    ~Xvfb() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

} // namespace bench
