// Repainting under coverage. A wave that moves changes only the pixels under the coverage it had
// and the coverage it has; its footprint, the rectangles the damage is made of, holds several times
// as many. When nothing else changed, and each shape lies over an opaque layer drawn as it stands (a
// wallpaper, a header's colour) with nothing else drawn above that layer where the shape was and is,
// the pixels of the damage outside the coverage already show that layer and the shapes over it:
// only the pixels under the coverage are restored from it before the shapes are painted again.

#include "platform/graphics/Compositing.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"

#include <algorithm>

void LayerRenderer::noteChangedForRestore(CALayer* layer, Entry& entry) {
    // The shape's pixels, before and after, must be those of its masks alone.
    bool shape = objc_cast<CAShapeLayer>(layer) != nullptr;
    if (!shape || !entry.drawnByMasks || !entry.previousDrawnByMasks)
        m_restore.possible = false;
    else
        m_restore.shapes.push_back(&entry);
}

bool LayerRenderer::planRestore() {
    std::vector<RestoreFloor>& floors = m_restore.floors;
    floors.clear();
    m_restore.masks.clear();
    // Each shape's floor: the last plain opaque layer under it that covers what it was and is.
    std::vector<std::pair<const Entry*, const OpaqueCover*>> floorOfShape;
    for (Entry* shape : m_restore.shapes) {
        // Only the pixels under its masks change (its footprint may be rounded out beyond them).
        Region area;
        for (const CoverageMask* mask :
             {&shape->previousFill, &shape->previousStroke, &shape->fill, &shape->stroke})
            if (!mask->isEmpty())
                area.unite(mask->bounds());
        if (area.isEmpty())
            continue;
        const OpaqueCover* cover = plainCoverUnder(shape->order, area.bounds());
        if (!cover)
            return false;
        floorOfShape.emplace_back(shape, cover);
        auto found = std::find_if(floors.begin(), floors.end(),
                                  [&](const RestoreFloor& floor) { return floor.cover == cover; });
        if (found == floors.end())
            found = floors.insert(floors.end(), RestoreFloor{cover, {}, {}});
        found->area.unite(area);
        for (const CoverageMask* mask :
             {&shape->previousFill, &shape->previousStroke, &shape->fill, &shape->stroke})
            if (!mask->isEmpty()) {
                found->masks.push_back(mask);
                m_restore.masks.push_back(mask);
            }
    }
    if (floors.empty())
        return false;
    // Copying under many shapes that lie over one another costs more than copying the damage once.
    int64_t covered = 0;
    for (const CoverageMask* mask : m_restore.masks)
        covered += static_cast<int64_t>(mask->coverage().size());
    if (covered > m_damage.area() / 2)
        return false;
    // Above each floor, where its shapes were and are, nothing but those shapes may be drawn: not
    // another floor's shapes, nor another floor. A group they lie in may: outside their coverage it
    // holds nothing, and compositing nothing changes nothing.
    for (const RestoreFloor& floor : floors) {
        IntRect bounds = floor.area.bounds();
        for (const auto& [serial, entry] : m_entries) {
            if (entry->seen != m_frame || entry->order <= floor.cover->order || entry->footprint.isEmpty() ||
                entry->footprint.bounds().intersected(bounds).isEmpty())
                continue;
            const Entry* layer = entry.get();
            if (std::find(floorOfShape.begin(), floorOfShape.end(), std::make_pair(layer, floor.cover)) !=
                floorOfShape.end())
                continue;
            Region overlap = entry->footprint;
            overlap.intersect(floor.area);
            if (!overlap.isEmpty())
                return false;
        }
    }
    return true;
}

const LayerRenderer::RestoreFloor* LayerRenderer::restoreFloorOf(const Entry& entry) const {
    for (const RestoreFloor& floor : m_restore.floors)
        if (floor.cover->entry == &entry)
            return &floor;
    return nullptr;
}

bool LayerRenderer::opaqueInSubtree(const Entry& entry, const IntRect& rect) const {
    auto inside = [&](const OpaqueCover& cover) {
        return cover.order >= entry.order && cover.order <= entry.subtreeEnd &&
               cover.rect.intersected(rect) == rect;
    };
    if (m_restore.active)
        return std::any_of(m_restore.floors.begin(), m_restore.floors.end(),
                           [&](const RestoreFloor& floor) { return inside(*floor.cover); });
    return std::any_of(m_opaqueCovers.begin(), m_opaqueCovers.end(), inside);
}

void LayerRenderer::restoreUnderCoverage(const RestoreFloor& floor, Bitmap& target) {
    const std::vector<const CoverageMask*>& masks = floor.masks;
    CALayer* layer = floor.cover->layer;
    Entry& entry = *floor.cover->entry;
    if (CGImage* image = layer->contents()) {
        CGRect bounds = layer->bounds();
        IntRect rect = layer_rules::enclosingPixels(
            entry.originX + bounds.origin.x * m_scale, entry.originY + bounds.origin.y * m_scale,
            bounds.size.width * m_scale, bounds.size.height * m_scale);
        bool opaque = false;
        if (const Bitmap* pixels = imagePixels(image, entry, rect, opaque))
            copyUnderCoverage(target, *pixels, rect.x, rect.y, masks);
        return;
    }
    fillUnderCoverage(target, premultipliedPixel(layer->backgroundColor()->cgColor()), masks);
}
