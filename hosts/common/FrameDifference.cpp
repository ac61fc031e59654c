#include "hosts/common/FrameDifference.h"
#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>

FrameDifference::FrameDifference(int width, int height)
    : m_width(width), m_height(height), m_previous(static_cast<size_t>(width) * height) {}

PixelRect FrameDifference::changedBounds(const Bitmap& frame) const {
    if (m_first)
        return {0, 0, m_width, m_height};
    size_t rowBytes = static_cast<size_t>(m_width) * 4;
    int top = -1, bottom = -1, left = m_width, right = -1;
    for (int y = 0; y < m_height; ++y) {
        const uint32_t* now = frame.row(y);
        const uint32_t* before = previousRow(y);
        // Whole rows compare fastest; only a row that differs is searched for its ends.
        if (std::memcmp(now, before, rowBytes) == 0)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
        int x = 0;
        while (x < left && now[x] == before[x])
            ++x;
        left = std::min(left, x);
        x = m_width - 1;
        while (x > right && now[x] == before[x])
            --x;
        right = std::max(right, x);
    }
    if (top < 0)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

void FrameDifference::keep(const Bitmap& frame, const PixelRect& rect) {
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        std::memcpy(m_previous.data() + static_cast<size_t>(y) * m_width + rect.x, frame.row(y) + rect.x,
                    static_cast<size_t>(rect.width) * 4);
    m_first = false;
}
