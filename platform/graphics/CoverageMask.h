#pragma once

// Antialiased coverage of a shape, kept sparse: runs of pixels on rows, each pixel's coverage a
// byte (255 = wholly inside). Only the pixels the shape touches are stored, so a thin line across
// the screen costs what its own pixels cost (a touched pixel may still hold 0). Spans are ordered
// by row, then by x, and never overlap.

#include "platform/graphics/Region.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <utility>
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
    std::span<const uint8_t> coverage() const { return {m_coverage.data(), m_used}; }
    // The smallest rectangle holding every stored pixel.
    IntRect bounds() const {
        if (m_spans.empty())
            return {};
        int top = m_spans.front().y;
        return {m_left, top, m_right - m_left, m_spans.back().y + 1 - top};
    }
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
    uint8_t* extend(int y, int x, int count) {
        startOrJoin(y, x, count);
        size_t at = m_used;
        m_used += static_cast<size_t>(count);
        if (m_used > m_coverage.size())
            grow();
        return m_coverage.data() + at;
    }

private:
    // Leaves the bytes a resize adds as they are: the mask writes every byte it adds, and clearing
    // them first would cost as much as writing them.
    template <class T> struct UninitializedAllocator : std::allocator<T> {
        template <class U> struct rebind { using other = UninitializedAllocator<U>; };
        template <class U> void construct(U* place) noexcept { ::new (static_cast<void*>(place)) U; }
        template <class U, class... Args> void construct(U* place, Args&&... args) {
            ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
        }
    };
    // Called for every run the rasterizer writes, so kept small enough to inline: the rows come in
    // order, so only the columns' extent is tracked.
    void startOrJoin(int y, int x, int count) {
        m_left = std::min(m_left, x);
        m_right = std::max(m_right, x + count);
        // A run that continues the last span of the same row joins it.
        if (!m_spans.empty()) {
            CoverageSpan& last = m_spans.back();
            if (last.y == y && last.x + last.length == x) {
                last.length += count;
                return;
            }
        }
        m_spans.push_back({y, x, count, static_cast<uint32_t>(m_used)});
    }
    // Makes room for m_used bytes.
    void grow();
    std::vector<CoverageSpan> m_spans;
    // The coverage bytes are the first m_used; the vector only grows, so that a mask rebuilt every
    // frame finds its room already there.
    std::vector<uint8_t, UninitializedAllocator<uint8_t>> m_coverage;
    size_t m_used = 0;
    int m_left = std::numeric_limits<int>::max(), m_right = std::numeric_limits<int>::min();
};
