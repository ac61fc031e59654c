#pragma once

// A picture in device pixels reduced to a window's pixels: each window pixel the mean of the
// k x k device pixels it covers.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CoverageMask.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Writes window pixels [x0, x1) x [y0, y1) into `window` (rows `pitch` bytes apart, XRGB memory:
// 0xFFRRGGBB) from the device pixels of `device`, k of them to a window pixel on each side (1 to 4).
// The device picture must hold every device pixel those window pixels cover.
void downscaleByWholeFactor(const Bitmap& device, uint8_t* window, size_t pitch, int x0, int y0, int x1,
                            int y1, int k);
// The same for just the window pixels that cover a device pixel some mask stores (inside the
// device picture, whose size is a multiple of k): when only those device pixels changed, the rest
// of the window is already right.
void downscaleUnderCoverage(const Bitmap& device, uint8_t* window, size_t pitch,
                            std::span<const CoverageMask* const> masks, int k);
