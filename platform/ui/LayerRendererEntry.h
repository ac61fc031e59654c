#pragma once

// What the layer renderer remembers of each layer it drew (private to the renderer).

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Region.h"
#include "platform/ui/LayerRenderer.h"

#include <cstdint>
#include <optional>

struct LayerRenderer::Entry {
    uint64_t serial = 0; // the layer's
    // What the layer looked like when last drawn.
    uint64_t generation = 0;
    uint64_t originChanges = 0;
    uint64_t order = 0;      // when it was painted in the last frame, in paint order
    uint64_t subtreeEnd = 0; // the paint order of the last layer of its subtree
    // The footprint at the end of the frame before, kept only in a frame that changed it.
    Region previousFootprint;
    uint64_t footprintChanged = 0; // the frame that last changed it
    double left = 0, top = 0;      // its frame's corner, in pixels
    uint64_t parentSerial = 0;
    size_t siblingIndex = 0;
    double originX = 0, originY = 0; // its bounds origin, in pixels
    IntRect clip;                    // its own clip (its bounds when it masks to them)
    float opacity = 1;               // of the ancestors
    uint64_t maskStamp = 0;
    bool maskClips = false; // its mask is a rectangle on the grid (see layer_rules::clippingMask)
    uint64_t seen = 0;
    Region footprint;
    uint64_t footprintInDamage = 0; // the frame whose damage took in all of the footprint

    // Shape layers: coverage in bitmap pixels; a stroke the outliner declined is drawn by cairo.
    CoverageMask fill;
    CoverageMask stroke;
    bool strokeByCairo = false;
    // What the masks were before the last rebuild, and whether the layer's pixels were then those
    // masks' and nothing else (no background, image or stroke by cairo): repainting under the
    // coverage it had and has then repaints all it changed.
    CoverageMask previousFill;
    CoverageMask previousStroke;
    bool drawnByMasks = true;
    // The footprint is only the masks' bounds (see LayerRenderer::tightenFootprint).
    bool footprintCoarse = false;
    bool previousDrawnByMasks = true;

    // Images: whether the image is opaque, and a copy scaled to the pixels it fills.
    Ref<CGImage> checkedImage;
    bool imageOpaque = false;
    std::optional<Bitmap> scaledImage;
    Ref<CGImage> scaledFrom;
    bool scaledOpaque = false;
};
