#pragma once

// Runs a check in a forked child, for what can happen only once per process (loading a library
// whose start-up installs hooks). The check answers "" when all is well, or what went wrong.

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

inline std::string runInChild(const std::function<std::string()>& check) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "pipe failed";
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        std::string problem;
        try {
            problem = check();
        } catch (const std::exception& e) {
            problem = std::string("exception: ") + e.what();
        }
        size_t done = 0;
        while (done < problem.size()) {
            ssize_t wrote = write(pipeEnds[1], problem.data() + done, problem.size() - done);
            if (wrote <= 0)
                break;
            done += static_cast<size_t>(wrote);
        }
        _exit(problem.empty() ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string problem;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        problem.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return "the child process died (signal " + std::to_string(WTERMSIG(status)) + ")" + problem;
    if (WEXITSTATUS(status) != 0 && problem.empty())
        return "the child process failed";
    return problem;
}

// Collects failed expectations inside a child.
class Problems {
public:
    void expect(bool condition, const std::string& what) {
        if (!condition)
            m_text += what + "\n";
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};
