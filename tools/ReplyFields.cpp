#include "tools/ReplyFields.h"

#include <cstdlib>

namespace {

size_t skipBlanks(const std::string& s, size_t at) {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r'))
        ++at;
    return at;
}

// The end of the JSON string starting at `at` (its opening quote); npos when it does not end.
size_t stringEnd(const std::string& s, size_t at) {
    for (size_t i = at + 1; i < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '"')
            return i + 1;
    }
    return std::string::npos;
}

// The end of the JSON value starting at `at`.
size_t valueEnd(const std::string& s, size_t at) {
    if (at >= s.size())
        return std::string::npos;
    if (s[at] == '"')
        return stringEnd(s, at);
    if (s[at] != '{' && s[at] != '[') {
        size_t end = at;
        while (end < s.size() && s[end] != ',' && s[end] != '}' && s[end] != ']')
            ++end;
        return end;
    }
    int depth = 0;
    for (size_t i = at; i < s.size(); ++i) {
        if (s[i] == '"') {
            i = stringEnd(s, i);
            if (i == std::string::npos)
                return i;
            --i;
        } else if (s[i] == '{' || s[i] == '[') {
            ++depth;
        } else if ((s[i] == '}' || s[i] == ']') && --depth == 0) {
            return i + 1;
        }
    }
    return std::string::npos;
}

void appendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

namespace ReplyFields {

std::optional<std::string> raw(const std::string& line, const std::string& key) {
    size_t at = skipBlanks(line, 0);
    if (at >= line.size() || line[at] != '{')
        return std::nullopt;
    at = skipBlanks(line, at + 1);
    while (at < line.size() && line[at] == '"') {
        size_t nameEnd = stringEnd(line, at);
        if (nameEnd == std::string::npos)
            return std::nullopt;
        std::string name = line.substr(at + 1, nameEnd - at - 2);
        at = skipBlanks(line, nameEnd);
        if (at >= line.size() || line[at] != ':')
            return std::nullopt;
        at = skipBlanks(line, at + 1);
        size_t end = valueEnd(line, at);
        if (end == std::string::npos)
            return std::nullopt;
        if (name == key)
            return line.substr(at, end - at);
        at = skipBlanks(line, end);
        if (at < line.size() && line[at] == ',')
            at = skipBlanks(line, at + 1);
    }
    return std::nullopt;
}

std::optional<std::string> text(const std::string& line, const std::string& key) {
    auto value = raw(line, key);
    if (!value || value->size() < 2 || value->front() != '"')
        return std::nullopt;
    std::string out;
    for (size_t i = 1; i + 1 < value->size(); ++i) {
        char c = (*value)[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        char e = (*value)[++i];
        switch (e) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'u': {
            unsigned long code = std::strtoul(value->substr(i + 1, 4).c_str(), nullptr, 16);
            i += 4;
            // A surrogate pair makes one character.
            if (code >= 0xD800 && code < 0xDC00 && value->compare(i + 1, 2, "\\u") == 0) {
                unsigned long low = std::strtoul(value->substr(i + 3, 4).c_str(), nullptr, 16);
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            appendUtf8(out, code);
            break;
        }
        default:
            out += e;
            break;
        }
    }
    return out;
}

} // namespace ReplyFields
