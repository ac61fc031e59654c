#include "platform/graphics/PolygonRasterizer.h"

#include <algorithm>
#include <cmath>

namespace {

// The cell grid is rendered in bands of rows small enough to stay in the first-level cache while
// the edges are walked and the rows swept (the cells are touched in no useful order).
constexpr int64_t bandBytes = 32 << 10;

uint8_t toByte(float coverage, FillRule rule) {
    float a = std::fabs(coverage);
    if (rule == FillRule::EvenOdd) {
        a = std::fmod(a, 2.0f);
        if (a > 1.0f)
            a = 2.0f - a;
    } else if (a > 1.0f) {
        a = 1.0f;
    }
    return static_cast<uint8_t>(a * 255.0f + 0.5f);
}

// Collects a row's pixels into spans of the mask. Runs between touched cells are stored only when
// they are covered.
class RowWriter {
public:
    RowWriter(CoverageMask& mask, std::vector<uint8_t>& buffer, int y, int limit)
        : m_mask(mask), m_buffer(buffer), m_y(y), m_limit(limit) {}
    ~RowWriter() { flush(); }

    // Room for count cells the edges touched, from x on; stored even where the coverage rounds to
    // 0, which costs nothing to paint and spares a branch the processor cannot predict.
    uint8_t* reserve(int x, int count) {
        count = std::min(count, m_limit - x);
        if (count <= 0)
            return nullptr;
        if (m_count && x != m_start + m_count)
            flush();
        if (!m_count)
            m_start = x;
        uint8_t* at = m_buffer.data() + m_count;
        m_count += count;
        return at;
    }
    void run(int x, int count, uint8_t value) {
        count = std::min(count, m_limit - x);
        if (count <= 0)
            return;
        if (!value) {
            flush();
            return;
        }
        if (m_count && x != m_start + m_count)
            flush();
        if (!m_count)
            m_start = x;
        std::fill_n(m_buffer.begin() + m_count, count, value);
        m_count += count;
    }
    void flush() {
        if (m_count)
            m_mask.append(m_y, m_start, m_buffer.data(), m_count);
        m_count = 0;
    }

private:
    CoverageMask& m_mask;
    std::vector<uint8_t>& m_buffer;
    int m_y;
    int m_limit;
    int m_start = 0;
    int m_count = 0;
};

} // namespace

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
    // Rows outside the clip take nothing from the edge.
    double top = m_clip.y, bottom = m_clip.bottom();
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
    double left = m_clip.x, right = m_clip.right();
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
            m_edges.push_back({ax, ay, bx, by});
    }
}

void PolygonRasterizer::accumulate(int row, double xa, double xb, double dy, double perUnit) {
    Cell* cells = m_cells.data() + static_cast<size_t>(row) * static_cast<size_t>(m_gridWidth + 1);
    uint64_t* touched = m_touched.data() + static_cast<size_t>(row) * static_cast<size_t>(m_wordsPerRow);
    // A piece of the edge inside one cell: its rise, and how far across the cell it lies on average
    // (the part of the rise the cells to the right get instead).
    auto mark = [&](int column, double rise, double across) {
        cells[column].cover += static_cast<float>(rise);
        cells[column].area += static_cast<float>(rise * across);
        touched[column >> 6] |= uint64_t{1} << (column & 63);
    };
    double xl = std::min(xa, xb), xr = std::max(xa, xb);
    int c0 = std::clamp(static_cast<int>(std::floor(xl)), 0, m_gridWidth);
    int c1 = std::clamp(static_cast<int>(std::floor(xr)), 0, m_gridWidth);
    if (c0 == c1 || xr - xl < 1e-9) {
        mark(c0, dy, (xl + xr) / 2 - c0);
        return;
    }
    // The rise is shared among the columns in proportion to the width crossed in each (perUnit per
    // unit of width, the same all along the edge); a column crossed from side to side takes the
    // same share, centred in it.
    mark(c0, perUnit * (c0 + 1 - xl), (xl + c0 + 1) / 2 - c0);
    float full = static_cast<float>(perUnit), half = static_cast<float>(perUnit * 0.5);
    for (int c = c0 + 1; c < c1; ++c) {
        cells[c].cover += full;
        cells[c].area += half;
    }
    for (int c = c0 + 1; c < c1;) {
        int word = c >> 6, bit = c & 63;
        int count = std::min(64 - bit, c1 - c);
        uint64_t bits = count == 64 ? ~uint64_t{0} : ((uint64_t{1} << count) - 1) << bit;
        touched[word] |= bits;
        c += count;
    }
    if (xr > c1)
        mark(c1, perUnit * (xr - c1), (xr - c1) / 2);
}

void PolygonRasterizer::walkEdge(const Edge& edge, int bandTop, int bandBottom) {
    double x0 = edge.x0 - m_gridLeft, y0 = edge.y0 - bandTop, x1 = edge.x1 - m_gridLeft,
           y1 = edge.y1 - bandTop;
    double sign = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        sign = -1;
    }
    double height = bandBottom - bandTop;
    if (y1 <= 0 || y0 >= height)
        return;
    double slope = (x1 - x0) / (y1 - y0);
    double perUnit = slope != 0 ? sign / std::fabs(slope) : 0;
    int first = std::max(0, static_cast<int>(std::floor(y0)));
    int last = std::min(static_cast<int>(height) - 1, static_cast<int>(std::ceil(y1)) - 1);
    for (int row = first; row <= last; ++row) {
        double ya = std::max(y0, static_cast<double>(row)), yb = std::min(y1, static_cast<double>(row + 1));
        if (yb <= ya)
            continue;
        accumulate(row, x0 + (ya - y0) * slope, x0 + (yb - y0) * slope, sign * (yb - ya), perUnit);
    }
}

void PolygonRasterizer::sweep(int bandTop, int bandBottom, FillRule rule, CoverageMask& mask) {
    size_t stride = static_cast<size_t>(m_gridWidth + 1);
    for (int row = 0; row < bandBottom - bandTop; ++row) {
        Cell* cells = m_cells.data() + static_cast<size_t>(row) * stride;
        uint64_t* touched = m_touched.data() + static_cast<size_t>(row) * static_cast<size_t>(m_wordsPerRow);
        // Edges beyond the clip's right side were dropped, so a row may end still inside the shape:
        // the last run then goes on to the clip's edge.
        int limit = m_clip.right();
        RowWriter writer(mask, m_rowBuffer, bandTop + row, limit);
        float acc = 0;
        int next = 0;
        for (int word = 0; word < m_wordsPerRow; ++word) {
            uint64_t bits = touched[word];
            if (!bits)
                continue;
            touched[word] = 0;
            // Runs of neighbouring touched cells, each swept in one tight loop.
            while (bits) {
                int first = __builtin_ctzll(bits);
                uint64_t rest = ~(bits >> first);
                int count = rest ? __builtin_ctzll(rest) : 64 - first;
                if (count < 64)
                    bits &= ~(((uint64_t{1} << count) - 1) << first);
                else
                    bits = 0;
                int column = word * 64 + first;
                if (column > next)
                    writer.run(m_gridLeft + next, column - next, toByte(acc, rule));
                int usable = std::min(count, m_gridWidth - column);
                if (uint8_t* out = usable > 0 ? writer.reserve(m_gridLeft + column, usable) : nullptr) {
                    for (int i = 0; i < usable; ++i) {
                        Cell& cell = cells[column + i];
                        out[i] = toByte(acc + cell.cover - cell.area, rule);
                        acc += cell.cover;
                        cell = {};
                    }
                }
                // A cell in the column just past the grid only collects edges the clip cut off.
                for (int i = std::max(usable, 0); i < count; ++i) {
                    acc += cells[column + i].cover;
                    cells[column + i] = {};
                }
                next = column + count;
            }
        }
        if (m_gridLeft + next < limit)
            writer.run(m_gridLeft + next, limit - (m_gridLeft + next), toByte(acc, rule));
    }
}

void PolygonRasterizer::finish(FillRule rule, CoverageMask& mask) {
    closeContour();
    mask.clear();
    if (m_invalid || m_edges.empty() || m_clip.isEmpty()) {
        m_edges.clear();
        return;
    }
    double minX = m_edges[0].x0, maxX = minX, minY = m_edges[0].y0, maxY = minY;
    for (const Edge& e : m_edges) {
        minX = std::min({minX, e.x0, e.x1});
        maxX = std::max({maxX, e.x0, e.x1});
        minY = std::min({minY, e.y0, e.y1});
        maxY = std::max({maxY, e.y0, e.y1});
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
    if (m_rowBuffer.size() < static_cast<size_t>(m_clip.right() - m_gridLeft + 1))
        m_rowBuffer.resize(static_cast<size_t>(m_clip.right() - m_gridLeft + 1));
    // Edges in order of their top; each band walks only those that reach into it.
    std::sort(m_edges.begin(), m_edges.end(),
              [](const Edge& a, const Edge& b) { return std::min(a.y0, a.y1) < std::min(b.y0, b.y1); });
    std::vector<const Edge*>& active = m_active;
    active.clear();
    size_t next = 0;
    for (int top = box.y; top < box.bottom(); top += bandRows) {
        int bottom = std::min(box.bottom(), top + bandRows);
        m_gridTop = top;
        m_gridHeight = bottom - top;
        while (next < m_edges.size() && std::min(m_edges[next].y0, m_edges[next].y1) < bottom)
            active.push_back(&m_edges[next++]);
        std::erase_if(active, [top](const Edge* e) { return std::max(e->y0, e->y1) <= top; });
        for (const Edge* e : active)
            walkEdge(*e, top, bottom);
        sweep(top, bottom, rule, mask);
    }
    m_edges.clear();
}
