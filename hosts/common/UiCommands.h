#pragma once

// The commands a tool drives a running host's screen with, besides the host's script lines: they
// name what a person sees and does rather than the host's objects.
//
//   ui describe [text]                 the screen's elements: a `describe` event {process, elements}
//                                      (or {process, text}: an indented tree)
//   ui tap X Y | tap-label TEXT | tap-id ID
//                                      a finger's tap at a point (screen points), or on the middle
//                                      of the element with that label or id
//   ui swipe X1 Y1 X2 Y2 [MS]          a finger down at one point, moving to the other over MS
//                                      (default 300) one refresh a step, and up
//   ui text TEXT                       types the text, a key a character
//   ui key NAME                        return, escape, backspace, space, tab or one character
//   ui wait-label MS TEXT              waits (real time, at most MS) until an element shows TEXT
//   ui wait-event NAME MS              waits (real time, at most MS) until the line has written
//                                      that event
//
// Input goes through the same client a window gives its pointer and keys to.

#include "hosts/common/ScriptReader.h"
#include "hosts/common/ScriptedHost.h"
#include "hosts/common/Trace.h"
#include "hosts/common/Window.h"

#include <optional>
#include <string>
#include <vector>

class UiCommands {
public:
    // events: the events written since the line began (kept by whoever diverts the trace).
    UiCommands(std::string process, ScriptedHost& host, WindowClient& input, Trace& trace,
               const std::vector<std::string>& events)
        : m_process(std::move(process)), m_host(host), m_input(input), m_trace(trace), m_events(events) {}

    // nullopt when the line is not one of these; false with error set when it could not run.
    std::optional<bool> run(const ScriptLine& line, std::string& error);

private:
    bool describe(const std::vector<std::string>& w, std::string& error);
    bool tapLabel(const std::string& label, std::string& error);
    bool tapId(const std::string& id, std::string& error);
    bool swipe(CGPoint from, CGPoint to, double milliseconds);
    bool key(const std::string& name, std::string& error);
    bool waitLabel(double milliseconds, const std::string& label, std::string& error);
    bool waitEvent(const std::string& event, double milliseconds, std::string& error);
    void tap(CGPoint point);

    std::string m_process;
    ScriptedHost& m_host;
    WindowClient& m_input;
    Trace& m_trace;
    const std::vector<std::string>& m_events;
};
