#pragma once

// The processes a parent has now, read from the kernel's table: what the tests and benchmarks of a
// booted device use to find its processes (a supervisor's "zv-springboard", "zv-settings").

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

// The sum over the process's threads of what `count` reads from each one's folder under /proc.
template <typename Count> long sumOverThreads(pid_t pid, Count count) {
    long total = 0;
    std::error_code failed;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", failed))
        total += count(task.path());
    return total;
}

// How many times the process's threads have been put on a processor so far, from the scheduler's
// own counts: a process that sleeps adds next to none.
inline long schedulerRuns(pid_t pid) {
    return sumOverThreads(pid, [](const std::filesystem::path& task) {
        std::ifstream schedstat(task / "schedstat");
        long running = 0, waiting = 0, count = 0;
        return schedstat >> running >> waiting >> count ? count : 0L;
    });
}

// The fewest runs of the process in one second, over up to five seconds. A process that wakes for
// every refresh runs about 60 times in each; one that sleeps runs a few times at most in some
// second, though a loaded machine may preempt what it still finishes after starting.
inline long fewestRunsInASecond(pid_t pid) {
    long fewest = -1;
    for (int second = 0; second < 5 && (fewest < 0 || fewest > 5); ++second) {
        long before = schedulerRuns(pid);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        long ran = schedulerRuns(pid) - before;
        fewest = fewest < 0 ? ran : std::min(fewest, ran);
    }
    return fewest;
}

// The process's runs a second, on average over some seconds: one slow second of a loaded machine
// does not make a process that wakes for every refresh look asleep.
inline double meanRunsInASecond(pid_t pid, int seconds = 3) {
    long before = schedulerRuns(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return static_cast<double>(schedulerRuns(pid) - before) / seconds;
}

// How many times the process's threads have gone to sleep of their own accord (to wait for a timer,
// a descriptor or a reply) so far; unlike the scheduler's runs, a loaded machine's preemptions do not
// count.
inline long voluntarySleeps(pid_t pid) {
    return sumOverThreads(pid, [](const std::filesystem::path& task) {
        std::ifstream status(task / "status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                return std::atol(line.c_str() + line.find(':') + 1);
        return 0L;
    });
}

// Each child of parent with the program name the kernel gives it.
inline std::vector<std::pair<pid_t, std::string>> childrenOf(pid_t parent) {
    std::vector<std::pair<pid_t, std::string>> found;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", failed)) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        // "PID (NAME) STATE PPID ...": the name may hold blanks and parentheses, so the last ')' ends it.
        size_t open = text.find('('), close = text.rfind(')');
        if (open != std::string::npos && close != std::string::npos && close + 4 < text.size() &&
            std::atoi(text.c_str() + close + 4) == parent)
            found.emplace_back(std::stoi(name), text.substr(open + 1, close - open - 1));
    }
    return found;
}

// What a process and each of its children are doing now, a line each ("PID NAME: STATE in WCHAN"):
// what a test prints about a run that outlasted its limit, so that the run says where it stood.
inline std::string whereEachWaits(pid_t pid) {
    auto line = [](pid_t process, const std::string& name) {
        std::string base = "/proc/" + std::to_string(process);
        std::ifstream stat(base + "/stat"), wchan(base + "/wchan");
        std::string text, channel;
        std::getline(stat, text);
        std::getline(wchan, channel);
        size_t close = text.rfind(')');
        char state = close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
        return std::to_string(process) + " " + name + ": " + state + " in " +
               (channel.empty() || channel == "0" ? "user code" : channel) + "\n";
    };
    std::string text = line(pid, "(the run)");
    for (const auto& [child, name] : childrenOf(pid))
        text += line(child, name);
    return text;
}
