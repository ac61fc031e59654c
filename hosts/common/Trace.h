#pragma once

// A host's trace: one JSON object a line, each with "event" first and "t", the clock in
// milliseconds since start, second. Written to standard output or a file, flushed per line.

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

private:
    FILE* m_file = stdout;
    bool m_owned = false;
    std::function<double()> m_clock;
};
