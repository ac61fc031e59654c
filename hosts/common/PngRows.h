#pragma once

// PNG's row filters for RGBA rows: each row is written as the difference from a prediction made from
// the pixels to its left and above, which deflate then compresses far better than the pixels
// themselves.

#include <cstddef>
#include <cstdint>
#include <vector>

// Filters a row of `pixels` RGBA pixels: writes the filter byte and the filtered row to `out`,
// choosing the filter whose output looks smallest. `above` is the row before as a decoder sees it
// (zeros for the first); both `row` and `above` have a pixel of zeros before them. A pixel of alpha 0 shows
// nothing, so its colour is free: it is given the colour its filter predicts, which costs nothing to code,
// and `row` is changed to what a decoder will see (the next row's `above`). `scratch` is working memory kept
// between calls.
void filterPngRow(uint8_t* row, const uint8_t* above, size_t pixels, uint8_t* out,
                  std::vector<uint8_t>& scratch);
