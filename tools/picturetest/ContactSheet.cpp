#include "tools/picturetest/ContactSheet.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/ui/TextImage.h"

#include <algorithm>
#include <cmath>

namespace ContactSheet {

namespace {

int scaledWidth(const Bitmap& picture, int height) {
    return std::max(
        1, static_cast<int>(std::lround(static_cast<double>(picture.width()) * height / picture.height())));
}

void paintBitmap(cairo_t* context, const Bitmap& bitmap, double x, double y, double scale) {
    cairo_surface_t* source = cairoSurfaceForBitmap(bitmap);
    if (!source)
        return;
    cairo_save(context);
    cairo_translate(context, x, y);
    cairo_scale(context, scale, scale);
    cairo_set_source_surface(context, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
    cairo_rectangle(context, 0, 0, bitmap.width(), bitmap.height());
    cairo_fill(context);
    cairo_restore(context);
    cairo_surface_destroy(source);
}

} // namespace

int pictureHeight(const std::vector<SheetEntry>& entries) {
    int tallest = 0;
    for (const SheetEntry& entry : entries)
        if (entry.picture)
            tallest = std::max(tallest, entry.picture->height());
    return tallest == 0 ? mostHeight / 2 : std::min(tallest, mostHeight);
}

std::vector<int> columnWidths(const std::vector<SheetEntry>& entries, int columns) {
    int height = pictureHeight(entries);
    std::vector<int> widths(static_cast<size_t>(columns), 0);
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].picture) {
            int& width = widths[i % static_cast<size_t>(columns)];
            width = std::max(width, scaledWidth(*entries[i].picture, height));
        }
    for (int& width : widths)
        if (width == 0)
            width = height / 2;
    return widths;
}

Bitmap draw(const std::vector<SheetEntry>& entries, int columns) {
    columns = std::max(1, columns);
    int rows =
        static_cast<int>((entries.size() + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns));
    int height = pictureHeight(entries);
    std::vector<int> widths = columnWidths(entries, columns);
    int sheetWidth = margin;
    for (int width : widths)
        sheetWidth += width + margin;
    int rowHeight = height + labelGap + labelBand + margin;
    Bitmap sheet = *Bitmap::create(sheetWidth, margin + std::max(rows, 1) * rowHeight);
    for (int y = 0; y < sheet.height(); ++y)
        std::fill(sheet.row(y), sheet.row(y) + sheet.width(), background);

    {
        CairoCanvas canvas(sheet);
        cairo_t* context = canvas.context();
        for (size_t i = 0; i < entries.size(); ++i) {
            int column = static_cast<int>(i % static_cast<size_t>(columns));
            int row = static_cast<int>(i / static_cast<size_t>(columns));
            int x = margin;
            for (int c = 0; c < column; ++c)
                x += widths[static_cast<size_t>(c)] + margin;
            int y = margin + row * rowHeight;
            const SheetEntry& entry = entries[i];
            if (entry.picture) {
                paintBitmap(context, *entry.picture, x, y,
                            static_cast<double>(height) / entry.picture->height());
            } else {
                cairo_set_source_rgb(context, 0.8, 0.8, 0.8);
                cairo_set_line_width(context, 1);
                cairo_rectangle(context, x + 0.5, y + 0.5, widths[static_cast<size_t>(column)] - 1,
                                height - 1);
                cairo_stroke(context);
            }
            std::string label = entry.picture ? entry.label : entry.label + ": no picture";
            if (std::optional<Bitmap> text = textBitmap(label, labelFont, 1, CGColor{0.15, 0.15, 0.15, 1})) {
                // The label stays within its column.
                cairo_save(context);
                cairo_rectangle(context, x, y + height, widths[static_cast<size_t>(column)],
                                labelGap + labelBand);
                cairo_clip(context);
                paintBitmap(context, *text, x, y + height + labelGap, 1);
                cairo_restore(context);
            }
        }
    }
    return sheet;
}

} // namespace ContactSheet
