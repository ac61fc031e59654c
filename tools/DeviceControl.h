#pragma once

// A client of a booted device's processes: sends them command lines over their control sockets
// (hosts/common/ControlSocket.h) and reads the replies: the events each line wrote, then its end.

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ControlReply {
    std::vector<std::string> events; // trace lines, without the end marker
    bool ran = false;                // the end marker's status was 0
    // The messages of the reply's error events, without the line number the host gives them.
    std::vector<std::string> errors() const;
};

// The processes a booted device serves.
const std::vector<std::string>& controlledProcesses();
// PROCESS on a command: checked when the command runs (knownProcess), so that "zorvi ui PROCESS
// describe --help" is help.
void addProcessOperand(CLI::App& command, std::string& process);
// False, after a usage error, when it names no process a device serves.
bool knownProcess(const std::string& process, const CLI::App& command);

// Makes root (the default device when empty) the current device; false after saying why (with
// "the device is not booted" when it is not).
bool selectBootedDevice(const std::string& root, const CLI::App& command);

// A verb on a process of the booted device: the process is checked (2 when it is none a device
// serves) and the device found booted (1 when not) before verb runs on words (which hold `root`
// and `process`).
template <typename Words, typename Verb>
std::function<int(const CLI::App&)> onBootedProcess(std::shared_ptr<Words> words, Verb verb) {
    return [words, verb](const CLI::App& command) {
        if (!knownProcess(words->process, command))
            return 2;
        if (!selectBootedDevice(words->root, command))
            return 1;
        return verb(*words, command);
    };
}

// False, after a usage error, when the words would make more than one line: the process would run
// the rest as lines of their own, whose replies nobody reads.
bool singleLine(const std::string& line, const CLI::App& command);

// Runs one line on a process of the current device; false with error set when the line holds a
// line break, or the process could not be reached or went away before it answered.
bool sendControlLine(const std::string& process, const std::string& line, ControlReply& reply,
                     std::string& error);

// Runs the line and says what went wrong on stderr: 0 when it ran, 1 when it did not (or the
// process could not be reached), 2 when it holds a line break. The reply is left for the caller to
// print.
int runControlLine(const CLI::App& command, const std::string& process, const std::string& line,
                   ControlReply& reply);
