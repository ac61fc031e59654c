#include "tools/DevBuild.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Enough for a page of errors; a build that prints more keeps its first part, where they start.
constexpr size_t maxOutput = 1 << 20;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool saysError(const std::string& line) {
    return line.find("error:") != std::string::npos || line.find("Error:") != std::string::npos ||
           line.find("undefined reference") != std::string::npos;
}

} // namespace

std::vector<std::string> productTargets(const std::set<std::string>& changed) {
    auto allUnder = [&](const char* folder) {
        return !changed.empty() &&
               std::all_of(changed.begin(), changed.end(),
                           [folder](const std::string& path) { return path.starts_with(folder); });
    };
    // Each target asked of make costs a walk of its dependencies even when nothing is to be done.
    if (allUnder("tweak/"))
        return {"Zorvi"};
    if (allUnder("zorvipref/"))
        return {"zorvipref"};
    return {"Zorvi", "zorvipref"};
}

std::string buildTreeSource(const std::string& build) {
    std::ifstream cache(build + "/CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(cache, line);)
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size());
    return {};
}

BuildOutcome buildTargets(const std::string& build, const std::vector<std::string>& targets, int interrupt) {
    BuildOutcome outcome;
    auto started = std::chrono::steady_clock::now();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        outcome.output = "cannot make a pipe for the build";
        return outcome;
    }
    std::vector<std::string> words{"cmake",
                                   "--build",
                                   build,
                                   "--parallel",
                                   std::to_string(std::max(1u, std::thread::hardware_concurrency())),
                                   "--target"};
    words.insert(words.end(), targets.begin(), targets.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "cmake", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        outcome.output = "cannot run cmake: " + std::string(std::strerror(spawned));
        return outcome;
    }
    char buffer[65536];
    for (;;) {
        pollfd ready[2] = {{ends[0], POLLIN, 0}, {interrupt, POLLIN, 0}};
        if (::poll(ready, interrupt >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (interrupt >= 0 && (ready[1].revents & POLLIN)) {
            // The whole build, compilers and all: nothing of it is left behind.
            ::kill(-pid, SIGTERM);
            outcome.interrupted = true;
            break;
        }
        ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (outcome.output.size() < maxOutput)
            outcome.output.append(buffer, static_cast<size_t>(got));
    }
    ::close(ends[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (outcome.interrupted)
        ::kill(-pid, SIGKILL); // whatever of the group ignored its SIGTERM
    outcome.built = !outcome.interrupted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return outcome;
}

std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>>
sharedLibraries(const std::string& build) {
    std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> found;
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator(build + "/lib", failure)) {
        std::string name = entry.path().filename().string();
        if (!name.ends_with(".so") || !entry.is_regular_file(failure))
            continue;
        found[name] = {entry.file_size(failure), entry.last_write_time(failure)};
    }
    return found;
}

std::vector<std::string> firstErrors(const std::string& output, size_t count) {
    std::vector<std::string> all = lines(output), found;
    for (const std::string& line : all)
        if (saysError(line) && found.size() < count)
            found.push_back(line);
    if (found.empty())
        for (size_t i = all.size() > count ? all.size() - count : 0; i < all.size(); ++i)
            found.push_back(all[i]);
    return found;
}
