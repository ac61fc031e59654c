#pragma once

// Areas of a pixel grid: IntRect is one rectangle of whole pixels, Region any union of them (kept
// as non-overlapping bands of rectangles, so painting each rectangle once paints each pixel once).
// Regions are what the renderer repaints: the damage of a frame.

#include <cstdint>
#include <memory>
#include <vector>

struct IntRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool contains(int px, int py) const { return px >= x && py >= y && px < right() && py < bottom(); }
    IntRect intersected(const IntRect& other) const;
    IntRect united(const IntRect& other) const;
    bool operator==(const IntRect&) const = default;
};

class Region {
public:
    Region();
    explicit Region(const IntRect& rect);
    // The union of the rectangles (which may overlap), made in one pass.
    static Region fromRects(const std::vector<IntRect>& rects);
    Region(const Region& other);
    Region(Region&& other) noexcept;
    Region& operator=(const Region& other);
    Region& operator=(Region&& other) noexcept;
    ~Region();

    bool isEmpty() const;
    IntRect bounds() const;
    // The rectangles in band order: top to bottom, then left to right; none overlap.
    std::vector<IntRect> rects() const;
    int rectCount() const;
    bool contains(int x, int y) const;
    // The number of pixels the region covers.
    int64_t area() const;

    void clear();
    void unite(const IntRect& rect);
    void unite(const Region& other);
    void intersect(const IntRect& rect);
    void intersect(const Region& other);
    void subtract(const Region& other);
    void translate(int dx, int dy);

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

// The part of region inside rect: region itself when it lies wholly inside (the common case, which
// then costs no copy), otherwise a copy cut to rect held in scratch.
const Region& clippedRegion(const Region& region, const IntRect& rect, Region& scratch);
