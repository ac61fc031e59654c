#pragma once

// A cairo context drawing into a Bitmap (whose layout is cairo's ARGB32), for the drawing that is
// not worth a routine of our own: scaled images, groups, masks, and the plain rendering the fast
// paths are checked against.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Region.h"

#include <cairo.h>

class CairoCanvas {
public:
    explicit CairoCanvas(Bitmap& bitmap);
    ~CairoCanvas();
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    cairo_t* context() const { return m_context; }
    cairo_surface_t* surface() const { return m_surface; }
    // Intersects the clip with the region (in device pixels, whatever the current transform).
    void clipToRegion(const Region& region);
    // Writes back what cairo drew; call before reading the bitmap while the canvas lives.
    void flush();

private:
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_context = nullptr;
};

// A cairo image surface sharing the bitmap's pixels (read-only use), or null for an empty bitmap.
// The caller destroys it.
cairo_surface_t* cairoSurfaceForBitmap(const Bitmap& bitmap);
