#pragma once

// Drawing layers with cairo, in the layers' own terms: the context's current transform maps the
// layer's bounds coordinates (points) to device pixels. Used for the reference rendering and for
// what the incremental renderer leaves to cairo.

#include "platform/ui/CALayer.h"

#include <cairo.h>

// The layer's own content (background, image, path), clipped to its bounds when it masks to
// them, composited at opacity as one group.
void cairoDrawOwnContent(cairo_t* cr, CALayer* layer, double opacity);
// The layer and its sublayers (and mask), placed by its frame in the current (parent's bounds)
// coordinates. Hidden layers draw nothing.
void cairoDrawLayerTree(cairo_t* cr, CALayer* layer);
