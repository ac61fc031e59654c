#pragma once

// Runs a shell command with its output and errors together, bounded in time (a hang is a failure,
// not a stuck suite): its exit status (124 when it timed out), the output appended to output.

#include <cstdio>
#include <string>
#include <sys/wait.h>

inline int runCommand(const std::string& command, std::string& output, int seconds = 20) {
    FILE* out = ::popen(("timeout " + std::to_string(seconds) + " " + command + " 2>&1").c_str(), "r");
    if (!out)
        return -1;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0)
        output.append(buffer, got);
    int status = ::pclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
