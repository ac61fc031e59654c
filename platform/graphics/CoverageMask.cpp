#include "platform/graphics/CoverageMask.h"

#include <algorithm>
#include <cstring>
#include <limits>

uint8_t CoverageMask::at(int x, int y) const {
    auto it = std::lower_bound(m_spans.begin(), m_spans.end(), y,
                               [](const CoverageSpan& span, int row) { return span.y < row; });
    for (; it != m_spans.end() && it->y == y; ++it)
        if (x >= it->x && x < it->x + it->length)
            return m_coverage[it->offset + static_cast<uint32_t>(x - it->x)];
    return 0;
}

void CoverageMask::clear() {
    m_spans.clear();
    m_used = 0;
    m_left = std::numeric_limits<int>::max();
    m_right = std::numeric_limits<int>::min();
}

void CoverageMask::append(int y, int x, const uint8_t* values, int count) {
    if (count > 0)
        std::memcpy(extend(y, x, count), values, static_cast<size_t>(count));
}

void CoverageMask::appendRun(int y, int x, uint8_t value, int count) {
    if (count > 0)
        std::memset(extend(y, x, count), value, static_cast<size_t>(count));
}

void CoverageMask::grow() {
    m_coverage.resize(std::max(m_used, m_coverage.size() * 2));
}

Region CoverageMask::footprint(int bandWidth, int rowGrain) const {
    if (m_spans.empty())
        return {};
    bandWidth = std::max(bandWidth, 1);
    int firstBand = m_left / bandWidth - (m_left < 0 && m_left % bandWidth ? 1 : 0);
    int bands = (m_right - firstBand * bandWidth + bandWidth - 1) / bandWidth;
    struct Extent {
        int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
        int left = std::numeric_limits<int>::max(), right = std::numeric_limits<int>::min();
    };
    std::vector<Extent> extents(static_cast<size_t>(bands));
    // Rows come in order: a band's top is the first row that reaches it, its bottom the last.
    int origin = firstBand * bandWidth;
    for (const CoverageSpan& span : m_spans) {
        int end = span.x + span.length;
        int band = (span.x - origin) / bandWidth;
        int bandEnd = origin + (band + 1) * bandWidth;
        Extent* e = &extents[static_cast<size_t>(band)];
        e->top = std::min(e->top, span.y);
        e->bottom = span.y + 1;
        e->left = std::min(e->left, span.x);
        // Spans are a few pixels long: most end in the band they start in.
        while (end > bandEnd) {
            e->right = bandEnd;
            ++e;
            e->top = std::min(e->top, span.y);
            e->bottom = span.y + 1;
            e->left = std::min(e->left, bandEnd);
            bandEnd += bandWidth;
        }
        e->right = std::max(e->right, end);
    }
    std::vector<IntRect> rects;
    rects.reserve(extents.size());
    rowGrain = std::max(rowGrain, 1);
    auto down = [rowGrain](int y) {
        return y >= 0 ? y / rowGrain * rowGrain : -((-y + rowGrain - 1) / rowGrain * rowGrain);
    };
    for (const Extent& e : extents)
        if (e.left < e.right) {
            int top = down(e.top), bottom = -down(-e.bottom);
            rects.push_back(IntRect{e.left, top, e.right - e.left, bottom - top});
        }
    return Region::fromRects(rects);
}

void CoverageMask::translate(int dx, int dy) {
    for (CoverageSpan& span : m_spans) {
        span.x += dx;
        span.y += dy;
    }
    if (!m_spans.empty()) {
        m_left += dx;
        m_right += dx;
    }
}
