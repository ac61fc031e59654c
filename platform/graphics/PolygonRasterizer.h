#pragma once

// Scan conversion with exact area coverage: each pixel's coverage is the area of the pixel that
// the shape covers (not a sample count), computed from the shape's edges. Contours are given in
// device pixels and clipped to a rectangle. The work is proportional to the pixels the edges cross
// plus the pixels inside, not to the shape's bounding box: the cells the edges touch are marked in
// one bit per pixel, and the sweep of each row visits only those.

#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Region.h"

#include <cstdint>
#include <vector>

enum class FillRule { NonZero, EvenOdd };

class PolygonRasterizer {
public:
    // Starts a new shape clipped to clip.
    void reset(const IntRect& clip);
    // A move starts a new contour; every contour is closed by a straight edge back to its start.
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    // Renders the contours given since reset into mask (cleared first). A shape with a point that
    // is not a finite number renders nothing.
    void finish(FillRule rule, CoverageMask& mask);

private:
    // An edge from its top down: x at a height y is xTop + (y - yTop) * slope. sign is +1 for an
    // edge that runs down, -1 for one that runs up.
    struct Edge {
        double xTop, yTop, yBottom, slope;
        float sign, perUnit; // perUnit: the signed rise per unit of width crossed
    };
    void closeContour();
    void addClippedEdge(double x0, double y0, double x1, double y1);
    // An edge inside the clip, from one point to the other (not level).
    void addEdge(double ax, double ay, double bx, double by);
    struct Cell;
    // One row of the band: its cells and touched bits.
    struct RowCells {
        Cell* cells;
        uint64_t* touched;
        uint64_t* touchedWords;
    };
    // Rightward: x grows down the edge.
    template <bool Rightward> void walkEdge(const Edge& edge, int bandTop, int bandBottom);
    // The piece of an edge in one row, from xl to xr (xl <= xr), rising dy.
    inline void accumulate(const RowCells& row, float xl, float xr, float dy, float perUnit);
    template <FillRule Rule> void sweep(int bandTop, int bandBottom, CoverageMask& mask);

    IntRect m_clip;
    std::vector<Edge> m_edges;
    std::vector<uint32_t> m_bandOrder; // edges by the band their top lies in
    std::vector<uint32_t> m_bandStart;
    std::vector<uint32_t> m_active;
    bool m_hasContour = false;
    bool m_invalid = false;
    double m_startX = 0, m_startY = 0, m_lastX = 0, m_lastY = 0;

    // The cell grid of the band being rendered: (width + 1) columns per row, all zero between uses.
    int m_gridLeft = 0, m_gridTop = 0, m_gridWidth = 0, m_gridHeight = 0;
    struct Cell {
        float cover; // the rise of the edges in the cell
        float area;  // the part of it that belongs to the cells to the right
    };
    template <FillRule Rule> static float sweepCells(Cell* cells, int count, float acc, uint8_t* out);
    std::vector<Cell> m_cells;
    // A bit for each cell an edge touched; in m_touchedWords, a bit for each word of m_touched with
    // a bit set, so that the sweep goes straight to them.
    std::vector<uint64_t> m_touched;
    int m_wordsPerRow = 0;
    std::vector<uint64_t> m_touchedWords;
    int m_touchedWordsPerRow = 0;
};
