#pragma once

// A small strict XML reader for checking reports in tests: elements, attributes, text and the
// predefined and numeric entities. Anything malformed (a tag closed out of order, an attribute
// without quotes, an unknown entity, text after the root) makes parse answer nullopt.

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<XmlElement> children;
    std::string text;

    std::vector<const XmlElement*> named(const std::string& child) const {
        std::vector<const XmlElement*> found;
        for (const XmlElement& element : children)
            if (element.name == child)
                found.push_back(&element);
        return found;
    }
    std::string attribute(const std::string& key) const {
        auto found = attributes.find(key);
        return found == attributes.end() ? "" : found->second;
    }
};

class XmlReader {
public:
    static std::optional<XmlElement> parse(const std::string& text) {
        XmlReader reader(text);
        reader.skipSpace();
        if (reader.startsWith("<?xml")) {
            size_t end = text.find("?>");
            if (end == std::string::npos)
                return std::nullopt;
            reader.m_at = end + 2;
        }
        reader.skipSpace();
        XmlElement root;
        if (!reader.element(root))
            return std::nullopt;
        reader.skipSpace();
        if (reader.m_at != text.size())
            return std::nullopt;
        return root;
    }

private:
    explicit XmlReader(const std::string& text) : m_text(text) {}

    bool startsWith(const char* word) const {
        return m_text.compare(m_at, std::string(word).size(), word) == 0;
    }
    void skipSpace() {
        while (m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at])))
            ++m_at;
    }
    std::string name() {
        size_t start = m_at;
        while (m_at < m_text.size() &&
               (std::isalnum(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '_' ||
                m_text[m_at] == '-' || m_text[m_at] == ':' || m_text[m_at] == '.'))
            ++m_at;
        return m_text.substr(start, m_at - start);
    }
    // Text up to `until`, entities decoded; false for a '<' or '&' that does not belong.
    bool characters(char until, std::string& out) {
        while (m_at < m_text.size() && m_text[m_at] != until) {
            char c = m_text[m_at];
            if (c == '<')
                return false;
            if (c != '&') {
                out += c;
                ++m_at;
                continue;
            }
            size_t semicolon = m_text.find(';', m_at);
            if (semicolon == std::string::npos)
                return false;
            std::string entity = m_text.substr(m_at + 1, semicolon - m_at - 1);
            static const std::map<std::string, char> named = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (auto found = named.find(entity); found != named.end())
                out += found->second;
            else if (entity.size() > 1 && entity[0] == '#' &&
                     std::isdigit(static_cast<unsigned char>(entity[1])))
                out += static_cast<char>(std::atoi(entity.c_str() + 1));
            else
                return false;
            m_at = semicolon + 1;
        }
        return true;
    }
    bool element(XmlElement& element) {
        if (!startsWith("<"))
            return false;
        ++m_at;
        element.name = name();
        if (element.name.empty())
            return false;
        while (true) {
            skipSpace();
            if (startsWith("/>")) {
                m_at += 2;
                return true;
            }
            if (startsWith(">")) {
                ++m_at;
                break;
            }
            std::string key = name();
            if (key.empty() || !startsWith("=\""))
                return false;
            m_at += 2;
            std::string value;
            if (!characters('"', value) || m_at >= m_text.size())
                return false;
            ++m_at;
            if (!element.attributes.emplace(key, value).second)
                return false;
        }
        while (m_at < m_text.size()) {
            if (startsWith("</")) {
                m_at += 2;
                if (name() != element.name || !startsWith(">"))
                    return false;
                ++m_at;
                return true;
            }
            if (startsWith("<")) {
                XmlElement child;
                if (!this->element(child))
                    return false;
                element.children.push_back(std::move(child));
                continue;
            }
            if (!characters('<', element.text))
                return false;
        }
        return false;
    }

    const std::string& m_text;
    size_t m_at = 0;
};
