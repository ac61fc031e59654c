#include "tools/TerminalText.h"
#include "platform/foundation/Utf8.h"

#include <cstdint>
#include <cstdio>

std::string terminalSafe(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (size_t i = 0; i < text.size();) {
        uint32_t point = 0;
        size_t length = Utf8::sequenceAt(text, i, point);
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
