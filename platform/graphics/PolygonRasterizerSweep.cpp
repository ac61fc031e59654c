// The sweep of the cell grid: each row's cells turned into coverage bytes, left to right, with the
// running sum of the edges' rises carrying the inside of the shape between touched cells.

#include "platform/graphics/PolygonRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <FillRule Rule> uint8_t toByte(float coverage) {
    float a = std::fabs(coverage);
    if constexpr (Rule == FillRule::EvenOdd) {
        a = std::fmod(a, 2.0f);
        if (a > 1.0f)
            a = 2.0f - a;
    } else {
        a = std::min(a, 1.0f);
    }
    return static_cast<uint8_t>(a * 255.0f + 0.5f);
}

// Writes a row's pixels into the mask, up to the clip's right side. Runs between touched cells are
// stored only when they are covered.
class RowWriter {
public:
    RowWriter(CoverageMask& mask, int y, int limit) : m_mask(mask), m_y(y), m_limit(limit) {}

    // Room for count cells from x on; stored even where the coverage rounds to 0, which costs
    // nothing to paint and spares a branch the processor cannot predict.
    uint8_t* reserve(int x, int count) {
        count = std::min(count, m_limit - x);
        return count > 0 ? m_mask.extend(m_y, x, count) : nullptr;
    }
    void run(int x, int count, uint8_t value) {
        count = std::min(count, m_limit - x);
        if (count > 0 && value)
            m_mask.appendRun(m_y, x, value, count);
    }

private:
    CoverageMask& m_mask;
    int m_y;
    int m_limit;
};

} // namespace

// Coverage bytes of count neighbouring cells of a row, given the row's running sum before them; the
// cells are cleared and the sum after them is answered. Four at a time: the running sum is a prefix
// sum within each group of four, then the whole group is turned into bytes at once.
template <FillRule Rule>
[[gnu::always_inline]] inline float PolygonRasterizer::sweepCells(Cell* cells, int count, float acc,
                                                                  uint8_t* out) {
    int i = 0;
#if defined(__SSE2__)
    if constexpr (Rule == FillRule::NonZero) {
        const __m128 sign = _mm_set1_ps(-0.0f), one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(255.0f),
                     half = _mm_set1_ps(0.5f);
        __m128 running = _mm_set1_ps(acc);
        // Four cells from `at` on: their bytes, the cells cleared, the running sum after them.
        auto four = [&](int at) {
            float* pair = reinterpret_cast<float*>(cells + at);
            __m128 a = _mm_loadu_ps(pair), b = _mm_loadu_ps(pair + 4); // c0 a0 c1 a1 | c2 a2 c3 a3
            __m128 cover = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
            __m128 area = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
            __m128 sum = _mm_add_ps(cover, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(cover), 4)));
            sum = _mm_add_ps(sum, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(sum), 8)));
            sum = _mm_add_ps(sum, running);
            __m128 value = _mm_min_ps(_mm_andnot_ps(sign, _mm_sub_ps(sum, area)), one);
            __m128i bytes = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(value, scale), half));
            bytes = _mm_packs_epi32(bytes, bytes);
            bytes = _mm_packus_epi16(bytes, bytes);
            running = _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(3, 3, 3, 3));
            _mm_storeu_ps(pair, _mm_setzero_ps());
            _mm_storeu_ps(pair + 4, _mm_setzero_ps());
            return static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
        };
        for (; i + 4 <= count; i += 4) {
            uint32_t bytes = four(i);
            std::memcpy(out + i, &bytes, 4);
        }
        if (i < count && count >= 4) {
            // The last cells with the four that end the run: those already swept are cleared, so the
            // running sum passes them unchanged, and the bytes written for them are kept.
            int start = count - 4;
            uint32_t kept, bytes = four(start);
            std::memcpy(&kept, out + start, 4);
            uint32_t keep = (uint32_t{1} << (8 * (i - start))) - 1;
            bytes = (kept & keep) | (bytes & ~keep);
            std::memcpy(out + start, &bytes, 4);
            i = count;
        }
        acc = _mm_cvtss_f32(running);
    }
#endif
    for (; i < count; ++i) {
        out[i] = toByte<Rule>(acc + cells[i].cover - cells[i].area);
        acc += cells[i].cover;
        cells[i] = {};
    }
    return acc;
}

template <FillRule Rule> void PolygonRasterizer::sweep(int bandTop, int bandBottom, CoverageMask& mask) {
    size_t stride = static_cast<size_t>(m_gridWidth + 1);
    for (int row = 0; row < bandBottom - bandTop; ++row) {
        Cell* cells = m_cells.data() + static_cast<size_t>(row) * stride;
        uint64_t* touched = m_touched.data() + static_cast<size_t>(row) * static_cast<size_t>(m_wordsPerRow);
        // Edges beyond the clip's right side were dropped, so a row may end still inside the shape:
        // the last run then goes on to the clip's edge.
        int limit = m_clip.right();
        RowWriter writer(mask, bandTop + row, limit);
        float acc = 0;
        int next = 0;
        uint64_t* touchedWords =
            m_touchedWords.data() + static_cast<size_t>(row) * static_cast<size_t>(m_touchedWordsPerRow);
        for (int group = 0; group < m_touchedWordsPerRow; ++group)
            for (uint64_t words = std::exchange(touchedWords[group], 0); words; words &= words - 1) {
                int word = group * 64 + __builtin_ctzll(words);
                uint64_t bits = std::exchange(touched[word], 0);
                if (!bits)
                    continue;
                // The word's cells from its first touched one to its last, swept together: the cells
                // between carry the running sum (the shape's inside or outside), and one straight pass
                // costs less than finding each run.
                int first = __builtin_ctzll(bits);
                int count = 64 - __builtin_clzll(bits) - first;
                int column = word * 64 + first;
                if (column > next)
                    writer.run(m_gridLeft + next, column - next, toByte<Rule>(acc));
                int usable = std::min(count, m_gridWidth - column);
                if (uint8_t* out = usable > 0 ? writer.reserve(m_gridLeft + column, usable) : nullptr)
                    acc = sweepCells<Rule>(cells + column, usable, acc, out);
                // A cell in the column just past the grid only collects edges the clip cut off.
                for (int i = std::max(usable, 0); i < count; ++i) {
                    acc += cells[column + i].cover;
                    cells[column + i] = {};
                }
                next = column + count;
            }
        if (m_gridLeft + next < limit)
            writer.run(m_gridLeft + next, limit - (m_gridLeft + next), toByte<Rule>(acc));
    }
}

template void PolygonRasterizer::sweep<FillRule::NonZero>(int, int, CoverageMask&);
template void PolygonRasterizer::sweep<FillRule::EvenOdd>(int, int, CoverageMask&);
