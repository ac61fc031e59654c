#include "platform/foundation/HexDigit.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/UIColor+Hex.h"

#include <charconv>
#include <string>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// "1", "0.25", ".5", "1.": digits with at most one point, no sign or exponent, 0 to 1.
std::optional<double> parseAlpha(std::string_view text) {
    constexpr size_t longest = 32;
    if (text.empty() || text.size() > longest || text == ".")
        return std::nullopt;
    bool point = false;
    for (char c : text) {
        if (c == '.') {
            if (point)
                return std::nullopt;
            point = true;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    // from_chars does not take a leading point.
    std::string digits = text.front() == '.' ? "0" + std::string(text) : std::string(text);
    double value = 0;
    auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (problem != std::errc() || end != digits.data() + digits.size() || value > 1)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<CGColor> parseHexColor(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);

    std::optional<double> alphaOverride;
    if (size_t colon = text.find(':'); colon != std::string_view::npos) {
        alphaOverride = parseAlpha(text.substr(colon + 1));
        if (!alphaOverride)
            return std::nullopt;
        text = text.substr(0, colon);
    }

    int digits[8];
    size_t count = 0;
    for (char c : text) {
        if (c == '#')
            continue;
        int value = hexDigitValue(c);
        if (value < 0 || count == 8)
            return std::nullopt;
        digits[count++] = value;
    }

    // Components in the order alpha, red, green, blue, each 0...255.
    int argb[4] = {255, 0, 0, 0};
    switch (count) {
    case 3:
    case 4: {
        size_t first = 4 - count;
        for (size_t i = 0; i < count; ++i)
            argb[first + i] = digits[i] * 17;
        break;
    }
    case 6:
    case 8: {
        size_t first = (8 - count) / 2;
        for (size_t i = 0; i < count / 2; ++i)
            argb[first + i] = digits[2 * i] * 16 + digits[2 * i + 1];
        break;
    }
    default:
        return std::nullopt;
    }
    CGColor color{argb[1] / 255.0, argb[2] / 255.0, argb[3] / 255.0, argb[0] / 255.0};
    if (alphaOverride)
        color.alpha = *alphaOverride;
    return color;
}

Ref<UIColor> colorFromHexString(const NSObject* value) {
    const std::string* text = string_value(value);
    if (!text)
        return nullptr;
    auto color = parseHexColor(*text);
    if (!color)
        return nullptr;
    return UIColor::colorWithRed(color->red, color->green, color->blue, color->alpha);
}
