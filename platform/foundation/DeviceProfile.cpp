#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/PropertyList.h"

#include <charconv>
#include <cstdio>

namespace DeviceProfile {

namespace {

bool inRange(double value, double low, double high) {
    return value >= low && value <= high;
}

bool validScreen(const ScreenProfile& s) {
    return inRange(s.width, 100, 5000) && inRange(s.height, 100, 5000) && inRange(s.scale, 1, 4) &&
           inRange(s.refreshRate, 1, 240);
}

// Parses a whole decimal number from text, which must hold nothing else.
std::optional<double> number(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

double readNumber(const NSDictionary* values, const char* key, double fallback, double low, double high) {
    NSObject* stored = values ? values->objectForKey(key) : nullptr;
    if (!stored)
        return fallback;
    auto* n = objc_cast<NSNumber>(stored);
    if (n && !n->isBoolean() && inRange(n->doubleValue(), low, high))
        return n->doubleValue();
    char text[160];
    std::snprintf(text, sizeof text, "Device profile: %s is %s, not a number from %g to %g; using %g", key,
                  n && !n->isBoolean() ? std::to_string(n->doubleValue()).c_str() : "of the wrong type", low,
                  high, fallback);
    NSLog(text);
    return fallback;
}

} // namespace

std::optional<ScreenProfile> parseScreen(std::string_view text) {
    size_t x = text.find('x');
    size_t at = text.find('@');
    if (x == std::string_view::npos || at == std::string_view::npos || at < x)
        return std::nullopt;
    size_t slash = text.find('/', at);
    ScreenProfile screen;
    auto width = number(text.substr(0, x));
    auto height = number(text.substr(x + 1, at - x - 1));
    auto scale = number(
        text.substr(at + 1, slash == std::string_view::npos ? std::string_view::npos : slash - at - 1));
    if (!width || !height || !scale)
        return std::nullopt;
    screen.width = *width;
    screen.height = *height;
    screen.scale = *scale;
    if (slash != std::string_view::npos) {
        auto rate = number(text.substr(slash + 1));
        if (!rate)
            return std::nullopt;
        screen.refreshRate = *rate;
    }
    if (!validScreen(screen))
        return std::nullopt;
    return screen;
}

std::string formatScreen(const ScreenProfile& screen) {
    char text[96];
    std::snprintf(text, sizeof text, "%gx%g@%g/%g", screen.width, screen.height, screen.scale,
                  screen.refreshRate);
    return text;
}

ScreenProfile screen() {
    ScreenProfile defaults;
    Ref<NSDictionary> values = NSDictionary::dictionaryWithContentsOfFile(devicePath);
    ScreenProfile result;
    result.width = readNumber(values, "ScreenWidth", defaults.width, 100, 5000);
    result.height = readNumber(values, "ScreenHeight", defaults.height, 100, 5000);
    result.scale = readNumber(values, "ScreenScale", defaults.scale, 1, 4);
    result.refreshRate = readNumber(values, "RefreshRate", defaults.refreshRate, 1, 240);
    return result;
}

bool writeScreen(const ScreenProfile& screen) {
    if (!validScreen(screen))
        return false;
    return PropertyList::update(
        devicePath,
        [&](NSMutableDictionary& values) {
            values.setObject(NSNumber::numberWithDouble(screen.width), "ScreenWidth");
            values.setObject(NSNumber::numberWithDouble(screen.height), "ScreenHeight");
            values.setObject(NSNumber::numberWithDouble(screen.scale), "ScreenScale");
            values.setObject(NSNumber::numberWithDouble(screen.refreshRate), "RefreshRate");
        },
        PropertyList::Format::XML);
}

} // namespace DeviceProfile
