#include "platform/graphics/Compositing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

IntRect bitmapRect(const Bitmap& bitmap) {
    return {0, 0, bitmap.width(), bitmap.height()};
}

#if defined(__SSE2__)
// Four coverage bytes, each repeated over the four channels of its pixel, as 16-bit lanes: pixels
// 0 and 1 in `low`, 2 and 3 in `high`.
inline void spreadCoverage(const uint8_t* coverage, __m128i& low, __m128i& high) {
    uint32_t four;
    std::memcpy(&four, coverage, 4);
    __m128i m = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), _mm_setzero_si128());
    m = _mm_unpacklo_epi16(m, m);
    low = _mm_unpacklo_epi32(m, m);
    high = _mm_unpackhi_epi32(m, m);
}

// x / 255 rounded, for 16-bit lanes holding at most 255 * 255 + 128.
inline __m128i divide255(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(0x80));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// The alpha lane of each pixel spread over its four lanes.
inline __m128i spreadAlpha(__m128i pixels) {
    __m128i a = _mm_shufflelo_epi16(pixels, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_shufflehi_epi16(a, _MM_SHUFFLE(3, 3, 3, 3));
}
#endif

// pixel over each destination pixel, weighted by its coverage: four pixels at a time where the
// processor allows, with the same arithmetic as the one-pixel routines.
void blendRun(uint32_t* destination, const uint8_t* coverage, int count, uint32_t pixel, bool opaque) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i source = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(pixel)), zero);
    const __m128i full = _mm_set1_epi16(255);
    const __m128i solid = _mm_set1_epi32(static_cast<int>(pixel));
    for (; i + 4 <= count; i += 4) {
        // A stroke's coverage is mostly untouched pixels and its solid middle.
        uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        if (!four)
            continue;
        if (four == 0xFFFFFFFFu && opaque) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), solid);
            continue;
        }
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        __m128i dLow = _mm_unpacklo_epi8(d, zero), dHigh = _mm_unpackhi_epi8(d, zero);
        __m128i mLow, mHigh;
        spreadCoverage(coverage + i, mLow, mHigh);
        if (opaque) {
            // A blend between the destination and the colour by the coverage.
            dLow = divide255(_mm_add_epi16(_mm_mullo_epi16(source, mLow),
                                           _mm_mullo_epi16(dLow, _mm_sub_epi16(full, mLow))));
            dHigh = divide255(_mm_add_epi16(_mm_mullo_epi16(source, mHigh),
                                            _mm_mullo_epi16(dHigh, _mm_sub_epi16(full, mHigh))));
        } else {
            __m128i sLow = divide255(_mm_mullo_epi16(source, mLow)),
                    sHigh = divide255(_mm_mullo_epi16(source, mHigh));
            dLow =
                _mm_add_epi16(sLow, divide255(_mm_mullo_epi16(dLow, _mm_sub_epi16(full, spreadAlpha(sLow)))));
            dHigh = _mm_add_epi16(sHigh,
                                  divide255(_mm_mullo_epi16(dHigh, _mm_sub_epi16(full, spreadAlpha(sHigh)))));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_packus_epi16(dLow, dHigh));
    }
#endif
    for (; i < count; ++i) {
        uint32_t m = coverage[i];
        if (opaque) {
            uint32_t d = destination[i];
            uint32_t rb = (pixel & 0x00FF00FFu) * m + (d & 0x00FF00FFu) * (255 - m) + 0x00800080u;
            rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
            uint32_t ag =
                ((pixel >> 8) & 0x00FF00FFu) * m + ((d >> 8) & 0x00FF00FFu) * (255 - m) + 0x00800080u;
            ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
            destination[i] = rb | ag;
        } else {
            destination[i] = overPixel(scalePixel(pixel, m), destination[i]);
        }
    }
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
    Region cut;
    const Region& area = clippedRegion(clip, mask.bounds().intersected(bitmapRect(destination)), cut);
    if (area.isEmpty())
        return;
    // The region's rectangles come in bands (rows of equal extent, ordered by x); both the spans
    // and the bands are ordered by row, so one walk down both visits each pairing once.
    std::vector<IntRect> rects = area.rects();
    struct Band {
        int top, bottom;
        size_t first, last;
    };
    std::vector<Band> bands;
    for (size_t i = 0; i < rects.size(); ++i) {
        if (bands.empty() || rects[i].y != bands.back().top)
            bands.push_back({rects[i].y, rects[i].bottom(), i, i + 1});
        else
            bands.back().last = i + 1;
    }
    const uint8_t* coverage = mask.coverage().data();
    bool opaque = (pixel >> 24) == 255;
    size_t band = 0;
    // Spans are ordered by row: those above the area are skipped at once, and the walk ends below it.
    const std::vector<CoverageSpan>& spans = mask.spans();
    auto from = std::lower_bound(spans.begin(), spans.end(), bands.front().top,
                                 [](const CoverageSpan& span, int row) { return span.y < row; });
    for (const CoverageSpan& span : std::span(from, spans.end())) {
        while (band < bands.size() && bands[band].bottom <= span.y)
            ++band;
        if (band == bands.size())
            break;
        if (bands[band].top > span.y)
            continue;
        int spanEnd = span.x + span.length;
        uint32_t* row = destination.row(span.y);
        // The first rectangle of the band that reaches past the span's start.
        auto begin = rects.begin() + static_cast<std::ptrdiff_t>(bands[band].first);
        auto end = rects.begin() + static_cast<std::ptrdiff_t>(bands[band].last);
        size_t start = static_cast<size_t>(
            std::partition_point(begin, end, [&](const IntRect& rect) { return rect.right() <= span.x; }) -
            rects.begin());
        for (size_t r = start; r < bands[band].last; ++r) {
            const IntRect& rect = rects[r];
            if (rect.x >= spanEnd)
                break;
            int from = std::max(span.x, rect.x), to = std::min(spanEnd, rect.right());
            blendRun(row + from, coverage + span.offset + (from - span.x), to - from, pixel, opaque);
        }
    }
}

void compositeCoverage(Bitmap& destination, const CoverageMask& mask, uint32_t pixel) {
    if (mask.isEmpty() || !pixel)
        return;
    if (!(mask.bounds().intersected(bitmapRect(destination)) == mask.bounds())) {
        compositeCoverage(destination, mask, pixel, Region(bitmapRect(destination)));
        return;
    }
    const uint8_t* coverage = mask.coverage().data();
    bool opaque = (pixel >> 24) == 255;
    for (const CoverageSpan& span : mask.spans())
        blendRun(destination.row(span.y) + span.x, coverage + span.offset, span.length, pixel, opaque);
}

namespace {

// Calls run(y, left, right) for each span of the masks, cut to limit. Spans of different masks may
// overlap: rewriting a pixel with the same value costs less than merging them.
template <class Run>
void forEachCoveredRun(std::span<const CoverageMask* const> masks, const IntRect& limit, Run&& run) {
    for (const CoverageMask* mask : masks) {
        const std::vector<CoverageSpan>& spans = mask->spans();
        auto from = std::lower_bound(spans.begin(), spans.end(), limit.y,
                                     [](const CoverageSpan& span, int row) { return span.y < row; });
        for (const CoverageSpan& span : std::span(from, spans.end())) {
            if (span.y >= limit.bottom())
                break;
            int left = std::max(span.x, limit.x), right = std::min(span.x + span.length, limit.right());
            if (left < right)
                run(span.y, left, right);
        }
    }
}

} // namespace

void copyUnderCoverage(Bitmap& destination, const Bitmap& source, int dx, int dy,
                       std::span<const CoverageMask* const> masks) {
    IntRect limit = IntRect{dx, dy, source.width(), source.height()}.intersected(bitmapRect(destination));
    if (limit.isEmpty())
        return;
    forEachCoveredRun(masks, limit, [&](int y, int left, int right) {
        std::memcpy(destination.row(y) + left, source.row(y - dy) + (left - dx),
                    static_cast<size_t>(right - left) * 4);
    });
}

void fillUnderCoverage(Bitmap& destination, uint32_t pixel, std::span<const CoverageMask* const> masks) {
    forEachCoveredRun(masks, bitmapRect(destination), [&](int y, int left, int right) {
        std::fill(destination.row(y) + left, destination.row(y) + right, pixel);
    });
}

void compositeImage(Bitmap& destination, const Bitmap& source, int dx, int dy, uint32_t alpha,
                    bool sourceOpaque, const Region& clip) {
    if (!alpha)
        return;
    Region cut;
    const Region& area = clippedRegion(
        clip, IntRect{dx, dy, source.width(), source.height()}.intersected(bitmapRect(destination)), cut);
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
