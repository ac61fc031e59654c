#include "tools/picturetest/TraceErrors.h"

#include <fstream>

namespace {

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool hex4(const std::string& text, size_t at, unsigned& value) {
    if (at + 4 > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

} // namespace

std::string traceField(const std::string& line, const std::string& key) {
    std::string opening = "\"" + key + "\":\"";
    size_t at = line.find(opening);
    if (at == std::string::npos)
        return "";
    std::string value;
    for (size_t i = at + opening.size(); i < line.size(); ++i) {
        char c = line[i];
        if (c == '"')
            break;
        if (c != '\\' || i + 1 >= line.size()) {
            value += c;
            continue;
        }
        char escaped = line[++i];
        switch (escaped) {
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case 'b':
            value += '\b';
            break;
        case 'f':
            value += '\f';
            break;
        case 'u': {
            unsigned code = 0, low = 0;
            if (!hex4(line, i + 1, code))
                break;
            i += 4;
            // A pair of surrogates is one character beyond the first plane.
            if (code >= 0xD800 && code < 0xDC00 && line.compare(i + 1, 2, "\\u") == 0 &&
                hex4(line, i + 3, low) && low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            appendUtf8(value, code);
            break;
        }
        default:
            value += escaped;
        }
    }
    return value;
}

std::vector<std::string> traceErrors(const std::string& tracePath, size_t most) {
    std::vector<std::string> errors;
    std::ifstream trace(tracePath);
    std::string line;
    while (errors.size() < most && std::getline(trace, line)) {
        if (line.rfind("{\"event\":\"error\"", 0) != 0)
            continue;
        std::string process = traceField(line, "process");
        errors.push_back((process.empty() ? "" : process + ": ") + traceField(line, "message"));
    }
    return errors;
}
