#pragma once

// Painting into a Bitmap (premultiplied ARGB32) without going through cairo, for the cases that
// dominate an animation frame: clearing to a colour, a solid colour through a coverage mask and an
// image copied pixel for pixel. Everything is source-over and stays inside `clip`; the arithmetic
// (an 8-bit multiply rounded as x * a / 255, a saturating add) is pixman's, so the results equal
// what cairo paints for the same coverage.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Region.h"
#include "platform/graphics/UIColor.h"

#include <cstdint>
#include <span>

// A colour (components 0 to 1, clamped) at an opacity, as a premultiplied pixel.
uint32_t premultipliedPixel(const CGColor& color, double opacity = 1);

// Each channel of pixel times a / 255, rounded.
inline uint32_t scalePixel(uint32_t pixel, uint32_t a) {
    uint32_t rb = (pixel & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((pixel >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// a + b per channel, saturating at 255.
inline uint32_t addPixels(uint32_t a, uint32_t b) {
    uint32_t rb = (a & 0x00FF00FFu) + (b & 0x00FF00FFu);
    rb |= 0x10000100u - ((rb >> 8) & 0x00FF00FFu);
    uint32_t ag = ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu);
    ag |= 0x10000100u - ((ag >> 8) & 0x00FF00FFu);
    return (rb & 0x00FF00FFu) | ((ag & 0x00FF00FFu) << 8);
}

inline uint32_t overPixel(uint32_t source, uint32_t destination) {
    return addPixels(source, scalePixel(destination, 255 - (source >> 24)));
}

// Sets every pixel of region (clipped to the bitmap) to pixel.
void fillRegionCopy(Bitmap& destination, const Region& region, uint32_t pixel);
// Paints pixel over every pixel of region.
void fillRegionOver(Bitmap& destination, const Region& region, uint32_t pixel);
// Paints pixel over the mask's pixels, each weighted by its coverage, inside clip.
void compositeCoverage(Bitmap& destination, const CoverageMask& mask, uint32_t pixel, const Region& clip);
// The same for every pixel of the mask (inside the bitmap).
void compositeCoverage(Bitmap& destination, const CoverageMask& mask, uint32_t pixel);
// Paints source (premultiplied) over destination with its top-left corner at (dx, dy), multiplied
// by alpha (0 to 255), inside clip. sourceOpaque promises every source pixel has alpha 255.
void compositeImage(Bitmap& destination, const Bitmap& source, int dx, int dy, uint32_t alpha,
                    bool sourceOpaque, const Region& clip);
// Copies source's pixels (its top-left corner at (dx, dy)) to every pixel that any of the masks
// stores, each pixel once, inside the bitmap and the source; nothing else is touched.
void copyUnderCoverage(Bitmap& destination, const Bitmap& source, int dx, int dy,
                       std::span<const CoverageMask* const> masks);
// Sets every pixel that any of the masks stores (inside the bitmap) to pixel.
void fillUnderCoverage(Bitmap& destination, uint32_t pixel, std::span<const CoverageMask* const> masks);
// Whether every pixel of the bitmap has alpha 255.
bool isOpaque(const Bitmap& bitmap);
