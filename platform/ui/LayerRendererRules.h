#pragma once

// What the layer renderer's parts agree on (private to the renderer): how a layer's geometry meets
// the pixel grid, which layers show, and which are composited as a group.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Region.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/CAShapeLayer.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

namespace layer_rules {

constexpr double gridTolerance = 1e-6;

inline bool onGrid(double value) {
    return std::fabs(value - std::round(value)) < gridTolerance;
}

// The pixels a rectangle touches, every partly covered pixel included; empty for anything absurd.
inline IntRect enclosingPixels(double x, double y, double width, double height) {
    double limit = 1 << 28;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height) ||
        width <= 0 || height <= 0)
        return {};
    double left = std::clamp(std::floor(x + gridTolerance), -limit, limit);
    double top = std::clamp(std::floor(y + gridTolerance), -limit, limit);
    double right = std::clamp(std::ceil(x + width - gridTolerance), -limit, limit);
    double bottom = std::clamp(std::ceil(y + height - gridTolerance), -limit, limit);
    if (right <= left || bottom <= top)
        return {};
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

// Clipping to bounds rounds the edges to the nearest pixel edges.
inline IntRect nearestPixels(double x, double y, double width, double height) {
    double limit = 1 << 28;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height) ||
        width <= 0 || height <= 0)
        return {};
    double left = std::clamp(std::round(x), -limit, limit), top = std::clamp(std::round(y), -limit, limit);
    double right = std::clamp(std::round(x + width), -limit, limit);
    double bottom = std::clamp(std::round(y + height), -limit, limit);
    if (right <= left || bottom <= top)
        return {};
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

// A surface as large as the bitmap; a size no bitmap can have is a clear error, not a crash.
inline Bitmap makeSurface(int width, int height) {
    std::optional<Bitmap> bitmap = Bitmap::create(width, height);
    if (!bitmap)
        throw std::length_error("cannot draw into " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels: too large");
    return std::move(*bitmap);
}

inline bool visible(const CALayer* layer) {
    return !layer->isHidden() && layer->opacity() > 0;
}

inline int contentKinds(const CALayer* layer) {
    int kinds = (layer->hasVisibleBackground() ? 1 : 0) + (layer->contents() ? 1 : 0);
    if (auto* shape = objc_cast<CAShapeLayer>(const_cast<CALayer*>(layer)))
        kinds += (shape->hasVisibleFill() ? 1 : 0) + (shape->hasVisibleStroke() ? 1 : 0);
    return kinds;
}

inline bool hasVisibleSublayers(const CALayer* layer) {
    return std::any_of(layer->sublayers().begin(), layer->sublayers().end(),
                       [](const Ref<CALayer>& sublayer) { return visible(sublayer.get()); });
}

// Where a layer's own rectangle (a background, an image, a clipping mask) lies in pixels. Exactly, it
// touches every pixel it partly covers and is drawn by routines of our own only when its edges lie on
// the pixel grid. Snapped, its edges move to the nearest pixel edges (a picture at fewer pixels than
// the device's, where half a point falls between two pixels), and it is never thinner than a pixel.
struct ContentPixels {
    IntRect rect;
    bool aligned = false;
};
inline ContentPixels contentPixels(double left, double top, double width, double height, bool snapped) {
    if (!snapped)
        return {enclosingPixels(left, top, width, height),
                onGrid(left) && onGrid(top) && onGrid(width) && onGrid(height)};
    IntRect rect = nearestPixels(left, top, width, height);
    if (rect.isEmpty() && std::isfinite(left) && std::isfinite(top) && width > 0 && height > 0 &&
        width < 1 << 28 && height < 1 << 28) {
        IntRect whole = nearestPixels(left, top, std::max(width, 1.0), std::max(height, 1.0));
        rect = {whole.x, whole.y, std::max(whole.width, 1), std::max(whole.height, 1)};
    }
    return {rect, !rect.isEmpty()};
}

// A mask that is one rectangle filled with an opaque colour, its edges on the pixel grid (or snapped
// to it), and nothing else lets each pixel inside it through whole and none outside: it clips. The
// rectangle in pixels (the layer's bounds origin at originX, originY); nullopt for any other mask.
inline std::optional<IntRect> clippingMask(const CALayer* mask, double originX, double originY, double scale,
                                           bool snapped) {
    auto* shape = objc_cast<CAShapeLayer>(const_cast<CALayer*>(mask));
    if (!shape || !visible(mask) || mask->opacity() < 1 || !mask->sublayers().empty() || mask->mask() ||
        mask->masksToBounds() || mask->hasVisibleBackground() || mask->contents() ||
        shape->hasVisibleStroke() || !shape->fillColor() || shape->fillColor()->alpha() < 1 || !shape->path())
        return std::nullopt;
    std::optional<CGRect> rect = shape->path()->rectangle();
    if (!rect)
        return std::nullopt;
    CGRect frame = mask->frame(), bounds = mask->bounds();
    double left = originX + (frame.origin.x + rect->origin.x - bounds.origin.x) * scale;
    double top = originY + (frame.origin.y + rect->origin.y - bounds.origin.y) * scale;
    ContentPixels pixels =
        contentPixels(left, top, rect->size.width * scale, rect->size.height * scale, snapped);
    if (!pixels.aligned || pixels.rect.isEmpty())
        return std::nullopt;
    return pixels.rect;
}

// Composited as one group (at its opacity, through its mask) rather than piece by piece.
inline bool needsGroup(const CALayer* layer) {
    if (layer->mask())
        return true;
    return layer->opacity() < 1 && (hasVisibleSublayers(layer) || contentKinds(layer) > 1);
}

} // namespace layer_rules
