#include "platform/foundation/NSNumber.h"
#include "runtime/MessageSend.h"

#include <cmath>
#include <limits>

Class NSNumber::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSNumber", NSObject::objcClass(), &instance_factory<NSNumber>);
        class_addMethod(
            c, "boolValue", +[](id self, SEL) -> bool { return static_cast<NSNumber*>(self)->boolValue(); });
        class_addMethod(
            c, "doubleValue",
            +[](id self, SEL) -> double { return static_cast<NSNumber*>(self)->doubleValue(); });
        return c;
    }();
    return cls;
}

Ref<NSNumber> NSNumber::numberWithBool(bool value) {
    auto number = make_object<NSNumber>();
    number->m_value = value;
    return number;
}

Ref<NSNumber> NSNumber::numberWithLongLong(int64_t value) {
    auto number = make_object<NSNumber>();
    number->m_value = value;
    return number;
}

Ref<NSNumber> NSNumber::numberWithDouble(double value) {
    auto number = make_object<NSNumber>();
    number->m_value = value;
    return number;
}

bool NSNumber::boolValue() const {
    if (auto* b = std::get_if<bool>(&m_value))
        return *b;
    if (auto* i = std::get_if<int64_t>(&m_value))
        return *i != 0;
    return std::get<double>(m_value) != 0.0;
}

int64_t NSNumber::longLongValue() const {
    if (auto* b = std::get_if<bool>(&m_value))
        return *b ? 1 : 0;
    if (auto* i = std::get_if<int64_t>(&m_value))
        return *i;
    // Out-of-range and NaN values are clamped rather than left to undefined conversion.
    double d = std::get<double>(m_value);
    if (std::isnan(d))
        return 0;
    if (d >= 9.2233720368547758e18)
        return std::numeric_limits<int64_t>::max();
    if (d <= -9.2233720368547758e18)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

double NSNumber::doubleValue() const {
    if (auto* b = std::get_if<bool>(&m_value))
        return *b ? 1.0 : 0.0;
    if (auto* i = std::get_if<int64_t>(&m_value))
        return static_cast<double>(*i);
    return std::get<double>(m_value);
}
