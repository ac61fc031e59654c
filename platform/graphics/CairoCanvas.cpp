#include "platform/graphics/CairoCanvas.h"

CairoCanvas::CairoCanvas(Bitmap& bitmap) {
    m_surface = cairoSurfaceForBitmap(bitmap);
    if (!m_surface)
        m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    m_context = cairo_create(m_surface);
}

CairoCanvas::~CairoCanvas() {
    cairo_destroy(m_context);
    cairo_surface_flush(m_surface);
    cairo_surface_destroy(m_surface);
}

void CairoCanvas::clipToRegion(const Region& region) {
    // The rectangles are device pixels: lay them out under the identity transform.
    cairo_matrix_t matrix;
    cairo_get_matrix(m_context, &matrix);
    cairo_identity_matrix(m_context);
    cairo_new_path(m_context);
    for (const IntRect& rect : region.rects())
        cairo_rectangle(m_context, rect.x, rect.y, rect.width, rect.height);
    cairo_clip(m_context);
    cairo_set_matrix(m_context, &matrix);
}

void CairoCanvas::flush() {
    cairo_surface_flush(m_surface);
}

cairo_surface_t* cairoSurfaceForBitmap(const Bitmap& bitmap) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0)
        return nullptr;
    // cairo only reads through it when it is used as a source.
    auto* data = const_cast<uint8_t*>(bitmap.data());
    return cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, bitmap.width(), bitmap.height(),
                                               bitmap.stride());
}
