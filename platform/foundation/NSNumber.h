#pragma once

// Numbers and booleans, as property lists carry them.

#include "runtime/NSObject.h"

#include <cstdint>
#include <variant>

class NSNumber : public NSObject {
public:
    static Class objcClass();
    static Ref<NSNumber> numberWithBool(bool value);
    static Ref<NSNumber> numberWithLongLong(int64_t value);
    static Ref<NSNumber> numberWithDouble(double value);

    NSNumber() = default;
    bool isBoolean() const { return std::holds_alternative<bool>(m_value); }
    bool isInteger() const { return std::holds_alternative<int64_t>(m_value); }
    bool isReal() const { return std::holds_alternative<double>(m_value); }
    bool boolValue() const;
    int64_t longLongValue() const;
    double doubleValue() const;

private:
    std::variant<bool, int64_t, double> m_value{int64_t{0}};
};
