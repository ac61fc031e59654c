#pragma once

// Screen pictures (32-bit BGRA, opaque) into the 4:2:0 video planes an encoder takes, with BT.709
// coefficients in limited range (what players assume for video of this size). A recording's frames
// mostly repeat the last one but for a strip, so only the row pairs that changed since the previous
// picture are converted again; the planes must keep what they held.

#include <cstdint>
#include <vector>

class Bitmap;

struct YuvPlanes {
    uint8_t* y;
    uint8_t* u;
    uint8_t* v;
    int yStride, uStride, vStride;
};

class YuvConverter {
public:
    // For pictures of width x height; the planes are the even sizes at or above them (the last column
    // and row repeated).
    YuvConverter(int width, int height);

    // Converts what changed since the last call (everything the first time); answers the number of
    // rows converted.
    int convert(const Bitmap& picture, const YuvPlanes& planes);

private:
    void convertRowPair(const Bitmap& picture, int pair, const YuvPlanes& planes) const;

    int m_width, m_height;
    std::vector<uint8_t> m_previous; // the last picture's pixels, to find the rows that changed
    bool m_first = true;
};
