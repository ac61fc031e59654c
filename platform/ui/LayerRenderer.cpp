#include "platform/ui/LayerRenderer.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/Compositing.h"
#include "platform/graphics/PNGEncoder.h"
#include "platform/ui/CairoLayerDrawing.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"
#include "platform/ui/UIView.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

using namespace layer_rules;

LayerRenderer::LayerRenderer(int pixelWidth, int pixelHeight, double scale, Mode mode, Placement placement)
    : m_width(std::max(pixelWidth, 1)), m_height(std::max(pixelHeight, 1)),
      m_scale(std::isfinite(scale) && scale > 0 ? scale : 1), m_mode(mode),
      m_snapped(placement == Placement::Snapped), m_bitmap(makeSurface(m_width, m_height)) {}

LayerRenderer::LayerRenderer(Bitmap target, double scale, Mode mode, Placement placement)
    : m_width(target.width()), m_height(target.height()),
      m_scale(std::isfinite(scale) && scale > 0 ? scale : 1), m_mode(mode),
      m_snapped(placement == Placement::Snapped), m_bitmap(std::move(target)) {}

ContentPixels LayerRenderer::contentPixelsOf(const CALayer* layer, const Entry& entry) const {
    CGRect bounds = layer->bounds();
    return contentPixels(entry.originX + bounds.origin.x * m_scale, entry.originY + bounds.origin.y * m_scale,
                         bounds.size.width * m_scale, bounds.size.height * m_scale, m_snapped);
}

LayerRenderer::~LayerRenderer() = default;

void LayerRenderer::setBackground(uint32_t pixel) {
    if (pixel != m_background) {
        m_background = pixel;
        m_fullRepaint = true;
    }
}

bool LayerRenderer::writePNG(const std::string& hostPath, std::string* error) const {
    return writePNGFile(m_bitmap, hostPath, error);
}

const Region& LayerRenderer::render(UIView* root) {
    UIView::layoutPendingViews();
    return render(root ? root->layer() : nullptr);
}

const Region& LayerRenderer::render(CALayer* root) {
    IntRect all{0, 0, m_width, m_height};
    if (m_mode == Mode::Reference) {
        renderReference(root);
        m_damage = Region(all);
        return m_damage;
    }
    uint64_t rootSerial = root ? root->serial() : 0;
    uint64_t changes = CALayer::changesOfAllLayers();
    m_damage.clear();
    m_scroll.reset();
    m_restore.active = false;
    // No layer anywhere changed since the last frame (a wave's every other refresh): its pixels
    // stand, and the walk that would find so is skipped.
    if (!m_fullRepaint && rootSerial == m_rootSerial && changes == m_changesSeen) {
        m_changed.clear();
        return m_changed;
    }
    m_changesSeen = changes;
    ++m_frame;
    m_order = 0;
    m_lastOrdered.swap(m_ordered);
    m_ordered.clear();
    m_opaqueCovers.clear();
    if (rootSerial != m_rootSerial) {
        m_rootSerial = rootSerial;
        m_fullRepaint = true;
    }
    m_restore.possible = !m_fullRepaint;
    m_restore.shapes.clear();
    m_coarseShapes.clear();
    if (root)
        prepare(root, {0, 0, all, 1, 0, 0}, 0, false);
    // Layers drawn last time and gone now leave their pixels to be repainted (where they were, and
    // where a scroll moved them).
    // Each layer of the tree has its own entry: when the tree has as many as there are, none is gone.
    for (auto it = m_entries.begin(); m_ordered.size() != m_entries.size() && it != m_entries.end();) {
        if (it->second->seen != m_frame) {
            m_restore.possible = false;
            m_damage.unite(it->second->footprint);
            if (m_scroll)
                m_damage.unite(shiftedInto(it->second->footprint, *m_scroll));
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    // Shapes rebuilt this frame count with their bounds while the frame may repaint under their
    // coverage alone (the damage then only has to hold it); otherwise with their footprints.
    bool restorable = m_restore.possible && !m_fullRepaint && !m_scroll && !m_restore.shapes.empty();
    Region withoutShapes;
    if (restorable)
        withoutShapes = m_damage;
    for (Entry* entry : m_coarseShapes) {
        if (!restorable)
            tightenFootprint(*entry);
        m_damage.unite(entry->footprint);
    }
    m_damageIsAll = m_fullRepaint;
    if (m_fullRepaint) {
        m_damage = Region(all);
        m_fullRepaint = false;
        m_scroll.reset();
    }
    if (m_scroll)
        applyScroll(*m_scroll);
    m_damage.intersect(all);
    m_changed = m_damage;
    if (m_scroll)
        m_changed.unite(m_scroll->clip);
    if (m_damage.isEmpty())
        return m_changed;
    m_restore.active = restorable && planRestore();
    if (restorable && !m_restore.active && !m_coarseShapes.empty()) {
        m_damage = std::move(withoutShapes);
        for (Entry* entry : m_coarseShapes) {
            tightenFootprint(*entry);
            m_damage.unite(entry->footprint);
        }
        m_damage.intersect(all);
        m_changed = m_damage;
    }
    // What lies under an opaque layer that covers the whole damage (a wallpaper) is neither cleared
    // nor drawn; restoring under coverage, nothing is drawn but the floors and the shapes.
    const OpaqueCover* floor = m_restore.active ? nullptr : floorOfDamage();
    m_floor = floor ? floor->order : 0;
    if (!m_floor && !m_restore.active)
        fillRegionCopy(m_bitmap, m_damage, m_background);
    if (root)
        paint(root, m_damage, m_bitmap, 0);
    return m_changed;
}

void LayerRenderer::noteOpaqueCover(CALayer* layer, Entry& entry) {
    // Drawn straight into the screen, wholly opaque, on the pixel grid.
    if (layer->opacity() < 1 || entry.opacity < 1 || entry.maskStamp != 0 ||
        (layer->mask() && !entry.maskClips))
        return;
    ContentPixels pixels = contentPixelsOf(layer, entry);
    if (!pixels.aligned)
        return;
    const IntRect& rect = pixels.rect;
    bool backgroundOpaque = layer->backgroundColor() && layer->backgroundColor()->alpha() >= 1;
    bool imageOpaque = false;
    CGImage* image = layer->contents();
    if (image) {
        if (image->width() == rect.width && image->height() == rect.height) {
            if (entry.checkedImage.get() != image) {
                entry.checkedImage = image;
                entry.imageOpaque = isOpaque(image->bitmap());
            }
            imageOpaque = entry.imageOpaque;
        } else {
            // A scaled copy is known once it has been made.
            imageOpaque = entry.scaledFrom.get() == image && entry.scaledImage && entry.scaledOpaque;
        }
    }
    if (!backgroundOpaque && !imageOpaque)
        return;
    IntRect covered = rect.intersected(entry.clip);
    // Plain: what it shows is its image, or its colour, pixel for pixel.
    bool plain = image ? imageOpaque : backgroundOpaque;
    if (!covered.isEmpty())
        m_opaqueCovers.push_back({entry.order, covered, layer, &entry, plain});
}

const LayerRenderer::OpaqueCover* LayerRenderer::plainCoverUnder(uint64_t order, const IntRect& rect) const {
    const OpaqueCover* floor = nullptr;
    for (const OpaqueCover& cover : m_opaqueCovers)
        if (cover.plain && cover.order < order && (!floor || cover.order > floor->order) &&
            cover.rect.intersected(rect) == rect)
            floor = &cover;
    return floor;
}

const LayerRenderer::OpaqueCover* LayerRenderer::floorOfDamage() const {
    IntRect need = m_damage.bounds();
    const OpaqueCover* floor = nullptr;
    for (const OpaqueCover& cover : m_opaqueCovers)
        if ((!floor || cover.order > floor->order) && cover.rect.intersected(need) == need)
            floor = &cover;
    return floor;
}

void LayerRenderer::renderReference(CALayer* root) {
    fillRegionCopy(m_bitmap, Region(IntRect{0, 0, m_width, m_height}), m_background);
    if (!root)
        return;
    CairoCanvas canvas(m_bitmap);
    cairo_scale(canvas.context(), m_scale, m_scale);
    cairoDrawLayerTree(canvas.context(), root);
}
