#pragma once

// Programs a test runs beside itself, several at once: started without waiting, and waited for
// whichever ends first.

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct ChildCommand {
    std::string program;
    std::vector<std::string> arguments;
    // Its working folder (empty: this process's).
    std::string folder;
    // Where its standard output and errors go (empty: nowhere). Its input is empty.
    std::string output;
    // Runs in the new process before the program starts (it may take a while, beside the others);
    // a message it answers goes to the output and the process ends with status 127.
    std::function<std::string()> prepare;
    // Seconds it may take in all, its preparing included (0: no limit); past them it is ended by
    // SIGALRM, so that a stuck program cannot hold up the whole run.
    unsigned timeLimit = 0;
};

// The new process, or -1 with error set.
pid_t startChild(const ChildCommand& command, std::string& error);

struct ChildEnd {
    pid_t pid = -1;
    // Its exit status, or 128 + the signal that ended it.
    int status = 0;
    int signal = 0;
};

// Waits for any child of this process to end; nullopt when there is none, or when a signal
// interrupted the wait and giveUp says to stop waiting.
std::optional<ChildEnd> waitForChild(const std::function<bool()>& giveUp = {});

// A program beside this one (the device's programs and zorvi itself are built together).
std::string programBeside(const std::string& name);
