#include "tools/picturetest/PictureComparison.h"

#include <algorithm>
#include <cstring>

namespace {

bool pixelsDiffer(uint32_t a, uint32_t b, int channelTolerance) {
    if (a == b)
        return false;
    for (int shift = 0; shift < 32; shift += 8) {
        int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference > channelTolerance || -difference > channelTolerance)
            return true;
    }
    return false;
}

// Light grey for any pixel: a person sees the picture's shapes, and the marks stand out.
uint32_t faded(uint32_t pixel) {
    uint32_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    uint32_t grey = 176 + (red * 77 + green * 150 + blue * 29) / 256 * 79 / 255;
    return 0xFF000000u | grey << 16 | grey << 8 | grey;
}

} // namespace

PictureDifference comparePictures(const Bitmap& expected, const Bitmap& actual, int channelTolerance) {
    PictureDifference difference;
    int width = expected.width();
    size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < expected.height(); ++y) {
        const uint32_t* a = expected.row(y);
        const uint32_t* b = actual.row(y);
        // Most rows of a passing picture are equal: one memcmp settles them.
        if (std::memcmp(a, b, rowBytes) == 0)
            continue;
        for (int x = 0; x < width; ++x) {
            if (!pixelsDiffer(a[x], b[x], channelTolerance))
                continue;
            if (difference.pixels++ == 0) {
                difference.left = x;
                difference.top = y;
                difference.right = x + 1;
                difference.bottom = y + 1;
            }
            difference.left = std::min(difference.left, x);
            difference.right = std::max(difference.right, x + 1);
            difference.bottom = y + 1;
        }
    }
    return difference;
}

Bitmap diffPicture(const Bitmap& expected, const Bitmap& actual, int channelTolerance) {
    Bitmap diff = *Bitmap::create(expected.width(), expected.height());
    for (int y = 0; y < expected.height(); ++y) {
        const uint32_t* a = expected.row(y);
        const uint32_t* b = actual.row(y);
        uint32_t* out = diff.row(y);
        for (int x = 0; x < expected.width(); ++x)
            out[x] = pixelsDiffer(a[x], b[x], channelTolerance) ? diffMark : faded(a[x]);
    }
    return diff;
}
