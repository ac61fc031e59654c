#pragma once

// The rectangles a window sends to the display after a frame: around the pixels that changed, those
// fewer than `gap` rows apart merged into one (a display takes one large update for less than many
// small ones), but changes far apart (the waves of two headers, one at the top of a page and one at
// the bottom) sent apart, not with all that lies between them.

#include "platform/graphics/Region.h"

#include <vector>

// rects: ordered by their top edge, as a region's rectangles are.
inline std::vector<IntRect> mergedUpdateAreas(const std::vector<IntRect>& rects, int gap) {
    std::vector<IntRect> areas;
    for (const IntRect& rect : rects) {
        if (rect.isEmpty())
            continue;
        if (!areas.empty() && rect.y <= areas.back().bottom() + gap)
            areas.back() = areas.back().united(rect);
        else
            areas.push_back(rect);
    }
    return areas;
}
