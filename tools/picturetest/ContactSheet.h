#pragma once

// A contact sheet: pictures of the same thing on different devices in a grid, each scaled to a
// common height and labelled underneath, the way design tools show a design's device variants.

#include "platform/graphics/Bitmap.h"

#include <optional>
#include <string>
#include <vector>

struct SheetEntry {
    // Empty where there is no picture (its place stays blank, its label says so).
    std::optional<Bitmap> picture;
    std::string label;
};

namespace ContactSheet {

// Space around and between the cells, and the band under each picture for its label.
constexpr int margin = 16;
constexpr int labelGap = 6;
constexpr int labelBand = 22;
constexpr const char* labelFont = "DejaVu Sans 13px";
constexpr uint32_t background = 0xFFF2F2F2;
// Pictures taller than this are scaled down to it; the others up to the tallest.
constexpr int mostHeight = 640;

// The height every picture is scaled to.
int pictureHeight(const std::vector<SheetEntry>& entries);
// Each column's width: its widest scaled picture.
std::vector<int> columnWidths(const std::vector<SheetEntry>& entries, int columns);

// The sheet of the entries, row by row, `columns` a row.
Bitmap draw(const std::vector<SheetEntry>& entries, int columns);

} // namespace ContactSheet
