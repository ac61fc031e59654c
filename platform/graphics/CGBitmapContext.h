#pragma once

// The bitmap drawing context behind image contexts. Its memory layout is fixed and is part of the
// contract, because callers read the pixels straight from CGBitmapContextGetData:
//
//   rows top to bottom, bytesPerRow = 4 x width, no padding; each pixel four bytes in memory order
//   red, green, blue, alpha (byte 0 is red, byte 1 green, byte 2 blue, byte 3 alpha), 8 bits each,
//   with red, green and blue premultiplied by alpha (a translucent pixel reads as if it had been
//   composited over black). A new context is transparent black (all bytes 0).
//
// Drawing an image scales it into the destination rectangle. With interpolation quality None each
// destination pixel takes the source pixel under its centre; every other quality computes an exact
// area average (a box filter): each destination pixel receives every source pixel in proportion to
// the area the two share, so drawing a whole image into one pixel gives the mean of all its pixels.
// Rectangle edges that cut through a pixel cover it partially; the blend treats the uncovered part
// as untouched.

#include "platform/graphics/Geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

class CGImage;

// The values match the device's, so that code written against it passes the same numbers.
enum CGInterpolationQuality : int32_t {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationMedium = 4,
    kCGInterpolationHigh = 3,
};

// The Porter-Duff modes are drawn exactly; the separable and non-separable colour modes
// (multiply to luminosity, plus darker and lighter) are not supported and draw as Normal.
enum CGBlendMode : int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeClear = 16,
    kCGBlendModeCopy = 17,
    kCGBlendModeSourceIn = 18,
    kCGBlendModeSourceOut = 19,
    kCGBlendModeSourceAtop = 20,
    kCGBlendModeDestinationOver = 21,
    kCGBlendModeDestinationIn = 22,
    kCGBlendModeDestinationOut = 23,
    kCGBlendModeDestinationAtop = 24,
    kCGBlendModeXOR = 25,
};

class CGBitmapContext {
public:
    static constexpr int maxSide = 16384;
    static constexpr size_t maxBytes = 256u << 20;

    // A transparent context of the given pixel size, or nullopt when a side is not positive or the
    // buffer would be larger than the bounds above.
    static std::optional<CGBitmapContext> create(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    size_t bytesPerRow() const { return static_cast<size_t>(m_width) * 4; }
    uint8_t* data() { return m_pixels.data(); }
    const uint8_t* data() const { return m_pixels.data(); }

    CGInterpolationQuality interpolationQuality() const { return m_quality; }
    void setInterpolationQuality(CGInterpolationQuality quality) { m_quality = quality; }

    // Draws the whole image scaled into rect (in pixels, y downward), multiplied by alpha (clamped to
    // 0...1) and blended with mode. A rectangle of zero area draws nothing.
    void drawImage(CGRect rect, const CGImage& image, CGBlendMode mode, double alpha);

private:
    CGBitmapContext(int width, int height) : m_width(width), m_height(height) {}
    int m_width;
    int m_height;
    CGInterpolationQuality m_quality = kCGInterpolationDefault;
    std::vector<uint8_t> m_pixels;
};

using CGContextRef = CGBitmapContext*;

// The device's functions over a context; each accepts a null context and then does nothing (or
// answers zero).
void CGContextSetInterpolationQuality(CGContextRef context, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef context);
void* CGBitmapContextGetData(CGContextRef context);
size_t CGBitmapContextGetWidth(CGContextRef context);
size_t CGBitmapContextGetHeight(CGContextRef context);
size_t CGBitmapContextGetBytesPerRow(CGContextRef context);
