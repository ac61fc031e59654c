#include "platform/ui/TextImage.h"

#include <cairo.h>
#include <cstring>
#include <pango/pangocairo.h>

void prepareTextDrawing() {
    // Creating the default font map is what starts the font library's set-up thread.
    pango_cairo_font_map_get_default();
}

std::optional<Bitmap> textBitmap(const std::string& text, const std::string& font, double scale,
                                 CGColor colour) {
    if (text.empty() || !(scale > 0))
        return std::nullopt;
    // Measure on a scratch surface first.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* measure = cairo_create(scratch);
    PangoLayout* layout = pango_cairo_create_layout(measure);
    PangoFontDescription* description = pango_font_description_from_string(font.c_str());
    pango_font_description_set_absolute_size(description,
                                             pango_font_description_get_size(description) * scale);
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, text.c_str(), -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    cairo_destroy(measure);
    cairo_surface_destroy(scratch);

    auto bitmap = Bitmap::create(std::max(width, 1), std::max(height, 1), 64u << 20);
    if (bitmap) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            bitmap->data(), CAIRO_FORMAT_ARGB32, bitmap->width(), bitmap->height(), bitmap->stride());
        cairo_t* cr = cairo_create(surface);
        pango_cairo_update_layout(cr, layout);
        cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, colour.alpha);
        pango_cairo_show_layout(cr, layout);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        cairo_surface_destroy(surface);
    }
    pango_font_description_free(description);
    g_object_unref(layout);
    return bitmap;
}

Ref<CGImage> textImage(const std::string& text, const std::string& font, double scale, CGColor colour) {
    std::optional<Bitmap> bitmap = textBitmap(text, font, scale, colour);
    return bitmap ? CGImage::imageWithBitmap(std::move(*bitmap)) : nullptr;
}
