#include "hosts/common/YuvConverter.h"
#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace {

// BT.709, limited range, in 16.16 fixed point: Y = 16 + 219 * luma, U/V = 128 + 224 * chroma.
constexpr int32_t yR = 11966, yG = 40254, yB = 4064;   // 0.2126, 0.7152, 0.0722 of 219/255
constexpr int32_t uR = -6596, uG = -22189, uB = 28784; // -0.1146, -0.3854, 0.5 of 224/255
constexpr int32_t vR = 28784, vG = -26145, vB = -2639; // 0.5, -0.4542, -0.0458 of 224/255
constexpr int32_t half = 1 << 15;

inline uint8_t luma(uint32_t pixel) {
    int32_t r = (pixel >> 16) & 0xff, g = (pixel >> 8) & 0xff, b = pixel & 0xff;
    return static_cast<uint8_t>(16 + ((yR * r + yG * g + yB * b + half) >> 16));
}

} // namespace

YuvConverter::YuvConverter(int width, int height)
    : m_width(width), m_height(height), m_previous(static_cast<size_t>(width) * height * 4) {}

void YuvConverter::convertRowPair(const Bitmap& picture, int pair, const YuvPlanes& planes) const {
    int top = pair * 2;
    int bottom = std::min(top + 1, m_height - 1);
    const uint32_t* rows[2] = {picture.row(top), picture.row(bottom)};
    uint8_t* yRows[2] = {planes.y + static_cast<size_t>(top) * planes.yStride,
                         planes.y + static_cast<size_t>(top + 1) * planes.yStride};
    uint8_t* uRow = planes.u + static_cast<size_t>(pair) * planes.uStride;
    uint8_t* vRow = planes.v + static_cast<size_t>(pair) * planes.vStride;
    for (int x = 0; x < m_width; x += 2) {
        int right = std::min(x + 1, m_width - 1);
        int32_t r = 0, g = 0, b = 0;
        for (int i = 0; i < 2; ++i) {
            uint32_t left = rows[i][x], next = rows[i][right];
            yRows[i][x] = luma(left);
            yRows[i][x + 1] = luma(next);
            r += ((left >> 16) & 0xff) + ((next >> 16) & 0xff);
            g += ((left >> 8) & 0xff) + ((next >> 8) & 0xff);
            b += (left & 0xff) + (next & 0xff);
        }
        // The sums are of four pixels: the shift takes two more bits.
        uRow[x / 2] = static_cast<uint8_t>(128 + ((uR * r + uG * g + uB * b + (half << 2)) >> 18));
        vRow[x / 2] = static_cast<uint8_t>(128 + ((vR * r + vG * g + vB * b + (half << 2)) >> 18));
    }
}

int YuvConverter::convert(const Bitmap& picture, const YuvPlanes& planes) {
    size_t rowBytes = static_cast<size_t>(m_width) * 4;
    int converted = 0;
    for (int pair = 0; pair * 2 < m_height; ++pair) {
        int top = pair * 2;
        int rows = std::min(2, m_height - top);
        bool changed = m_first;
        for (int i = 0; i < rows; ++i) {
            const uint8_t* now = reinterpret_cast<const uint8_t*>(picture.row(top + i));
            uint8_t* before = m_previous.data() + static_cast<size_t>(top + i) * rowBytes;
            if (changed || std::memcmp(now, before, rowBytes) != 0) {
                changed = true;
                std::memcpy(before, now, rowBytes);
            }
        }
        if (!changed)
            continue;
        convertRowPair(picture, pair, planes);
        converted += rows;
    }
    m_first = false;
    return converted;
}
