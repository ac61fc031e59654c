#include "platform/graphics/Compositing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

IntRect bitmapRect(const Bitmap& bitmap) {
    return {0, 0, bitmap.width(), bitmap.height()};
}

} // namespace

uint32_t premultipliedPixel(const CGColor& color, double opacity) {
    auto clean = [](double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; };
    double a = clean(color.alpha) * clean(opacity);
    // As cairo turns a colour into a pixel: premultiplied in double, to 16 bits, then the top 8.
    auto byte = [](double value) { return static_cast<uint32_t>(value * (65536.0 - 1e-5)) >> 8; };
    return (byte(a) << 24) | (byte(clean(color.red) * a) << 16) | (byte(clean(color.green) * a) << 8) |
           byte(clean(color.blue) * a);
}

void fillRegionCopy(Bitmap& destination, const Region& region, uint32_t pixel) {
    IntRect all = bitmapRect(destination);
    for (const IntRect& r : region.rects()) {
        IntRect rect = r.intersected(all);
        for (int y = rect.y; y < rect.bottom(); ++y)
            std::fill_n(destination.row(y) + rect.x, rect.width, pixel);
    }
}

void fillRegionOver(Bitmap& destination, const Region& region, uint32_t pixel) {
    if ((pixel >> 24) == 255) {
        fillRegionCopy(destination, region, pixel);
        return;
    }
    if (!pixel)
        return;
    IntRect all = bitmapRect(destination);
    for (const IntRect& r : region.rects()) {
        IntRect rect = r.intersected(all);
        for (int y = rect.y; y < rect.bottom(); ++y) {
            uint32_t* row = destination.row(y);
            for (int x = rect.x; x < rect.right(); ++x)
                row[x] = overPixel(pixel, row[x]);
        }
    }
}

void compositeCoverage(Bitmap& destination, const CoverageMask& mask, uint32_t pixel, const Region& clip) {
    if (mask.isEmpty() || !pixel)
        return;
    Region area = clip;
    area.intersect(mask.bounds().intersected(bitmapRect(destination)));
    const auto& spans = mask.spans();
    const uint8_t* coverage = mask.coverage().data();
    bool opaque = (pixel >> 24) == 255;
    for (const IntRect& rect : area.rects()) {
        auto it = std::lower_bound(spans.begin(), spans.end(), rect.y,
                                   [](const CoverageSpan& span, int row) { return span.y < row; });
        for (; it != spans.end() && it->y < rect.bottom(); ++it) {
            int from = std::max(it->x, rect.x), to = std::min(it->x + it->length, rect.right());
            if (from >= to)
                continue;
            uint32_t* row = destination.row(it->y);
            const uint8_t* cov = coverage + it->offset + (from - it->x);
            for (int x = from; x < to; ++x, ++cov) {
                uint32_t m = *cov;
                if (!m)
                    continue;
                if (m == 255 && opaque) {
                    row[x] = pixel;
                    continue;
                }
                row[x] = overPixel(m == 255 ? pixel : scalePixel(pixel, m), row[x]);
            }
        }
    }
}

void compositeImage(Bitmap& destination, const Bitmap& source, int dx, int dy, uint32_t alpha,
                    bool sourceOpaque, const Region& clip) {
    if (!alpha)
        return;
    Region area = clip;
    area.intersect(IntRect{dx, dy, source.width(), source.height()}.intersected(bitmapRect(destination)));
    bool copy = sourceOpaque && alpha >= 255;
    for (const IntRect& rect : area.rects()) {
        for (int y = rect.y; y < rect.bottom(); ++y) {
            uint32_t* to = destination.row(y) + rect.x;
            const uint32_t* from = source.row(y - dy) + (rect.x - dx);
            if (copy) {
                std::memcpy(to, from, static_cast<size_t>(rect.width) * 4);
                continue;
            }
            for (int i = 0; i < rect.width; ++i) {
                uint32_t s = alpha >= 255 ? from[i] : scalePixel(from[i], alpha);
                if (s)
                    to[i] = overPixel(s, to[i]);
            }
        }
    }
}

bool isOpaque(const Bitmap& bitmap) {
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint32_t* row = bitmap.row(y);
        uint32_t all = 0xFF000000u;
        for (int x = 0; x < bitmap.width(); ++x)
            all &= row[x];
        if ((all & 0xFF000000u) != 0xFF000000u)
            return false;
    }
    return true;
}
