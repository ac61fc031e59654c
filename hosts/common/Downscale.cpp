#include "hosts/common/Downscale.h"
#include "platform/graphics/BitRange.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The sums of up to 16 channel values are divided by a multiplication and a shift, exact for every
// such sum (a division per channel and pixel would cost more than all the rest).
template <int K> constexpr uint32_t reciprocal = (65536 + K * K - 1) / (K * K);

// Red and blue, and green alone, summed two lanes at a time: up to 16 device pixels of 255 fit a
// 16-bit lane. With K known the loops unroll.
template <int K> uint32_t meanOf(const uint32_t* const* rows, int x) {
    uint32_t redBlue = 0, green = 0;
    for (int v = 0; v < K; ++v)
        for (int u = 0; u < K; ++u) {
            uint32_t p = rows[v][x * K + u];
            redBlue += p & 0x00FF00FFu;
            green += p & 0x0000FF00u;
        }
    uint32_t r = ((redBlue >> 16) * reciprocal<K>) >> 16, b = ((redBlue & 0xFFFFu) * reciprocal<K>) >> 16,
             g = ((green >> 8) * reciprocal<K>) >> 16;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

#if defined(__SSE2__)
// Four window pixels from twelve columns of three rows: the columns summed down first, then each
// window pixel's three columns brought into one lane by shuffles and added.
int meanOfThreeFourAtATime(const uint32_t* const* rows, int x, int x1, uint32_t* out) {
    const __m128i redBlueMask = _mm_set1_epi32(0x00FF00FF), greenMask = _mm_set1_epi32(0x0000FF00);
    const __m128i divide = _mm_set1_epi16(static_cast<short>(reciprocal<3>));
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    auto pick = [](__m128i a, __m128i b, auto lanes) {
        return _mm_castps_si128(
            _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), decltype(lanes)::value));
    };
    for (; x + 4 <= x1; x += 4) {
        __m128i redBlue[3], green[3];
        for (int part = 0; part < 3; ++part) {
            __m128i rb = _mm_setzero_si128(), g = _mm_setzero_si128();
            for (int v = 0; v < 3; ++v) {
                __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[v] + x * 3 + part * 4));
                rb = _mm_add_epi32(rb, _mm_and_si128(p, redBlueMask));
                g = _mm_add_epi32(g, _mm_and_si128(p, greenMask));
            }
            redBlue[part] = rb;
            green[part] = g;
        }
        // Columns 0..11 in parts A (0-3), B (4-7), C (8-11); window pixel j takes 3j, 3j+1, 3j+2.
        auto columnsOfThree = [&](const __m128i* s) {
            const __m128i a = s[0], b = s[1], c = s[2];
            using First = std::integral_constant<int, _MM_SHUFFLE(1, 1, 2, 2)>;    // b2 b2 c1 c1
            using Pick0 = std::integral_constant<int, _MM_SHUFFLE(2, 0, 3, 0)>;    // a0 a3 u0 u2
            using Lift = std::integral_constant<int, _MM_SHUFFLE(0, 0, 1, 1)>;     // a1 a1 b0 b0
            using Late = std::integral_constant<int, _MM_SHUFFLE(2, 2, 3, 3)>;     // b3 b3 c2 c2
            using Even = std::integral_constant<int, _MM_SHUFFLE(2, 0, 2, 0)>;     // x0 x2 y0 y2
            using Mid = std::integral_constant<int, _MM_SHUFFLE(1, 1, 2, 2)>;      // a2 a2 b1 b1
            using Ends = std::integral_constant<int, _MM_SHUFFLE(3, 3, 0, 0)>;     // c0 c0 c3 c3
            __m128i first = pick(a, pick(b, c, First{}), Pick0{});                 // 0 3 6 9
            __m128i second = pick(pick(a, b, Lift{}), pick(b, c, Late{}), Even{}); // 1 4 7 10
            __m128i third = pick(pick(a, b, Mid{}), pick(c, c, Ends{}), Even{});   // 2 5 8 11
            return _mm_add_epi32(_mm_add_epi32(first, second), third);
        };
        __m128i rb = _mm_mulhi_epu16(columnsOfThree(redBlue), divide);
        __m128i g = _mm_mulhi_epu16(_mm_srli_epi32(columnsOfThree(green), 8), divide);
        __m128i pixels = _mm_or_si128(_mm_or_si128(rb, _mm_slli_epi32(g, 8)), opaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), pixels);
    }
    return x;
}
#endif

template <int K>
void downscale(const Bitmap& device, uint8_t* window, size_t pitch, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(window + static_cast<size_t>(y) * pitch);
        const uint32_t* rows[K];
        for (int v = 0; v < K; ++v)
            rows[v] = device.row(y * K + v);
        int x = x0;
#if defined(__SSE2__)
        if constexpr (K == 3)
            x = meanOfThreeFourAtATime(rows, x, x1, out);
#endif
        for (; x < x1; ++x)
            out[x] = meanOf<K>(rows, x);
    }
}

} // namespace

void downscaleByWholeFactor(const Bitmap& device, uint8_t* window, size_t pitch, int x0, int y0, int x1,
                            int y1, int k) {
    switch (k) {
    case 1:
        downscale<1>(device, window, pitch, x0, y0, x1, y1);
        break;
    case 2:
        downscale<2>(device, window, pitch, x0, y0, x1, y1);
        break;
    case 3:
        downscale<3>(device, window, pitch, x0, y0, x1, y1);
        break;
    default:
        downscale<4>(device, window, pitch, x0, y0, x1, y1);
        break;
    }
}

void downscaleUnderCoverage(const Bitmap& device, uint8_t* window, size_t pitch,
                            std::span<const CoverageMask* const> masks, int k) {
    if (k < 1 || masks.empty())
        return;
    // The window rows the masks reach, and in each a bit for every window pixel they touch.
    int top = device.height(), bottom = 0;
    for (const CoverageMask* mask : masks)
        if (!mask->isEmpty()) {
            IntRect b = mask->bounds().intersected({0, 0, device.width(), device.height()});
            if (!b.isEmpty()) {
                top = std::min(top, b.y / k);
                bottom = std::max(bottom, (b.bottom() + k - 1) / k);
            }
        }
    if (top >= bottom)
        return;
    int columns = device.width() / k;
    size_t words = (static_cast<size_t>(columns) + 63) / 64;
    std::vector<uint64_t> touched(words * static_cast<size_t>(bottom - top), 0);
    for (const CoverageMask* mask : masks)
        for (const CoverageSpan& span : mask->spans()) {
            int first = std::max(span.x, 0), last = std::min(span.x + span.length, columns * k) - 1;
            if (span.y < 0 || span.y / k >= bottom || last < first)
                continue;
            setBits(touched.data() + static_cast<size_t>(span.y / k - top) * words, first / k, last / k);
        }
    // Each stretch of touched pixels of a row is reduced at once.
    for (int y = top; y < bottom; ++y) {
        const uint64_t* row = touched.data() + static_cast<size_t>(y - top) * words;
        int start = -1;
        for (size_t w = 0; w <= words; ++w) {
            uint64_t bits = w < words ? row[w] : 0;
            int base = static_cast<int>(w) * 64;
            // Walk the edges between touched and untouched pixels in this word.
            uint64_t edges = bits ^ (bits << 1) ^ (start >= 0 ? 1 : 0);
            for (; edges; edges &= edges - 1) {
                int x = base + __builtin_ctzll(edges);
                if (start < 0) {
                    start = x;
                } else {
                    downscaleByWholeFactor(device, window, pitch, start, y, x, y + 1, k);
                    start = -1;
                }
            }
        }
    }
}
