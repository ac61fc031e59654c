#pragma once

// The command line every host takes: [--root DIR] [--headless] [--script FILE|-] [--trace FILE]
// [--record FILE],
// plus options of the host's own that may be repeated (such as --with-class NAME). --help prints
// the usage. The device root must hold a device, and the script must be readable, before anything
// starts.

#include <fstream>
#include <istream>
#include <map>
#include <string>
#include <vector>

class HostOptions {
public:
    // command: the zorvi subcommand's name ("settings"); extraUsage: the host's own options.
    HostOptions(std::string command, std::string extraUsage)
        : m_command(std::move(command)), m_extraUsage(std::move(extraUsage)) {}

    // Answers -1 to go on, or the status to exit with (0 after --help, 2 for a bad command line,
    // 1 for a missing device or script). repeated: the host's own options, each taking a value.
    int parse(int argc, char** argv, const std::vector<std::string>& repeated);
    // Opens the trace the options name; -1 to go on, else the status to exit with (the message
    // printed).
    int openTrace(class Trace& trace) const;
    // Prints "zorvi COMMAND: message" and answers 1.
    int failure(const std::string& message) const;

    std::string root;
    bool headless = false;
    std::string tracePath;
    // A recording of the whole run (the script's, or the window's until it closes).
    std::string recordPath;
    std::map<std::string, std::vector<std::string>> values; // the host's own options
    // The script to run, or nullptr when none was given.
    std::istream* script() { return m_script; }

private:
    int usage(const std::string& message) const;

    std::string m_command;
    std::string m_extraUsage;
    std::ifstream m_scriptFile;
    std::istream* m_script = nullptr;
};
