// What a changed layer covers: its footprint, and for a shape layer the coverage of its fill and
// stroke, made once when the layer changes and kept until it changes again.

#include "platform/graphics/Polyline.h"
#include "platform/graphics/StrokeOutliner.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/LayerRendererEntry.h"
#include "platform/ui/LayerRendererRules.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace layer_rules;

namespace {

// Columns of pixels per footprint rectangle of a shape, and the rows its top and bottom are rounded
// out to: close enough to a curve to repaint little, coarse enough that the union of a frame's
// footprints stays a short list of bands (region arithmetic on finely cut footprints cost more than
// the pixels they spared).
constexpr int footprintBand = 64;
constexpr int footprintRowGrain = 32;

} // namespace

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
    if (layer->hasVisibleBackground() || layer->contents())
        entry.footprint.unite(contentPixelsOf(layer, entry).rect.intersected(entry.clip));
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
