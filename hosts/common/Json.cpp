#include "hosts/common/Json.h"

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
    for (unsigned char c : text) {
        switch (c) {
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
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
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
