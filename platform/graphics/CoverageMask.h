#pragma once

// Antialiased coverage of a shape, kept sparse: runs of pixels on rows, each pixel's coverage a
// byte (255 = wholly inside). Only the pixels the shape touches are stored, so a thin line across
// the screen costs what its own pixels cost (a touched pixel may still hold 0). Spans are ordered
// by row, then by x, and never overlap.

#include "platform/graphics/Region.h"

#include <cstdint>
#include <vector>

struct CoverageSpan {
    int32_t y;
    int32_t x;
    int32_t length;
    uint32_t offset; // of the first pixel's coverage in CoverageMask::coverage()
};

class CoverageMask {
public:
    bool isEmpty() const { return m_spans.empty(); }
    const std::vector<CoverageSpan>& spans() const { return m_spans; }
    const std::vector<uint8_t>& coverage() const { return m_coverage; }
    // The smallest rectangle holding every stored pixel.
    IntRect bounds() const { return m_bounds; }
    // The coverage at one pixel (0 outside the mask).
    uint8_t at(int x, int y) const;
    // A cover of every stored pixel by rectangles, one per column band of bandWidth pixels (each as
    // high as the shape is within the band, its top and bottom rounded out to multiples of
    // rowGrain): tight for thin curves, cheap to build and to repaint. Rounding lets neighbouring
    // rectangles share their rows, which keeps a union of footprints a short list of bands.
    Region footprint(int bandWidth = 32, int rowGrain = 1) const;

    void clear();
    // Moves every stored pixel by whole pixels.
    void translate(int dx, int dy);
    // Appends pixels of row y from x on; rows must come in order, and x in order within a row.
    void append(int y, int x, const uint8_t* values, int count);
    void appendRun(int y, int x, uint8_t value, int count);
    // Room for count pixels of row y from x on (count > 0), in the same order as append, to be
    // written through the answer before the mask changes again.
    uint8_t* extend(int y, int x, int count);

private:
    void startOrJoin(int y, int x, int count);
    std::vector<CoverageSpan> m_spans;
    std::vector<uint8_t> m_coverage;
    IntRect m_bounds;
};
