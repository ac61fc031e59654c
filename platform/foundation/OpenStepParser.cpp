#include "platform/foundation/OpenStepParser.h"
#include "platform/foundation/HexDigit.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <vector>

namespace {

bool isBareCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

PropertyList::ParseResult OpenStepParser::parse() {
    if (!skipSpace())
        return {nullptr, m_error};
    if (atEnd())
        return {nullptr, "no property list value"};
    Ref<NSObject> root;
    char first = peek();
    if (first == '"' || first == '\'' || isBareCharacter(first)) {
        // A string, or the first key of a file of bare "key = value;" pairs.
        root = first == '"' || first == '\'' ? parseQuotedString() : parseBareString();
        if (root && skipSpace() && peek() == '=')
            root = parseDictionaryBody(1, '\0', root);
    } else {
        root = parseValue(0);
    }
    if (root && skipSpace() && !atEnd())
        fail("unexpected text after the value");
    if (!m_error.empty())
        return {nullptr, m_error};
    return {root, {}};
}

Ref<NSObject> OpenStepParser::parseValue(int depth) {
    if (!skipSpace())
        return nullptr;
    char c = peek();
    if (atEnd())
        return fail("unexpected end of text");
    if ((c == '{' || c == '(') && depth + 1 > m_maxDepth)
        return fail("nested deeper than " + std::to_string(m_maxDepth) + " levels");
    if (c == '{') {
        ++m_pos;
        return parseDictionaryBody(depth + 1, '}');
    }
    if (c == '(') {
        ++m_pos;
        return parseArray(depth + 1);
    }
    if (c == '"' || c == '\'')
        return parseQuotedString();
    if (c == '<')
        return parseData();
    if (isBareCharacter(c))
        return parseBareString();
    return fail(std::string("unexpected character '") + c + "'");
}

Ref<NSObject> OpenStepParser::parseDictionaryBody(int depth, char closer, Ref<NSObject> firstKey) {
    auto dictionary = NSMutableDictionary::dictionary();
    Ref<NSObject> key = std::move(firstKey);
    for (;;) {
        if (!key) {
            if (!skipSpace())
                return nullptr;
            if (atEnd()) {
                if (closer)
                    return fail("unterminated dictionary");
                break;
            }
            char c = peek();
            if (c == closer) {
                ++m_pos;
                break;
            }
            if (c == '"' || c == '\'')
                key = parseQuotedString();
            else if (isBareCharacter(c))
                key = parseBareString();
            else
                return fail("expected a key");
            if (!key)
                return nullptr;
        }
        if (!skipSpace())
            return nullptr;
        if (peek() != '=')
            return fail("expected '=' after a key");
        ++m_pos;
        Ref<NSObject> value = parseValue(depth);
        if (!value || !skipSpace())
            return nullptr;
        dictionary->setObject(value, *string_value(key));
        key = nullptr;
        if (peek() == ';')
            ++m_pos;
        else if (!(closer ? peek() == closer : atEnd()))
            return fail("expected ';' after a value");
    }
    return dictionary;
}

Ref<NSObject> OpenStepParser::parseArray(int depth) {
    std::vector<Ref<NSObject>> elements;
    if (!skipSpace())
        return nullptr;
    if (peek() == ')') {
        ++m_pos;
        return NSArray::arrayWithObjects({});
    }
    for (;;) {
        Ref<NSObject> value = parseValue(depth);
        if (!value || !skipSpace())
            return nullptr;
        elements.push_back(std::move(value));
        if (peek() == ')') {
            ++m_pos;
            break;
        }
        if (peek() != ',')
            return fail(atEnd() ? "unterminated array" : "expected ',' or ')' in an array");
        ++m_pos;
        if (!skipSpace())
            return nullptr;
        if (peek() == ')') {
            ++m_pos;
            break;
        }
    }
    return NSArray::arrayWithObjects(std::move(elements));
}

Ref<NSObject> OpenStepParser::parseQuotedString() {
    char quote = m_text[m_pos++];
    std::string text;
    for (;;) {
        if (atEnd())
            return fail("unterminated string");
        char c = m_text[m_pos++];
        if (c == quote)
            break;
        if (c == '\\') {
            if (!parseEscape(text))
                return nullptr;
        } else {
            text += c;
        }
    }
    return NSString::stringWithUTF8String(PropertyList::textRead(text));
}

bool OpenStepParser::parseEscape(std::string& out) {
    if (atEnd()) {
        fail("unterminated string");
        return false;
    }
    char c = m_text[m_pos++];
    switch (c) {
    case 'a':
        out += '\a';
        return true;
    case 'b':
        out += '\b';
        return true;
    case 'f':
        out += '\f';
        return true;
    case 'n':
        out += '\n';
        return true;
    case 'r':
        out += '\r';
        return true;
    case 't':
        out += '\t';
        return true;
    case 'v':
        out += '\v';
        return true;
    default:
        break;
    }
    if (c >= '0' && c <= '7') {
        uint32_t value = static_cast<uint32_t>(c - '0');
        for (int digits = 1; digits < 3 && peek() >= '0' && peek() <= '7'; ++digits)
            value = value * 8 + static_cast<uint32_t>(m_text[m_pos++] - '0');
        appendUtf8(out, value);
        return true;
    }
    if (c == 'U' || c == 'u') {
        uint32_t value = 0;
        int digits = 0;
        for (; digits < 4 && !atEnd() && hexDigitValue(peek()) >= 0; ++digits)
            value = value * 16 + static_cast<uint32_t>(hexDigitValue(m_text[m_pos++]));
        if (digits == 0) {
            out += c;
            return true;
        }
        if (value >= 0xD800 && value <= 0xDBFF) {
            // A high surrogate pairs with a following \Uxxxx low surrogate.
            size_t save = m_pos;
            if (m_pos + 6 <= m_text.size() && m_text[m_pos] == '\\' &&
                (m_text[m_pos + 1] == 'U' || m_text[m_pos + 1] == 'u')) {
                uint32_t low = 0;
                bool allHex = true;
                for (size_t i = 0; i < 4; ++i) {
                    int digit = hexDigitValue(m_text[m_pos + 2 + i]);
                    allHex = allHex && digit >= 0;
                    low = low * 16 + static_cast<uint32_t>(std::max(digit, 0));
                }
                if (allHex && low >= 0xDC00 && low <= 0xDFFF) {
                    m_pos += 6;
                    appendUtf8(out, 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
                    return true;
                }
            }
            m_pos = save;
            value = 0xFFFD;
        } else if (value >= 0xDC00 && value <= 0xDFFF) {
            value = 0xFFFD;
        }
        appendUtf8(out, value);
        return true;
    }
    // \\, \", \' and any other character stand for themselves.
    out += c;
    return true;
}

Ref<NSObject> OpenStepParser::parseBareString() {
    size_t start = m_pos;
    while (!atEnd() && isBareCharacter(peek()))
        ++m_pos;
    return NSString::stringWithUTF8String(m_text.substr(start, m_pos - start));
}

Ref<NSObject> OpenStepParser::parseData() {
    ++m_pos; // '<'
    std::vector<uint8_t> bytes;
    int pending = -1;
    for (;;) {
        if (atEnd())
            return fail("unterminated data");
        char c = m_text[m_pos++];
        if (c == '>')
            break;
        if (isSpace(c))
            continue;
        int digit = hexDigitValue(c);
        if (digit < 0)
            return fail(std::string("bad character '") + c + "' in data");
        if (pending < 0) {
            pending = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(pending * 16 + digit));
            pending = -1;
        }
    }
    if (pending >= 0)
        return fail("odd number of hex digits in data");
    return NSData::dataWithBytes(std::move(bytes));
}

bool OpenStepParser::skipSpace() {
    while (!atEnd()) {
        char c = peek();
        if (isSpace(c)) {
            ++m_pos;
        } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
            size_t end = m_text.find('\n', m_pos);
            m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '*') {
            size_t end = m_text.find("*/", m_pos + 2);
            if (end == std::string_view::npos) {
                fail("unterminated comment");
                return false;
            }
            m_pos = end + 2;
        } else {
            break;
        }
    }
    return true;
}

std::nullptr_t OpenStepParser::fail(std::string_view why) {
    if (m_error.empty()) {
        size_t line = 1 + static_cast<size_t>(std::count(
                              m_text.begin(), m_text.begin() + std::min(m_pos, m_text.size()), '\n'));
        m_error = "line " + std::to_string(line) + ": " + std::string(why);
    }
    return nullptr;
}
