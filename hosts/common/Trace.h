#pragma once

// A host's trace: one JSON object a line, each with "event" first and "t", the clock in
// milliseconds since start, second. Written to standard output or a file, flushed per line. A line
// that cannot be written (a full disk, /dev/full, a closed pipe) ends the trace: nothing after it is
// written, so that what was written is all of the trace up to that point, and the run must fail.

#include "hosts/common/Json.h"

#include <cstdio>
#include <functional>
#include <string>

class Trace {
public:
    // Writes to stdout when path is empty. Answers false (with a message) when the file cannot be
    // opened.
    bool open(const std::string& path, std::string& error);
    ~Trace();

    // The clock the "t" field reads.
    void setClock(std::function<double()> milliseconds) { m_clock = std::move(milliseconds); }

    // Adds "event" and "t" in front of the fields already in `fields` (which may be empty).
    void write(const char* event, const Json::Object& fields = Json::Object());
    // A line made elsewhere (another process's trace line), written as it is.
    void writeLine(const std::string& line);
    // The same with the fields given as one JSON object's text ("{...}").
    void writeRaw(const char* event, const std::string& object);

    // While set, lines (with their newline) go to the sink instead: what one command line of a
    // control client wrote is its reply, not part of the trace.
    void setSink(std::function<void(const std::string& line)> sink) { m_sink = std::move(sink); }

    // Flushes what is written; answers false, with the message in error, once a line was lost.
    bool finish(std::string& error);

private:
    void put(const std::string& line);

    FILE* m_file = stdout;
    bool m_owned = false;
    std::string m_name = "standard output";
    std::string m_error;
    std::function<double()> m_clock;
    std::function<void(const std::string&)> m_sink;
};
