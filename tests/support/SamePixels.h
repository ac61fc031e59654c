#pragma once

// Whether two pictures are the same, pixel for pixel: the same size and every pixel equal.

#include "platform/graphics/Bitmap.h"

#include <algorithm>

inline bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (!std::equal(a.row(y), a.row(y) + a.width(), b.row(y)))
            return false;
    return true;
}
