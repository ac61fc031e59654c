#pragma once

// GIF recordings, written here rather than through ffmpeg: one palette for as long as it fits what
// the screen shows (made again from the whole screen when a frame's new pixels stray far from it),
// and each frame after the first only the rectangle that changed, its unchanged pixels transparent
// over the frame before. A lock screen whose waves move along the bottom then costs the strip, not
// the screen.

#include "hosts/common/ChangedAreaVideoFile.h"
#include "hosts/common/GifPalette.h"

#include <optional>
#include <vector>

class GifVideoFile final : public ChangedAreaVideoFile {
public:
    // A recording into `output` (sizes and rate already checked).
    static std::unique_ptr<VideoFile> open(OutputFile output, int width, int height, int fps);

private:
    GifVideoFile(OutputFile output, int width, int height, int fps);
    bool writeFrame(const Bitmap& frame, PixelRect rect, std::string& error) override;
    bool writeEnd(std::string& error) override;
    void writeHeader();
    // Maps the pixels of `rect` that changed onto the palette; answers their mean error (0 if none).
    double quantize(const Bitmap& frame, const PixelRect& rect);
    void writeImage(const PixelRect& rect, bool localPalette);
    void writeColours(const GifPalette& palette);

    std::optional<GifPalette> m_global;  // the file's palette, from the first frame
    std::optional<GifPalette> m_current; // the palette frames use now, when not the global one
    double m_paletteError = 0;           // the mean error the palette in use had when it was made
    std::vector<uint8_t> m_indices;      // the rectangle being written
    std::vector<uint8_t> m_coded;
};
