#include "platform/ui/LayerRenderer.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/Compositing.h"
#include "platform/graphics/PNGEncoder.h"
#include "platform/graphics/Polyline.h"
#include "platform/graphics/StrokeOutliner.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/CairoLayerDrawing.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"
#include "platform/ui/UIView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

using namespace layer_rules;

namespace {

// Columns of pixels per footprint rectangle of a shape, and the rows its top and bottom are rounded
// out to: close enough to a curve to repaint little, coarse enough that the union of a frame's
// footprints stays a short list of bands (region arithmetic on finely cut footprints cost more than
// the pixels they spared).
constexpr int footprintBand = 64;
constexpr int footprintRowGrain = 32;

uint64_t mix(uint64_t a, uint64_t b) {
    return (a ^ (b + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2)));
}

// Everything that decides how a mask layer looks.
uint64_t maskStampOf(const CALayer* mask) {
    uint64_t stamp = mix(mask->serial(), mask->generation());
    stamp = mix(stamp, mask->structureGeneration());
    for (const Ref<CALayer>& sublayer : mask->sublayers())
        stamp = mix(stamp, maskStampOf(sublayer.get()));
    return stamp;
}

// The pixels a mask can let through, for a mask that is one layer (its background or image, and
// for a shape its path and stroke); nullopt when that is not known (a mask with sublayers).
std::optional<IntRect> maskExtent(const CALayer* mask, double originX, double originY, double scale) {
    if (!mask->sublayers().empty())
        return std::nullopt;
    CGRect frame = mask->frame(), bounds = mask->bounds();
    double left = originX + frame.origin.x * scale, top = originY + frame.origin.y * scale;
    IntRect extent{0, 0, 0, 0};
    if (mask->hasVisibleBackground() || mask->contents())
        extent = enclosingPixels(left, top, bounds.size.width * scale, bounds.size.height * scale);
    auto* shape = objc_cast<CAShapeLayer>(const_cast<CALayer*>(mask));
    if (shape && shape->path() && !shape->path()->isEmpty()) {
        if (!shape->path()->isFinite())
            return std::nullopt;
        CGRect box = shape->path()->boundingBox();
        // A pixel of antialiasing, and the stroke's reach at its sharpest joins.
        double reach = 1 + (shape->hasVisibleStroke()
                                ? shape->lineWidth() * scale / 2 * std::max(1.0, shape->miterLimit())
                                : 0);
        double x = left + (box.origin.x - bounds.origin.x) * scale,
               y = top + (box.origin.y - bounds.origin.y) * scale;
        IntRect path = enclosingPixels(x - reach, y - reach, box.size.width * scale + 2 * reach,
                                       box.size.height * scale + 2 * reach);
        extent = extent.isEmpty() ? path : extent.united(path);
    }
    if (mask->masksToBounds())
        extent = extent.intersected(
            enclosingPixels(left, top, bounds.size.width * scale, bounds.size.height * scale));
    return extent;
}

} // namespace

LayerRenderer::LayerRenderer(int pixelWidth, int pixelHeight, double scale, Mode mode)
    : m_width(std::max(pixelWidth, 1)), m_height(std::max(pixelHeight, 1)),
      m_scale(std::isfinite(scale) && scale > 0 ? scale : 1), m_mode(mode),
      m_bitmap(makeSurface(m_width, m_height)) {}

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
    ++m_frame;
    m_damage.clear();
    m_scroll.reset();
    m_order = 0;
    m_opaqueCovers.clear();
    uint64_t rootSerial = root ? root->serial() : 0;
    if (rootSerial != m_rootSerial) {
        m_rootSerial = rootSerial;
        m_fullRepaint = true;
    }
    m_restore.possible = !m_fullRepaint;
    m_restore.active = false;
    m_restore.shapes.clear();
    m_coarseShapes.clear();
    if (root)
        prepare(root, {0, 0, all, 1, 0, 0}, 0, false);
    // Layers drawn last time and gone now leave their pixels to be repainted (where they were, and
    // where a scroll moved them).
    for (auto it = m_entries.begin(); it != m_entries.end();) {
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
    // What lies under an opaque layer that covers the whole damage (a wallpaper) is neither cleared
    // nor drawn.
    const OpaqueCover* floor = floorOfDamage();
    m_restore.masks.clear();
    if (floor && restorable)
        collectRestoredCoverage();
    m_restore.active = floor && restorable && canRestoreUnderCoverage(*floor);
    if (restorable && !m_restore.active && !m_coarseShapes.empty()) {
        m_damage = std::move(withoutShapes);
        for (Entry* entry : m_coarseShapes) {
            tightenFootprint(*entry);
            m_damage.unite(entry->footprint);
        }
        m_damage.intersect(all);
        m_changed = m_damage;
        floor = floorOfDamage();
    }
    m_floor = floor ? floor->order : 0;
    m_restore.floor = floor;
    if (!m_floor)
        fillRegionCopy(m_bitmap, m_damage, m_background);
    if (root)
        paint(root, m_damage, m_bitmap, 0);
    return m_changed;
}

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

void LayerRenderer::noteOpaqueCover(CALayer* layer, Entry& entry) {
    // Drawn straight into the screen, wholly opaque, on the pixel grid.
    if (layer->opacity() < 1 || entry.opacity < 1 || entry.maskStamp != 0 || layer->mask())
        return;
    CGRect bounds = layer->bounds();
    double left = entry.originX + bounds.origin.x * m_scale, top = entry.originY + bounds.origin.y * m_scale;
    double width = bounds.size.width * m_scale, height = bounds.size.height * m_scale;
    if (!onGrid(left) || !onGrid(top) || !onGrid(width) || !onGrid(height))
        return;
    bool backgroundOpaque = layer->backgroundColor() && layer->backgroundColor()->alpha() >= 1;
    bool imageOpaque = false;
    CGImage* image = layer->contents();
    if (image) {
        IntRect rect = enclosingPixels(left, top, width, height);
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
    IntRect rect = enclosingPixels(left, top, width, height).intersected(entry.clip);
    // Plain: what it shows is its image, or its colour, pixel for pixel.
    bool plain = image ? imageOpaque : backgroundOpaque;
    if (!rect.isEmpty())
        m_opaqueCovers.push_back({entry.order, rect, layer, &entry, plain});
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

void LayerRenderer::prepare(CALayer* layer, const Context& context, size_t index, bool reordered) {
    if (!visible(layer))
        return;
    CGRect frame = layer->frame();
    CGRect bounds = layer->bounds();
    double left = context.originX + frame.origin.x * m_scale;
    double top = context.originY + frame.origin.y * m_scale;
    double originX = left - bounds.origin.x * m_scale;
    double originY = top - bounds.origin.y * m_scale;
    IntRect clip = context.clip;
    if (layer->masksToBounds())
        clip = clip.intersected(
            nearestPixels(left, top, bounds.size.width * m_scale, bounds.size.height * m_scale));
    uint64_t maskStamp = context.maskStamp;
    if (CALayer* mask = layer->mask()) {
        maskStamp = mix(maskStamp, maskStampOf(mask));
        // Nothing of the layer shows outside what its mask lets through.
        if (auto extent = maskExtent(mask, originX, originY, m_scale))
            clip = clip.intersected(*extent);
    }

    auto& slot = m_entries[layer->serial()];
    bool isNew = !slot;
    if (isNew)
        slot = std::make_unique<Entry>();
    Entry& entry = *slot;
    entry.order = ++m_order;
    bool shifted = context.shiftX != 0 || context.shiftY != 0;
    // Inside a scroll, a layer that kept its place in the scrolled content has had its pixels moved
    // with it: only a change of its own is drawn again.
    double expectedX = entry.originX + context.shiftX, expectedY = entry.originY + context.shiftY;
    bool looksChanged = isNew || reordered || entry.parentSerial != context.parentSerial ||
                        entry.opacity != context.opacity || entry.maskStamp != maskStamp;
    bool scrolledOnly =
        !looksChanged && !shifted && entry.generation != layer->generation() &&
        layer->generation() - entry.generation == layer->boundsOriginChanges() - entry.originChanges;
    Context inner{originX,   originY,         clip,           context.opacity * layer->opacity(),
                  maskStamp, layer->serial(), context.shiftX, context.shiftY};
    if (scrolledOnly && !m_scroll && canScroll(layer, entry, context, left, top, clip, originX, originY)) {
        int dx = static_cast<int>(std::lround(originX - entry.originX)),
            dy = static_cast<int>(std::lround(originY - entry.originY));
        m_scroll = Scroll{clip, dx, dy, 0, layer->serial()};
        m_restore.possible = false;
        inner.shiftX = dx;
        inner.shiftY = dy;
        entry.generation = layer->generation();
        entry.originChanges = layer->boundsOriginChanges();
        entry.originX = originX;
        entry.originY = originY;
    } else if (shifted && !looksChanged && entry.generation == layer->generation() && expectedX == originX &&
               expectedY == originY) {
        // Moved with the scroll: the same look where it now lies. What it covered moves with it, unless
        // its clip cut it differently before, when it is worked out again.
        IntRect movedClip{entry.clip.x + context.shiftX, entry.clip.y + context.shiftY, entry.clip.width,
                          entry.clip.height};
        m_restore.possible = false;
        entry.originX = originX;
        entry.originY = originY;
        if (movedClip == clip) {
            keepPreviousFootprint(entry);
            entry.footprint.translate(context.shiftX, context.shiftY);
            entry.fill.translate(context.shiftX, context.shiftY);
            entry.stroke.translate(context.shiftX, context.shiftY);
            entry.clip = clip;
        } else {
            entry.clip = clip;
            rebuild(entry, layer);
        }
    } else {
        bool changed = looksChanged || entry.generation != layer->generation() || entry.originX != originX ||
                       entry.originY != originY || !(entry.clip == clip) || shifted;
        if (changed) {
            if (shifted) {
                Region old = entry.footprint;
                old.translate(context.shiftX, context.shiftY);
                m_damage.unite(old);
            } else {
                m_damage.unite(entry.footprint);
            }
            entry.generation = layer->generation();
            entry.originChanges = layer->boundsOriginChanges();
            entry.parentSerial = context.parentSerial;
            entry.originX = originX;
            entry.originY = originY;
            entry.clip = clip;
            entry.opacity = context.opacity;
            entry.maskStamp = maskStamp;
            rebuild(entry, layer);
            if (entry.footprintCoarse)
                m_coarseShapes.push_back(&entry);
            else
                m_damage.unite(entry.footprint);
            entry.footprintInDamage = m_frame;
            noteChangedForRestore(layer, entry);
        }
    }
    entry.left = left;
    entry.top = top;
    entry.seen = m_frame;
    entry.siblingIndex = index;
    if (layer->hasOwnContent())
        noteOpaqueCover(layer, entry);

    if (clip.isEmpty() && layer->masksToBounds())
        return; // nothing below can show
    // Appending or removing sublayers keeps the others' order, and with it their pixels; a sublayer
    // that now lies below one it lay above (or the reverse) is repainted.
    const auto& sublayers = layer->sublayers();
    size_t highest = 0;
    bool any = false;
    for (size_t i = 0; i < sublayers.size(); ++i) {
        bool moved = false;
        auto found = m_entries.find(sublayers[i]->serial());
        if (found != m_entries.end() && found->second->parentSerial == layer->serial() &&
            found->second->seen != m_frame) {
            size_t before = found->second->siblingIndex;
            if (any && before < highest)
                moved = true;
            else
                highest = before, any = true;
        }
        prepare(sublayers[i].get(), inner, i, moved);
    }
    if (m_scroll && m_scroll->serial == layer->serial())
        m_scroll->subtreeEnd = m_order;
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

void LayerRenderer::keepPreviousFootprint(Entry& entry) {
    if (entry.footprintChanged != m_frame) {
        std::swap(entry.previousFootprint, entry.footprint);
        entry.footprint = entry.previousFootprint;
        entry.footprintChanged = m_frame;
    }
}

void LayerRenderer::tightenFootprint(Entry& entry) {
    entry.footprint = entry.fill.footprint(footprintBand, footprintRowGrain);
    entry.footprint.unite(entry.stroke.footprint(footprintBand, footprintRowGrain));
    entry.footprintCoarse = false;
}

const Region& LayerRenderer::previousFootprint(const Entry& entry) const {
    return entry.footprintChanged == m_frame ? entry.previousFootprint : entry.footprint;
}

void LayerRenderer::rebuild(Entry& entry, CALayer* layer) {
    if (entry.footprintChanged != m_frame) {
        std::swap(entry.previousFootprint, entry.footprint);
        entry.footprintChanged = m_frame;
    }
    entry.footprint.clear();
    std::swap(entry.previousFill, entry.fill);
    std::swap(entry.previousStroke, entry.stroke);
    entry.previousDrawnByMasks = entry.drawnByMasks;
    entry.fill.clear();
    entry.stroke.clear();
    entry.strokeByCairo = false;
    entry.drawnByMasks = !layer->hasVisibleBackground() && !layer->contents();
    entry.footprintCoarse = false;
    if (entry.clip.isEmpty())
        return;
    CGRect bounds = layer->bounds();
    IntRect rect =
        enclosingPixels(entry.originX + bounds.origin.x * m_scale, entry.originY + bounds.origin.y * m_scale,
                        bounds.size.width * m_scale, bounds.size.height * m_scale);
    if (layer->hasVisibleBackground() || layer->contents())
        entry.footprint.unite(rect.intersected(entry.clip));
    auto* shape = objc_cast<CAShapeLayer>(layer);
    if (!shape || !shape->path() || shape->path()->isEmpty() || !shape->path()->isFinite())
        return;
    std::vector<Polyline> lines = flattenPath(*shape->path(), m_scale, entry.originX, entry.originY);
    // A colour nobody can see is not worth its coverage.
    if (shape->hasVisibleFill()) {
        m_rasterizer.reset(entry.clip);
        for (const Polyline& line : lines) {
            m_rasterizer.moveTo(line.points[0].x, line.points[0].y);
            for (size_t i = 1; i < line.points.size(); ++i)
                m_rasterizer.lineTo(line.points[i].x, line.points[i].y);
        }
        m_rasterizer.finish(shape->fillRule(), entry.fill);
        entry.footprint.unite(entry.fill.bounds());
        entry.footprintCoarse = entry.drawnByMasks;
    }
    double width = shape->lineWidth() * m_scale;
    if (shape->hasVisibleStroke()) {
        m_rasterizer.reset(entry.clip);
        StrokeStyle style{width, shape->lineCap(), shape->lineJoin(), shape->miterLimit()};
        if (outlineStroke(lines, style, m_rasterizer)) {
            m_rasterizer.finish(FillRule::NonZero, entry.stroke);
            entry.footprint.unite(entry.stroke.bounds());
            entry.footprintCoarse = entry.drawnByMasks;
        } else {
            m_rasterizer.reset(entry.clip); // drops what the outliner had added
            entry.strokeByCairo = true;
            entry.drawnByMasks = false;
            entry.footprintCoarse = false;
            CGRect box = shape->path()->boundingBox();
            double reach = width / 2 * std::max(1.0, shape->miterLimit()) + 2;
            entry.footprint.unite(enclosingPixels(entry.originX + box.origin.x * m_scale - reach,
                                                  entry.originY + box.origin.y * m_scale - reach,
                                                  box.size.width * m_scale + 2 * reach,
                                                  box.size.height * m_scale + 2 * reach)
                                      .intersected(entry.clip));
        }
    }
}
