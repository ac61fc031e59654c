#include "hosts/common/Json.h"
#include "platform/foundation/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdio>

Json Json::number(double value) {
    if (!std::isfinite(value))
        return null(); // JSON has no NaN or infinity
    if (value == 0)
        return Json("0");
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return Json(std::string(text, result.ptr));
}

Json Json::string(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        uint32_t point = 0;
        size_t length = Utf8::sequenceAt(text, at, point);
        if (length == 0) {
            // Not text: each such byte reads back as the replacement character, and the trace
            // stays JSON.
            out += "\\ufffd";
            ++at;
            continue;
        }
        switch (point) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (point < 0x20) {
                char escaped[16];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", point);
                out += escaped;
            } else {
                out.append(text.substr(at, length));
            }
        }
        at += length;
    }
    return Json(out + "\"");
}

Json Json::array(const std::vector<Json>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ",";
        out += items[i].text();
    }
    return Json(out + "]");
}

Json Json::numbers(const std::vector<double>& items) {
    std::vector<Json> values;
    for (double item : items)
        values.push_back(number(item));
    return array(values);
}

Json::Object& Json::Object::add(std::string_view key, const Json& value) {
    if (m_text.size() > 1)
        m_text += ",";
    m_text += Json::string(key).text();
    m_text += ":";
    m_text += value.text();
    return *this;
}
