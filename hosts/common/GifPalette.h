#pragma once

// The colours of a GIF recording: up to 255 made from a picture's pixels by median cut over a
// histogram of their 15-bit colours (index 255 is left for transparency), and pixels mapped onto
// them with ordered dithering: each colour is shown as a fixed mix of palette entries whose mean is
// that colour, and a pixel's place picks its entry from the mix. The choice depends only on a
// pixel's colour and place, so a pixel that does not change keeps its index from frame to frame,
// and a smooth wallpaper shows no steps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class Bitmap;

class GifPalette {
public:
    static constexpr uint8_t transparent = 255;

    // The palette for the pixels of `picture` (its alpha is ignored).
    static GifPalette fromPicture(const Bitmap& picture);

    // 0xRRGGBB for each index; unused ones are black.
    const std::array<uint32_t, 256>& colours() const { return m_colours; }
    // The index for `pixel` (0xAARRGGBB) at (x, y).
    uint8_t map(uint32_t pixel, int x, int y) {
        size_t cell = cellOf(pixel, x, y);
        if (!m_planned[cell])
            plan(cell);
        return m_plans[cell * planSize + ditherRank(x, y)];
    }
    // How far index's colour is from `pixel`: the sum of the three channels' differences.
    int error(uint32_t pixel, uint8_t index) const;

private:
    // A colour is shown as a mix of this many palette entries, one for each rank of the dither.
    static constexpr size_t planSize = 16;

    GifPalette();
    // The pixel's 18-bit colour, moved by up to two levels by its place so that where one colour's
    // mix gives way to the next's there is no edge.
    static size_t cellOf(uint32_t pixel, int x, int y);
    static size_t ditherRank(int x, int y);
    void plan(size_t cell);
    uint8_t nearest(int r, int g, int b) const;

    std::array<uint32_t, 256> m_colours{};
    int m_count = 0;
    // For each 18-bit colour, worked out when first needed: the entries that mix to it, darkest first.
    std::vector<uint8_t> m_plans;
    std::vector<bool> m_planned;
};
