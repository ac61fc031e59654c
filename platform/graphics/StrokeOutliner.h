#pragma once

// The outline of a stroked polyline as closed contours for the polygon rasterizer: each open
// subpath becomes one contour (one side forward, the end cap, the other side back, the start cap),
// each closed subpath two (one per side). At a join the inner side meets at the intersection of its
// offset lines and the outer side gets the miter, bevel or round join; filled with the non-zero
// rule, the contours cover exactly the union of the segments, joins and caps.
//
// The inner intersection stands for the union only while it lies on both segments (a join turns
// gently enough for the segment lengths). Where it does not, or a join turns back on itself, the
// outliner declines and the caller strokes the path another way.

#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/Polyline.h"

#include <vector>

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };

struct StrokeStyle {
    double width = 1; // device pixels
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    double miterLimit = 10; // a miter longer than this many half widths becomes a bevel
};

// Adds the outline of every subpath to rasterizer. False (with possibly some contours added) when
// the outline cannot represent the stroke; a width that is not positive adds nothing.
bool outlineStroke(const std::vector<Polyline>& subpaths, const StrokeStyle& style,
                   PolygonRasterizer& rasterizer);
