#pragma once

// A small JSON reader for checking traces in tests.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static std::optional<JsonValue> parse(const std::string& text);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool boolean() const { return m_bool; }
    double number() const { return m_number; }
    const std::string& string() const { return m_string; }
    const std::vector<JsonValue>& items() const { return m_items; }
    size_t size() const { return m_kind == Kind::Array ? m_items.size() : m_fields.size(); }
    bool has(const std::string& key) const { return m_fields.count(key) > 0; }
    // A missing key or index reads as null.
    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](size_t index) const;
    std::vector<double> numbers() const;

private:
    friend class JsonParser;
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<JsonValue> m_items;
    std::map<std::string, JsonValue> m_fields;
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : m_text(text) {}
    std::optional<JsonValue> document();

private:
    bool value(JsonValue& out, int depth);
    bool string(std::string& out);
    void space();
    const std::string& m_text;
    size_t m_at = 0;
};

inline std::optional<JsonValue> JsonValue::parse(const std::string& text) {
    return JsonParser(text).document();
}

inline const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue null;
    auto it = m_fields.find(key);
    return it == m_fields.end() ? null : it->second;
}

inline const JsonValue& JsonValue::operator[](size_t index) const {
    static const JsonValue null;
    return index < m_items.size() ? m_items[index] : null;
}

inline std::vector<double> JsonValue::numbers() const {
    std::vector<double> out;
    for (const auto& item : m_items)
        out.push_back(item.number());
    return out;
}

inline std::optional<JsonValue> JsonParser::document() {
    JsonValue out;
    if (!value(out, 0))
        return std::nullopt;
    space();
    if (m_at != m_text.size())
        return std::nullopt;
    return out;
}

inline void JsonParser::space() {
    while (m_at < m_text.size() &&
           (m_text[m_at] == ' ' || m_text[m_at] == '\n' || m_text[m_at] == '\t' || m_text[m_at] == '\r'))
        ++m_at;
}

inline bool JsonParser::string(std::string& out) {
    if (m_at >= m_text.size() || m_text[m_at] != '"')
        return false;
    ++m_at;
    while (m_at < m_text.size() && m_text[m_at] != '"') {
        char c = m_text[m_at++];
        if (c == '\\' && m_at < m_text.size()) {
            char e = m_text[m_at++];
            if (e == 'n')
                out += '\n';
            else if (e == 't')
                out += '\t';
            else if (e == 'r')
                out += '\r';
            else if (e == 'u' && m_at + 4 <= m_text.size()) {
                out += static_cast<char>(std::stoi(m_text.substr(m_at, 4), nullptr, 16));
                m_at += 4;
            } else
                out += e;
        } else {
            out += c;
        }
    }
    if (m_at >= m_text.size())
        return false;
    ++m_at;
    return true;
}

inline bool JsonParser::value(JsonValue& out, int depth) {
    if (depth > 64)
        return false;
    space();
    if (m_at >= m_text.size())
        return false;
    char c = m_text[m_at];
    if (c == '{') {
        out.m_kind = JsonValue::Kind::Object;
        ++m_at;
        space();
        if (m_at < m_text.size() && m_text[m_at] == '}') {
            ++m_at;
            return true;
        }
        for (;;) {
            space();
            std::string key;
            if (!string(key))
                return false;
            space();
            if (m_at >= m_text.size() || m_text[m_at++] != ':')
                return false;
            JsonValue item;
            if (!value(item, depth + 1))
                return false;
            out.m_fields[key] = std::move(item);
            space();
            if (m_at < m_text.size() && m_text[m_at] == ',') {
                ++m_at;
                continue;
            }
            if (m_at < m_text.size() && m_text[m_at] == '}') {
                ++m_at;
                return true;
            }
            return false;
        }
    }
    if (c == '[') {
        out.m_kind = JsonValue::Kind::Array;
        ++m_at;
        space();
        if (m_at < m_text.size() && m_text[m_at] == ']') {
            ++m_at;
            return true;
        }
        for (;;) {
            JsonValue item;
            if (!value(item, depth + 1))
                return false;
            out.m_items.push_back(std::move(item));
            space();
            if (m_at < m_text.size() && m_text[m_at] == ',') {
                ++m_at;
                continue;
            }
            if (m_at < m_text.size() && m_text[m_at] == ']') {
                ++m_at;
                return true;
            }
            return false;
        }
    }
    if (c == '"') {
        out.m_kind = JsonValue::Kind::String;
        return string(out.m_string);
    }
    if (m_text.compare(m_at, 4, "true") == 0 || m_text.compare(m_at, 5, "false") == 0) {
        out.m_kind = JsonValue::Kind::Bool;
        out.m_bool = m_text[m_at] == 't';
        m_at += out.m_bool ? 4 : 5;
        return true;
    }
    if (m_text.compare(m_at, 4, "null") == 0) {
        m_at += 4;
        return true;
    }
    size_t used = 0;
    try {
        out.m_number = std::stod(m_text.substr(m_at, 40), &used);
    } catch (...) {
        return false;
    }
    out.m_kind = JsonValue::Kind::Number;
    m_at += used;
    return true;
}
