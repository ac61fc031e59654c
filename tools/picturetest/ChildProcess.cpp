#include "tools/picturetest/ChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

pid_t startChild(const ChildCommand& command, std::string& error) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(command.program.c_str()));
    for (const std::string& argument : command.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start ") + command.program + ": " + std::strerror(errno);
        return -1;
    }
    if (child != 0)
        return child;

    int input = ::open("/dev/null", O_RDONLY);
    int output = command.output.empty() ? ::open("/dev/null", O_WRONLY)
                                        : ::open(command.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || ::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0)
        ::_exit(127);
    // The alarm outlives exec: the program itself is held to the limit.
    if (command.timeLimit)
        ::alarm(command.timeLimit);
    if (!command.folder.empty() && ::chdir(command.folder.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter %s: %s\n", command.folder.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    if (command.prepare) {
        std::string failure = command.prepare();
        if (!failure.empty()) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            ::_exit(127);
        }
    }
    ::execv(command.program.c_str(), argv.data());
    std::fprintf(stderr, "cannot run %s: %s\n", command.program.c_str(), std::strerror(errno));
    ::_exit(127);
}

std::optional<ChildEnd> waitForChild(const std::function<bool()>& giveUp) {
    int status = 0;
    pid_t pid;
    while ((pid = ::waitpid(-1, &status, 0)) < 0 && errno == EINTR) {
        if (giveUp && giveUp())
            return std::nullopt;
    }
    if (pid < 0)
        return std::nullopt;
    ChildEnd end;
    end.pid = pid;
    if (WIFSIGNALED(status)) {
        end.signal = WTERMSIG(status);
        end.status = 128 + end.signal;
    } else {
        end.status = WEXITSTATUS(status);
    }
    return end;
}

std::string programBeside(const std::string& name) {
    std::error_code error;
    return (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / name).string();
}
