#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/BitRange.h"

#include <algorithm>
#include <cmath>

namespace {

// The cell grid is rendered in bands of rows small enough to stay in the first-level cache while
// the edges are walked and the rows swept (the cells are touched in no useful order).
constexpr int64_t bandBytes = 128 << 10;

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
