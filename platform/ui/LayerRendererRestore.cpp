// Repainting under coverage. A wave that moves changes only the pixels under the coverage it had
// and the coverage it has; its footprint, the rectangles the damage is made of, holds several times
// as many. When nothing else changed, nothing else is drawn in the damage, and an opaque layer
// drawn as it stands (a wallpaper) lies under it all, the pixels of the damage outside that coverage
// already show the opaque layer and nothing above it: only the pixels under the coverage are
// restored from it before the shapes are painted again.

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

bool LayerRenderer::canRestoreUnderCoverage(const OpaqueCover& floor) const {
    if (!floor.plain || m_restore.shapes.empty())
        return false;
    // Copying under many shapes that lie over one another costs more than copying the damage once.
    int64_t covered = 0;
    for (const CoverageMask* mask : m_restore.masks)
        covered += static_cast<int64_t>(mask->coverage().size());
    if (covered > m_damage.area() / 2)
        return false;
    IntRect damage = m_damage.bounds();
    // Nothing above the floor but the changed shapes may be drawn in the damage. A group they lie
    // in may: outside their coverage it holds nothing, and compositing nothing changes nothing.
    for (const auto& [serial, entry] : m_entries) {
        if (entry->seen != m_frame || entry->order <= floor.order || entry->footprint.isEmpty() ||
            entry->footprint.bounds().intersected(damage).isEmpty())
            continue;
        if (std::find(m_restore.shapes.begin(), m_restore.shapes.end(), entry.get()) !=
            m_restore.shapes.end())
            continue;
        Region overlap = entry->footprint;
        overlap.intersect(m_damage);
        if (!overlap.isEmpty())
            return false;
    }
    return true;
}

void LayerRenderer::collectRestoredCoverage() {
    m_restore.masks.clear();
    for (const Entry* shape : m_restore.shapes)
        for (const CoverageMask* mask :
             {&shape->previousFill, &shape->previousStroke, &shape->fill, &shape->stroke})
            if (!mask->isEmpty())
                m_restore.masks.push_back(mask);
}

void LayerRenderer::restoreUnderCoverage(const OpaqueCover& floor, Bitmap& target) {
    const std::vector<const CoverageMask*>& masks = m_restore.masks;
    CALayer* layer = floor.layer;
    Entry& entry = *floor.entry;
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
