#pragma once

// Runs a host script: each line is one command. A host answers its own commands; the commands
// every host has (tick, wait, pause, snapshot, state, render) are answered here. A line that
// cannot be run writes an "error" event and the run goes on.

#include "hosts/common/ScriptReader.h"
#include "hosts/common/ScriptedHost.h"
#include "hosts/common/Trace.h"

#include <functional>
#include <istream>
#include <optional>
#include <string>

class HostScript {
public:
    HostScript(ScriptedHost& host, Trace& trace) : m_host(host), m_trace(trace) {}
    virtual ~HostScript() = default;

    // Runs every line (a recording still going at the end is completed); answers the exit status:
    // 0, 1 when a line could not be run, 130 when interrupted.
    int run(std::istream& script);
    // Runs one line; false (with the error traced) when it could not be run. A line that is not
    // counted (one a control client sent) leaves the run's exit status alone.
    bool runLine(const ScriptLine& line, bool counted = true);
    int errors() const { return m_errors; }
    // Whether a line is running now (a wait in real time inside it serves other work meanwhile).
    bool running() const { return m_depth > 0; }
    // Commands added to the host's own (a control client's): nullopt when the line is not one of
    // them, false with the error set when it could not run.
    using Commands = std::function<std::optional<bool>(const ScriptLine& line, std::string& error)>;
    void addCommands(Commands commands) { m_added = std::move(commands); }
    // Called after each line, once nothing runs.
    void setBetweenLines(std::function<void()> hook) { m_betweenLines = std::move(hook); }
    // Writes a "ran" event {line} after each line of run()'s script: a supervisor that feeds the
    // script learns which of its lines ran before the process ended.
    void acknowledgeLines() { m_acknowledge = true; }
    // Starts a recording (as `record start`); false with an "error" event when it cannot.
    bool startRecording(const std::string& path, int fps = 30);
    // Completes a recording that is going, with its "record" event (or an "error" one).
    void finishRecording();

protected:
    // The host's own commands: nullopt when the line is not one of them, else whether it ran.
    virtual std::optional<bool> runOwnLine(const ScriptLine& line) = 0;
    // After every line (a host may deliver what the line caused).
    virtual void afterLine() {}
    bool fail(const ScriptLine& line, const std::string& message);
    Trace& trace() { return m_trace; }

private:
    bool runCommonLine(const ScriptLine& line);
    bool runRecordLine(const ScriptLine& line);
    bool failWith(const std::string& message);

    ScriptedHost& m_host;
    Trace& m_trace;
    int m_errors = 0;
    int m_depth = 0;
    bool m_counted = true;
    bool m_acknowledge = false;
    std::function<void()> m_betweenLines;
    Commands m_added;
};
