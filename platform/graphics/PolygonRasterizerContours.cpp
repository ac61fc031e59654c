// Contours as the rasterizer takes them: points in device pixels, closed, clipped to the clip
// rectangle and stored as edges from their top down.

#include "platform/graphics/PolygonRasterizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
