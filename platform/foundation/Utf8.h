#pragma once

// Reading UTF-8 strictly: the shortest form only, no surrogates, nothing past U+10FFFF. Text that
// fails this is not text (a property list, a trace or a terminal must not be handed it as such).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Utf8 {

// The length of the well-formed sequence that starts at text[at], with its code point; 0 when the
// bytes there are not one.
inline size_t sequenceAt(std::string_view text, size_t at, uint32_t& point) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t lead = byte(at);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (byte(at + k) & 0x3F);
    }
    constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

inline bool isValid(std::string_view text) {
    uint32_t point = 0;
    for (size_t at = 0; at < text.size();) {
        size_t length = sequenceAt(text, at, point);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

// The bytes as text: each byte that does not start a well-formed sequence becomes U+FFFD.
inline std::string repaired(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    uint32_t point = 0;
    for (size_t at = 0; at < text.size();) {
        size_t length = sequenceAt(text, at, point);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

} // namespace Utf8
