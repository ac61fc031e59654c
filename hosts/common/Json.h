#pragma once

// Building JSON text for traces: values are written as they are added, numbers in their shortest
// form that reads back exactly, strings escaped.

#include <string>
#include <string_view>
#include <vector>

class Json {
public:
    static Json null() { return Json("null"); }
    static Json boolean(bool value) { return Json(value ? "true" : "false"); }
    static Json number(double value);
    static Json string(std::string_view text);
    static Json array(const std::vector<Json>& items);
    static Json numbers(const std::vector<double>& items);

    // An object with keys in the order added.
    class Object {
    public:
        Object& add(std::string_view key, const Json& value);
        Json done() const { return Json(m_text + "}"); }

    private:
        std::string m_text = "{";
    };

    const std::string& text() const { return m_text; }

private:
    explicit Json(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};
