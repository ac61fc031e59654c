#include "platform/graphics/Bitmap.h"

#include <limits>

std::optional<Bitmap> Bitmap::create(int width, int height, size_t maxBytes) {
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 4)
        return std::nullopt;
    size_t bytes = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    if (bytes / 4 / static_cast<size_t>(width) != static_cast<size_t>(height) || bytes > maxBytes)
        return std::nullopt;
    Bitmap bitmap(width, height);
    bitmap.m_pixels.assign(bytes, 0);
    return bitmap;
}

uint32_t premultiplied_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    auto scale = [alpha](uint8_t c) { return static_cast<uint32_t>((c * alpha + 127) / 255); };
    return (uint32_t{alpha} << 24) | (scale(red) << 16) | (scale(green) << 8) | scale(blue);
}
