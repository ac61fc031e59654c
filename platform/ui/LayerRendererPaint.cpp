// Painting the damage: each layer's own content clipped to it, groups composited, masks applied.

#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/Compositing.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/CairoLayerDrawing.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"

#include <algorithm>
#include <cmath>

using namespace layer_rules;

Bitmap& LayerRenderer::scratch(size_t depth) {
    if (m_scratch.size() <= depth)
        m_scratch.resize(depth + 1);
    if (!m_scratch[depth])
        m_scratch[depth] = std::make_unique<Bitmap>(makeSurface(m_width, m_height));
    return *m_scratch[depth];
}

void LayerRenderer::paint(CALayer* layer, const Region& damage, Bitmap& target, size_t depth) {
    if (!visible(layer))
        return;
    auto found = m_entries.find(layer->serial());
    if (found == m_entries.end())
        return;
    Entry& entry = *found->second;
    Region cut;
    const Region& area = clippedRegion(damage, entry.clip, cut);
    if (area.isEmpty())
        return;
    std::vector<Ref<CALayer>> sublayers = layer->sublayers();
    // A mask that only clips needs no group where a layer of the subtree paints the whole area
    // opaquely: the group would be opaque there, and copying it changes nothing.
    if (!needsGroup(layer) ||
        (entry.maskClips && layer->opacity() >= 1 && opaqueInSubtree(entry, area.bounds()))) {
        paintOwnContent(layer, entry, area, target, layer->opacity());
        for (const Ref<CALayer>& sublayer : sublayers)
            paint(sublayer.get(), area, target, depth);
        return;
    }
    Bitmap& group = scratch(depth);
    fillRegionCopy(group, area, 0);
    paintOwnContent(layer, entry, area, group, 1);
    for (const Ref<CALayer>& sublayer : sublayers)
        paint(sublayer.get(), area, group, depth + 1);
    // A clipping mask lets all of the area through: the clip already cut it.
    if (layer->mask() && !entry.maskClips)
        applyMask(layer, entry, area, group, depth);
    uint32_t alpha = static_cast<uint32_t>(std::lround(std::clamp(layer->opacity(), 0.0f, 1.0f) * 255));
    compositeImage(target, group, 0, 0, alpha, false, area);
}

void LayerRenderer::applyMask(CALayer* layer, const Entry& entry, const Region& area, Bitmap& target,
                              size_t depth) {
    // The mask is drawn by cairo in the layer's coordinates; its alpha then scales the group.
    Bitmap& alpha = scratch(depth + 1);
    fillRegionCopy(alpha, area, 0);
    {
        CairoCanvas canvas(alpha);
        canvas.clipToRegion(area);
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, m_scale, 0, 0, m_scale, entry.originX, entry.originY);
        cairo_set_matrix(canvas.context(), &matrix);
        cairoDrawLayerTree(canvas.context(), layer->mask());
    }
    for (const IntRect& rect : area.rects())
        for (int y = rect.y; y < rect.bottom(); ++y) {
            uint32_t* row = target.row(y);
            const uint32_t* mask = alpha.row(y);
            for (int x = rect.x; x < rect.right(); ++x)
                row[x] = scalePixel(row[x], mask[x] >> 24);
        }
}

void LayerRenderer::paintOwnContent(CALayer* layer, Entry& entry, const Region& area, Bitmap& target,
                                    double opacity) {
    if (!layer->hasOwnContent() || entry.order < m_floor)
        return;
    if (m_restore.active) {
        // Only the floors and the shapes that changed draw in such a frame.
        if (const RestoreFloor* floor = restoreFloorOf(entry)) {
            restoreUnderCoverage(*floor, target);
            return;
        }
        if (entry.footprintInDamage != m_frame)
            return;
    }
    // Only what the damage touches of the layer's own pixels is drawn; most layers lie elsewhere.
    if (area.bounds().intersected(entry.footprint.bounds()).isEmpty())
        return;
    Region cut;
    const Region& own = clippedRegion(area, entry.footprint.bounds(), cut);
    ContentPixels pixels = contentPixelsOf(layer, entry);
    auto* shape = objc_cast<CAShapeLayer>(layer);
    // Content that is not on the pixel grid, and strokes the outliner declined, go to cairo whole.
    if (!pixels.aligned || (shape && entry.strokeByCairo)) {
        CairoCanvas canvas(target);
        canvas.clipToRegion(own);
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, m_scale, 0, 0, m_scale, entry.originX, entry.originY);
        cairo_set_matrix(canvas.context(), &matrix);
        cairoDrawOwnContent(canvas.context(), layer, opacity);
        return;
    }
    const IntRect& rect = pixels.rect;
    if (layer->hasVisibleBackground()) {
        UIColor* background = layer->backgroundColor();
        Region cutToRect;
        const Region& inside = clippedRegion(own, rect, cutToRect);
        fillRegionOver(target, inside, premultipliedPixel(background->cgColor(), opacity));
    }
    if (layer->contents())
        paintImage(layer, entry, own, target, opacity);
    if (!shape)
        return;
    // A shape whose whole footprint is damaged (it changed, as a wave does every frame) lies inside the
    // area: its coverage is painted without clipping.
    bool whole = m_damageIsAll || entry.footprintInDamage == m_frame;
    auto paintCoverage = [&](const CoverageMask& mask, UIColor* colour) {
        uint32_t pixel = premultipliedPixel(colour->cgColor(), opacity);
        if (whole)
            compositeCoverage(target, mask, pixel);
        else
            compositeCoverage(target, mask, pixel, own);
    };
    if (shape->hasVisibleFill())
        paintCoverage(entry.fill, shape->fillColor());
    if (shape->hasVisibleStroke())
        paintCoverage(entry.stroke, shape->strokeColor());
}

const Bitmap* LayerRenderer::imagePixels(CGImage* image, Entry& entry, const IntRect& rect, bool& opaque) {
    opaque = false;
    if (rect.isEmpty() || image->width() <= 0 || image->height() <= 0)
        return nullptr;
    if (image->width() == rect.width && image->height() == rect.height) {
        if (entry.checkedImage.get() != image) {
            entry.checkedImage = image;
            entry.imageOpaque = isOpaque(image->bitmap());
        }
        opaque = entry.imageOpaque;
        return &image->bitmap();
    }
    // Scaled once, by cairo as the reference draws it, then copied like any other image. Snapped, the
    // edges are filtered with the image's own edge pixels rather than with nothing, so that an opaque
    // image stays opaque (and a wallpaper a floor to restore from).
    if (entry.scaledFrom.get() != image || !entry.scaledImage || entry.scaledImage->width() != rect.width ||
        entry.scaledImage->height() != rect.height) {
        entry.scaledImage = Bitmap::create(rect.width, rect.height);
        entry.scaledFrom = image;
        if (!entry.scaledImage)
            return nullptr;
        CairoCanvas canvas(*entry.scaledImage);
        cairo_scale(canvas.context(), double(rect.width) / image->width(),
                    double(rect.height) / image->height());
        cairo_surface_t* source = cairoSurfaceForBitmap(image->bitmap());
        cairo_set_source_surface(canvas.context(), source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(canvas.context()), CAIRO_FILTER_GOOD);
        if (m_snapped)
            cairo_pattern_set_extend(cairo_get_source(canvas.context()), CAIRO_EXTEND_PAD);
        cairo_paint(canvas.context());
        cairo_surface_destroy(source);
        canvas.flush();
        entry.scaledOpaque = isOpaque(*entry.scaledImage);
    }
    opaque = entry.scaledOpaque;
    return &*entry.scaledImage;
}

void LayerRenderer::paintImage(CALayer* layer, Entry& entry, const Region& area, Bitmap& target,
                               double opacity) {
    IntRect rect = contentPixelsOf(layer, entry).rect;
    bool opaque = false;
    const Bitmap* pixels = imagePixels(layer->contents(), entry, rect, opaque);
    if (!pixels)
        return;
    uint32_t alpha = static_cast<uint32_t>(std::lround(std::clamp(opacity, 0.0, 1.0) * 255));
    Region cut;
    const Region& inside = clippedRegion(area, rect, cut);
    compositeImage(target, *pixels, rect.x, rect.y, alpha, opaque, inside);
}
