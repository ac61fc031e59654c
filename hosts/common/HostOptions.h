#pragma once

// A host's command line, read (HostCommandLine.h) and checked before anything starts: the device
// root must hold a device and the script must be readable. --help prints the usage.

#include "hosts/common/HostCommandLine.h"

#include <fstream>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

class HostOptions {
public:
    explicit HostOptions(HostKind kind) : m_kind(kind) {}

    // Answers -1 to go on, or the status to exit with (0 after --help, 2 for a bad command line,
    // 1 for a missing device or script).
    int parse(int argc, char** argv);
    // Opens the trace the options name; -1 to go on, else the status to exit with (the message
    // printed).
    int openTrace(class Trace& trace) const;
    // The status to exit with once the host has run: a trace that lost lines makes a run that
    // would have ended with 0 end with 1 (the message printed).
    int finish(class Trace& trace, int status) const;

    // A drawing host's whole main: its command line, the fonts set up (on other threads, while the
    // device's files are read), its trace, then run, and the status finish gives.
    static int runDrawingHost(int argc, char** argv, HostKind kind, int (*run)(HostOptions&, class Trace&));
    // Prints "zorvi COMMAND: message" and answers 1.
    int failure(const std::string& message) const;

    HostArguments arguments; // the root is the default device's when none was given
    // The script to run, or nullptr when none was given. A process that serves its control socket
    // reads a script from standard input while its run loop serves (RunLoopInput.h).
    std::istream* script() { return m_script; }

private:
    HostKind m_kind;
    std::ifstream m_scriptFile;
    std::unique_ptr<std::streambuf> m_waitingInput;
    std::unique_ptr<std::istream> m_waitingScript;
    std::istream* m_script = nullptr;
};
