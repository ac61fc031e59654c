// The walk over the layer tree before a frame is painted: what each layer looks like now is compared
// with what it looked like when last drawn, and what changed adds its old and new footprints to the
// damage.

#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"

#include <algorithm>
#include <cmath>
#include <optional>

using namespace layer_rules;

namespace {

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

// Whether a clip cuts what a layer drew (within `drawn`) along one axis the same way before and after
// the scroll's shift: the clip stayed put along it and the shift does not move along it, or the drawing
// kept off the old clip's edges (a shape its clip cut has coverage along the cut) and lies within the
// new one once shifted.
bool cutAlikeAlong(int drawnStart, int drawnEnd, int oldStart, int oldEnd, int newStart, int newEnd,
                   int shift) {
    if (shift == 0 && oldStart == newStart && oldEnd == newEnd)
        return true;
    return drawnStart > oldStart && drawnEnd < oldEnd && drawnStart + shift >= newStart &&
           drawnEnd + shift <= newEnd;
}

// Whether what a layer drew moves with the scroll as it is: its clip cuts it alike before and after.
bool cutAlike(const IntRect& drawn, const IntRect& oldClip, const IntRect& newClip, int shiftX, int shiftY) {
    return !drawn.isEmpty() &&
           cutAlikeAlong(drawn.x, drawn.right(), oldClip.x, oldClip.right(), newClip.x, newClip.right(),
                         shiftX) &&
           cutAlikeAlong(drawn.y, drawn.bottom(), oldClip.y, oldClip.bottom(), newClip.y, newClip.bottom(),
                         shiftY);
}

} // namespace

LayerRenderer::Entry* LayerRenderer::entryOf(uint64_t serial, uint64_t order) const {
    // Entries of the last frame's order were all seen in it, so none has been removed since.
    if (order >= 1 && order <= m_lastOrdered.size() && m_lastOrdered[order - 1]->serial == serial)
        return m_lastOrdered[order - 1];
    auto found = m_entries.find(serial);
    return found == m_entries.end() ? nullptr : found->second.get();
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
    bool maskClips = false;
    if (CALayer* mask = layer->mask()) {
        if (auto rect = clippingMask(mask, originX, originY, m_scale, m_snapped)) {
            // The mask is the clip: what lies inside shows as it is, so the layer and its sublayers
            // may stand as opaque layers (a masked wallpaper under waves).
            clip = clip.intersected(*rect);
            maskClips = true;
        } else {
            maskStamp = mix(maskStamp, maskStampOf(mask));
            // Nothing of the layer shows outside what its mask lets through.
            if (auto extent = maskExtent(mask, originX, originY, m_scale))
                clip = clip.intersected(*extent);
        }
    }

    Entry* known = entryOf(layer->serial(), m_order + 1);
    bool isNew = !known;
    if (isNew) {
        auto& slot = m_entries[layer->serial()];
        slot = std::make_unique<Entry>();
        slot->serial = layer->serial();
        known = slot.get();
    }
    Entry& entry = *known;
    entry.order = ++m_order;
    m_ordered.push_back(&entry);
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
        // its clip cuts it differently now, when it is worked out again.
        IntRect movedClip{entry.clip.x + context.shiftX, entry.clip.y + context.shiftY, entry.clip.width,
                          entry.clip.height};
        m_restore.possible = false;
        entry.originX = originX;
        entry.originY = originY;
        if (movedClip == clip ||
            cutAlike(entry.footprint.bounds(), entry.clip, clip, context.shiftX, context.shiftY)) {
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
    entry.maskClips = maskClips;
    entry.subtreeEnd = entry.order;
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
        const Entry* found = entryOf(sublayers[i]->serial(), m_order + 1);
        if (found && found->parentSerial == layer->serial() && found->seen != m_frame) {
            size_t before = found->siblingIndex;
            if (any && before < highest)
                moved = true;
            else
                highest = before, any = true;
        }
        prepare(sublayers[i].get(), inner, i, moved);
    }
    entry.subtreeEnd = m_order;
    if (m_scroll && m_scroll->serial == layer->serial())
        m_scroll->subtreeEnd = m_order;
}
