#pragma once

// Runs a host script against the lock-screen process: each line is one command; a line that
// cannot be run writes an "error" event and the run goes on.

#include "hosts/common/ScriptReader.h"
#include "hosts/springboard/SpringBoard.h"

#include <istream>

class ScriptRunner {
public:
    ScriptRunner(SpringBoard& host, Trace& trace) : m_host(host), m_trace(trace) {}
    void run(std::istream& script);
    // Runs one line; false (with the error traced) when it could not be run.
    bool runLine(const ScriptLine& line);

    static constexpr int defaultDragSteps = 10;

private:
    bool fail(const ScriptLine& line, const std::string& message);

    SpringBoard& m_host;
    Trace& m_trace;
};
