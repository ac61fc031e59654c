#pragma once

// Immutable UTF-8 strings.

#include "runtime/NSObject.h"

#include <string>
#include <string_view>

class NSString : public NSObject {
public:
    static Class objcClass();
    static Ref<NSString> stringWithUTF8String(std::string_view text);

    explicit NSString(std::string value = {}) : m_value(std::move(value)) {}
    const std::string& UTF8String() const { return m_value; }
    size_t length() const { return m_value.size(); }
    bool isEqualToString(const NSString* other) const { return other && other->m_value == m_value; }

private:
    std::string m_value;
};

// The string's text when object is an NSString; nullptr for nil or any other kind of value.
const std::string* string_value(const NSObject* object);
