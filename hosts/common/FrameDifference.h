#pragma once

// What changed between a recording's frames: the encoders that write only the changed rectangle of
// each frame keep the last frame here and ask for the bounds of the pixels that differ from it.

#include <cstddef>
#include <cstdint>
#include <vector>

class Bitmap;

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

class FrameDifference {
public:
    FrameDifference(int width, int height);

    // True until the first frame is kept.
    bool first() const { return m_first; }
    // The bounds of the pixels of `frame` that differ from the kept frame (the whole frame at first);
    // empty when nothing changed.
    PixelRect changedBounds(const Bitmap& frame) const;
    // The kept frame's row y (valid once a frame was kept).
    const uint32_t* previousRow(int y) const { return m_previous.data() + static_cast<size_t>(y) * m_width; }
    // Keeps `frame`'s pixels inside `rect` (the rest are the same already).
    void keep(const Bitmap& frame, const PixelRect& rect);

private:
    int m_width, m_height;
    std::vector<uint32_t> m_previous;
    bool m_first = true;
};
