#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/BitRange.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The cell grid is rendered in bands of rows small enough to stay in the first-level cache while
// the edges are walked and the rows swept (the cells are touched in no useful order).
constexpr int64_t bandBytes = 128 << 10;

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

void PolygonRasterizer::reset(const IntRect& clip) {
    m_clip = clip;
    m_edges.clear();
    m_hasContour = false;
    m_invalid = false;
}

void PolygonRasterizer::moveTo(double x, double y) {
    closeContour();
    if (!std::isfinite(x) || !std::isfinite(y))
        m_invalid = true;
    m_startX = m_lastX = x;
    m_startY = m_lastY = y;
    m_hasContour = true;
}

void PolygonRasterizer::lineTo(double x, double y) {
    if (!m_hasContour) {
        moveTo(x, y);
        return;
    }
    if (!std::isfinite(x) || !std::isfinite(y))
        m_invalid = true;
    if (!m_invalid)
        addClippedEdge(m_lastX, m_lastY, x, y);
    m_lastX = x;
    m_lastY = y;
}

void PolygonRasterizer::closeContour() {
    if (m_hasContour && !m_invalid)
        addClippedEdge(m_lastX, m_lastY, m_startX, m_startY);
    m_hasContour = false;
}

void PolygonRasterizer::addClippedEdge(double x0, double y0, double x1, double y1) {
    if (y0 == y1)
        return;
    double left = m_clip.x, right = m_clip.right(), top = m_clip.y, bottom = m_clip.bottom();
    // The usual edge lies wholly inside the clip.
    if (std::min(y0, y1) >= top && std::max(y0, y1) <= bottom && std::min(x0, x1) >= left &&
        std::max(x0, x1) < right) {
        addEdge(x0, y0, x1, y1);
        return;
    }
    // Rows outside the clip take nothing from the edge.
    if ((y0 <= top && y1 <= top) || (y0 >= bottom && y1 >= bottom))
        return;
    auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    if (y0 < top) {
        x0 = xAt(top);
        y0 = top;
    } else if (y0 > bottom) {
        x0 = xAt(bottom);
        y0 = bottom;
    }
    if (y1 < top) {
        x1 = x0 + (x1 - x0) * ((top - y0) / (y1 - y0));
        y1 = top;
    } else if (y1 > bottom) {
        x1 = x0 + (x1 - x0) * ((bottom - y0) / (y1 - y0));
        y1 = bottom;
    }
    if (y0 == y1)
        return;
    // Columns to the right of the clip never affect those inside it: that part of the edge is
    // dropped. Left of the clip the edge still counts wholly for every pixel to its right, so that
    // part runs down the clip's left side instead.
    int count = 0;
    double cuts[2];
    for (double boundary : {left, right})
        if ((x0 < boundary) != (x1 < boundary) && x0 != x1)
            cuts[count++] = (boundary - x0) / (x1 - x0);
    if (count == 2 && cuts[0] > cuts[1])
        std::swap(cuts[0], cuts[1]);
    double points[4][2];
    int n = 0;
    points[n][0] = x0;
    points[n++][1] = y0;
    for (int i = 0; i < count; ++i) {
        points[n][0] = x0 + (x1 - x0) * cuts[i];
        points[n++][1] = y0 + (y1 - y0) * cuts[i];
    }
    points[n][0] = x1;
    points[n++][1] = y1;
    for (int i = 0; i + 1 < n; ++i) {
        double ax = points[i][0], ay = points[i][1], bx = points[i + 1][0], by = points[i + 1][1];
        double mid = (ax + bx) / 2;
        if (mid >= right)
            continue;
        if (mid <= left)
            ax = bx = left;
        ax = std::clamp(ax, left, right);
        bx = std::clamp(bx, left, right);
        if (ay != by)
            addEdge(ax, ay, bx, by);
    }
}

void PolygonRasterizer::addEdge(double ax, double ay, double bx, double by) {
    float sign = 1;
    if (ay > by) {
        std::swap(ax, bx);
        std::swap(ay, by);
        sign = -1;
    }
    double slope = (bx - ax) / (by - ay);
    float perUnit = slope != 0 ? static_cast<float>(sign / std::fabs(slope)) : 0.0f;
    m_edges.push_back({ax, ay, by, slope, sign, perUnit});
}

namespace {

// Marks cells first to last (inclusive) of a row as touched, and their words in the row's summary.
inline void markTouched(uint64_t* touched, uint64_t* touchedWords, int first, int last) {
    int w0 = first >> 6, w1 = last >> 6;
    // Most ranges lie in one word, marked here at the least cost.
    if (w0 == w1) {
        touched[w0] |= (~uint64_t{0} << (first & 63)) & (~uint64_t{0} >> (63 - (last & 63)));
        touchedWords[w0 >> 6] |= uint64_t{1} << (w0 & 63);
        return;
    }
    setBits(touched, first, last);
    for (int w = w0; w <= w1; ++w)
        touchedWords[w >> 6] |= uint64_t{1} << (w & 63);
}

} // namespace

void PolygonRasterizer::accumulate(const RowCells& row, float xl, float xr, float dy, float perUnit) {
    Cell* cells = row.cells;
    // A piece of the edge inside one cell: its rise, and how far across the cell it lies on average
    // (the part of the rise the cells to the right get instead).
    auto add = [&](int column, float rise, float across) {
        cells[column].cover += rise;
        cells[column].area += rise * across;
    };
    // Grid coordinates are never negative and never past the grid's width, so truncation is the
    // floor and both columns are cells of the row.
    int c0 = static_cast<int>(xl);
    int c1 = static_cast<int>(xr);
    if (c0 == c1 || xr - xl < 1e-6f) {
        add(c0, dy, (xl + xr) * 0.5f - static_cast<float>(c0));
        markTouched(row.touched, row.touchedWords, c0, c0);
        return;
    }
    // The rise is shared among the columns in proportion to the width crossed in each (perUnit per
    // unit of width, the same all along the edge); a column crossed from side to side takes the
    // same share, centred in it.
    float firstWidth = static_cast<float>(c0 + 1) - xl;
    add(c0, perUnit * firstWidth, 1.0f - firstWidth * 0.5f);
    float half = perUnit * 0.5f;
    for (int c = c0 + 1; c < c1; ++c) {
        cells[c].cover += perUnit;
        cells[c].area += half;
    }
    float lastWidth = xr - static_cast<float>(c1);
    if (lastWidth > 0)
        add(c1, perUnit * lastWidth, lastWidth * 0.5f);
    markTouched(row.touched, row.touchedWords, c0, lastWidth > 0 ? c1 : c1 - 1);
}

template <bool Rightward> void PolygonRasterizer::walkEdge(const Edge& edge, int bandTop, int bandBottom) {
    // In the band's cells: x from the grid's left, y from the band's top, neither negative.
    double top = std::max(edge.yTop, static_cast<double>(bandTop));
    double bottom = std::min(edge.yBottom, static_cast<double>(bandBottom));
    if (bottom <= top)
        return;
    double xOrigin = edge.xTop - m_gridLeft - edge.yTop * edge.slope; // x where y is 0
    double gridRight = m_gridWidth;
    auto xAt = [&](double y) {
        return static_cast<float>(std::clamp(xOrigin + y * edge.slope, 0.0, gridRight));
    };
    int first = static_cast<int>(top) - bandTop;
    int last = static_cast<int>(std::ceil(bottom)) - 1 - bandTop;
    size_t stride = static_cast<size_t>(m_gridWidth + 1);
    RowCells row{m_cells.data() + static_cast<size_t>(first) * stride,
                 m_touched.data() + static_cast<size_t>(first) * static_cast<size_t>(m_wordsPerRow),
                 m_touchedWords.data() +
                     static_cast<size_t>(first) * static_cast<size_t>(m_touchedWordsPerRow)};
    auto next = [&] {
        row.cells += stride;
        row.touched += m_wordsPerRow;
        row.touchedWords += m_touchedWordsPerRow;
    };
    // The piece of the edge in a row, from x at its top to x at its bottom.
    auto piece = [&](float xa, float xb, float dy) {
        if constexpr (Rightward)
            accumulate(row, xa, xb, dy, edge.perUnit);
        else
            accumulate(row, xb, xa, dy, edge.perUnit);
    };
    float xa = xAt(top);
    if (first == last) {
        piece(xa, xAt(bottom), edge.sign * static_cast<float>(bottom - top));
        return;
    }
    // The first row from the edge's top down, the rows between whole, the last down to its bottom.
    double below = static_cast<double>(bandTop + first + 1);
    float xb = xAt(below);
    piece(xa, xb, edge.sign * static_cast<float>(below - top));
    for (int y = first + 1; y < last; ++y) {
        next();
        xa = xb;
        xb = xAt(static_cast<double>(bandTop + y + 1));
        piece(xa, xb, edge.sign);
    }
    next();
    double rowTop = static_cast<double>(bandTop + last);
    if (bottom > rowTop)
        piece(xb, xAt(bottom), edge.sign * static_cast<float>(bottom - rowTop));
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

void PolygonRasterizer::finish(FillRule rule, CoverageMask& mask) {
    closeContour();
    mask.clear();
    if (m_invalid || m_edges.empty() || m_clip.isEmpty()) {
        m_edges.clear();
        return;
    }
    double minX = m_edges[0].xTop, maxX = minX, minY = m_edges[0].yTop, maxY = m_edges[0].yBottom;
    for (const Edge& e : m_edges) {
        double xBottom = e.xTop + (e.yBottom - e.yTop) * e.slope;
        minX = std::min({minX, e.xTop, xBottom});
        maxX = std::max({maxX, e.xTop, xBottom});
        minY = std::min(minY, e.yTop);
        maxY = std::max(maxY, e.yBottom);
    }
    IntRect box{static_cast<int>(std::floor(minX)), static_cast<int>(std::floor(minY)), 0, 0};
    box.width = static_cast<int>(std::ceil(maxX)) - box.x + 1;
    box.height = static_cast<int>(std::ceil(maxY)) - box.y;
    box = box.intersected(m_clip);
    if (box.isEmpty()) {
        m_edges.clear();
        return;
    }
    m_gridLeft = box.x;
    m_gridWidth = box.width;
    m_wordsPerRow = (m_gridWidth + 1 + 63) / 64;
    int64_t rowBytes = static_cast<int64_t>(m_gridWidth + 1) * static_cast<int64_t>(sizeof(Cell));
    int bandRows = static_cast<int>(std::clamp<int64_t>(bandBytes / rowBytes, 2, box.height));
    size_t cells = static_cast<size_t>(m_gridWidth + 1) * static_cast<size_t>(bandRows);
    // Grown with zeros; the sweep leaves every cell it used at zero again.
    if (m_cells.size() < cells)
        m_cells.assign(cells, Cell{});
    size_t words = static_cast<size_t>(m_wordsPerRow) * static_cast<size_t>(bandRows);
    if (m_touched.size() < words)
        m_touched.assign(words, 0);
    m_touchedWordsPerRow = (m_wordsPerRow + 63) / 64;
    size_t wordBits = static_cast<size_t>(m_touchedWordsPerRow) * static_cast<size_t>(bandRows);
    if (m_touchedWords.size() < wordBits)
        m_touchedWords.assign(wordBits, 0);
    // Edges grouped by the band their top lies in (a counting sort); each band walks only the
    // edges that reach into it.
    int bands = (box.height + bandRows - 1) / bandRows;
    auto bandOf = [&](const Edge& e) {
        return static_cast<size_t>(
            std::clamp((static_cast<int>(std::floor(e.yTop)) - box.y) / bandRows, 0, bands - 1));
    };
    m_bandStart.assign(static_cast<size_t>(bands) + 1, 0);
    for (const Edge& e : m_edges)
        ++m_bandStart[bandOf(e) + 1];
    for (size_t i = 1; i < m_bandStart.size(); ++i)
        m_bandStart[i] += m_bandStart[i - 1];
    m_bandOrder.resize(m_edges.size());
    {
        std::vector<uint32_t>& fill = m_active; // borrowed as the next free slot of each band
        fill.assign(m_bandStart.begin(), m_bandStart.end() - 1);
        for (uint32_t i = 0; i < m_edges.size(); ++i)
            m_bandOrder[fill[bandOf(m_edges[i])]++] = i;
    }
    m_active.clear();
    for (int band = 0; band < bands; ++band) {
        int top = box.y + band * bandRows;
        int bottom = std::min(box.bottom(), top + bandRows);
        m_gridTop = top;
        m_gridHeight = bottom - top;
        for (uint32_t i = m_bandStart[static_cast<size_t>(band)];
             i < m_bandStart[static_cast<size_t>(band) + 1]; ++i)
            m_active.push_back(m_bandOrder[i]);
        size_t kept = 0;
        for (uint32_t index : m_active) {
            const Edge& e = m_edges[index];
            if (e.slope >= 0)
                walkEdge<true>(e, top, bottom);
            else
                walkEdge<false>(e, top, bottom);
            if (e.yBottom > bottom)
                m_active[kept++] = index;
        }
        m_active.resize(kept);
        if (rule == FillRule::EvenOdd)
            sweep<FillRule::EvenOdd>(top, bottom, mask);
        else
            sweep<FillRule::NonZero>(top, bottom, mask);
    }
    m_edges.clear();
}
