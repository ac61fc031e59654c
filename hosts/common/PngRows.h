#pragma once

// PNG's row filters: each row is written as the difference from a prediction made from the pixels
// to its left and above, which deflate then compresses far better than the pixels themselves.

#include <cstddef>
#include <cstdint>

// Writes the filter byte and the filtered `row` (of `bytes` bytes, `pixelBytes` to a pixel) to `out`,
// choosing the filter whose output looks smallest (the least sum of its bytes taken as signed); `above`
// is the row before (zeros for the first).
void filterPngRow(const uint8_t* row, const uint8_t* above, size_t bytes, size_t pixelBytes, uint8_t* out);
