#include "tools/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at text[i] and its code point, or 0.
size_t sequenceAt(std::string_view text, size_t i, uint32_t& point) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t lead = byte(i);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string terminalSafe(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (size_t i = 0; i < text.size();) {
        uint32_t point = 0;
        size_t length = sequenceAt(text, i, point);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<uint8_t>(text[i]));
            out += escape;
            ++i;
            continue;
        }
        bool control = point < 0x20 || point == 0x7F || (point >= 0x80 && point <= 0x9F);
        if (!control || (keepLineBreaks && (point == '\n' || point == '\t'))) {
            out.append(text.substr(i, length));
        } else if (point == '\n') {
            out += "\\n";
        } else if (point == '\t') {
            out += "\\t";
        } else if (point == '\r') {
            out += "\\r";
        } else {
            std::snprintf(escape, sizeof escape, point < 0x80 ? "\\x%02X" : "\\u%04X", point);
            out += escape;
        }
        i += length;
    }
    return out;
}
