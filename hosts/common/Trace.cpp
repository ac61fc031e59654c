#include "hosts/common/Trace.h"

#include <cerrno>
#include <cstring>
#include <stdio_ext.h>

bool Trace::open(const std::string& path, std::string& error) {
    if (path.empty() || path == "-")
        return true;
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        error = "cannot write the trace to " + path + ": " + std::strerror(errno);
        return false;
    }
    m_file = file;
    m_owned = true;
    m_name = path;
    return true;
}

Trace::~Trace() {
    if (m_owned)
        std::fclose(m_file);
}

void Trace::write(const char* event, const Json::Object& fields) {
    writeRaw(event, fields.done().text());
}

void Trace::writeRaw(const char* event, const std::string& rest) {
    Json::Object head;
    head.add("event", Json::string(event));
    head.add("t", Json::number(m_clock ? m_clock() : 0));
    std::string line = head.done().text();
    if (rest.size() > 2) {
        line.pop_back();
        line += "," + rest.substr(1);
    }
    line += "\n";
    put(line);
}

void Trace::writeLine(const std::string& line) {
    put(line + "\n");
}

void Trace::put(const std::string& line) {
    if (m_sink)
        return m_sink(line);
    if (!m_error.empty())
        return;
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() || std::fflush(m_file) != 0) {
        m_error = "cannot write the trace to " + m_name + ": " + std::strerror(errno);
        // What the buffer still holds would only land later as a torn line.
        ::__fpurge(m_file);
    }
}

bool Trace::finish(std::string& error) {
    if (m_error.empty() && std::fflush(m_file) != 0)
        m_error = "cannot write the trace to " + m_name + ": " + std::strerror(errno);
    error = m_error;
    return m_error.empty();
}
