#pragma once

// A host's control endpoint: lines a client sends over the host's control socket run on the main
// thread, between frames and between script lines, in the order they came, exactly as script lines
// of the host (plus the `ui` commands, UiCommands.h). The reply to a line is the trace events it
// wrote, one JSON object a line, then {"event":"end","status":0} (1 when the line could not run).
// Those events go to the client, not to the host's own trace.

#include "hosts/common/ControlServer.h"
#include "hosts/common/HostScript.h"
#include "hosts/common/UiCommands.h"

#include <string>
#include <vector>

class HostControl {
public:
    // process: the name it serves under ("springboard"); input: what a window gives its pointer
    // and keys to.
    HostControl(std::string process, ScriptedHost& host, HostScript& script, Trace& trace,
                WindowClient& input);
    ~HostControl();
    HostControl(const HostControl&) = delete;
    HostControl& operator=(const HostControl&) = delete;

    // Listens and joins the main run loop; false with error set.
    bool start(std::string& error);

private:
    std::string run(const std::string& text);

    std::string m_process;
    ScriptedHost& m_host;
    HostScript& m_script;
    Trace& m_trace;
    std::vector<std::string> m_events; // written by the line that runs
    UiCommands m_ui;
    ControlServer m_server;
    int m_lines = 0;
    bool m_started = false;
};
