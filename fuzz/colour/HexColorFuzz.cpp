// The hex colour reader on arbitrary text: it must never read out of bounds, and whatever it
// accepts must be a colour with every component between 0 and 1.

#include "platform/graphics/UIColor+Hex.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto color = parseHexColor(std::string_view(reinterpret_cast<const char*>(data), size));
    if (color) {
        for (double c : {color->red, color->green, color->blue, color->alpha})
            if (!(c >= 0 && c <= 1))
                std::abort();
    }
    return 0;
}
