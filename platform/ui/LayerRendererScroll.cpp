// Scrolling: the pixels of a layer whose content only moved are moved with it, and only what the
// move uncovered, and what lies above it, is drawn again.

#include "platform/ui/LayerRenderer.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"

#include <cmath>
#include <cstring>

using namespace layer_rules;

Region LayerRenderer::shiftedInto(const Region& region, const Scroll& scroll) {
    Region moved = region;
    moved.translate(scroll.dx, scroll.dy);
    moved.intersect(scroll.clip);
    return moved;
}

void LayerRenderer::applyScroll(const Scroll& scroll) {
    // Move the pixels inside the clip; rows are walked so that none is overwritten before it is read.
    const IntRect& c = scroll.clip;
    IntRect source = IntRect{c.x - scroll.dx, c.y - scroll.dy, c.width, c.height}.intersected(c);
    int destX = source.x + scroll.dx, width = source.width;
    if (!source.isEmpty()) {
        auto copyRow = [&](int y) {
            std::memmove(m_bitmap.row(y + scroll.dy) + destX, m_bitmap.row(y) + source.x,
                         static_cast<size_t>(width) * 4);
        };
        if (scroll.dy > 0)
            for (int y = source.bottom() - 1; y >= source.y; --y)
                copyRow(y);
        else
            for (int y = source.y; y < source.bottom(); ++y)
                copyRow(y);
    }
    // What the move uncovered; and whatever is drawn above the scrolled layer, both where it lies now
    // and where the move carried the pixels it had drawn.
    Region uncovered(c);
    uncovered.subtract(
        Region(IntRect{source.x + scroll.dx, source.y + scroll.dy, source.width, source.height}));
    m_damage.unite(uncovered);
    for (const auto& [serial, entry] : m_entries) {
        if (entry->seen == m_frame && entry->order > scroll.subtreeEnd) {
            Region above = entry->footprint;
            above.intersect(c);
            m_damage.unite(above);
            m_damage.unite(shiftedInto(previousFootprint(*entry), scroll));
        }
    }
}

bool LayerRenderer::canScroll(CALayer* layer, const Entry& entry, const Context& context, double left,
                              double top, const IntRect& clip, double originX, double originY) const {
    // The moved pixels must be the layer's and its sublayers' alone: it clips to its bounds, fills
    // them with an opaque colour, is drawn straight into the screen, and has not moved itself.
    UIColor* background = layer->backgroundColor();
    double dx = originX - entry.originX, dy = originY - entry.originY;
    return !m_fullRepaint && layer->masksToBounds() && background && background->alpha() >= 1 &&
           !layer->contents() && !needsGroup(layer) && layer->opacity() >= 1 && context.opacity >= 1 &&
           context.maskStamp == 0 && entry.clip == clip && entry.left == left && entry.top == top &&
           !clip.isEmpty() && std::fabs(dx - std::round(dx)) < 1e-6 &&
           std::fabs(dy - std::round(dy)) < 1e-6 && std::fabs(dx) < clip.width && std::fabs(dy) < clip.height;
}
