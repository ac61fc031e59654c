#include "hosts/common/Trace.h"

#include <cerrno>
#include <cstring>

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
    std::fputs(line.c_str(), m_file);
    std::fflush(m_file);
}

void Trace::writeLine(const std::string& line) {
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}
