#pragma once

// A path's subpaths as runs of points in device pixels: the form the rasterizer's fill and stroke
// outline take. Repeated points are kept (the stroker drops them).

#include "platform/graphics/CGPath.h"

#include <vector>

struct Polyline {
    std::vector<CGPoint> points;
    bool closed = false;
};

// The subpaths of path with every point p mapped to (p.x * scale + dx, p.y * scale + dy). A line or
// close after a close starts a new subpath at the closed subpath's start, as on the device.
std::vector<Polyline> flattenPath(const CGPath& path, double scale, double dx, double dy);
