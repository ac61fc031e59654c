#pragma once

// Animated PNG recordings, written here rather than through ffmpeg: lossless, and each frame after
// the first only the rectangle that changed, its unchanged pixels transparent over the frame before
// (blended over it, nothing disposed), so a lock screen whose waves move along the bottom costs the
// strip, not the screen.

#include "hosts/common/ChangedAreaVideoFile.h"

#include <vector>

struct z_stream_s;

class ApngVideoFile final : public ChangedAreaVideoFile {
public:
    // A recording into `output` (sizes and rate already checked).
    static std::unique_ptr<VideoFile> open(OutputFile output, int width, int height, int fps);
    ~ApngVideoFile() override;

private:
    ApngVideoFile(OutputFile output, int width, int height, int fps);
    bool writeFrame(const Bitmap& frame, PixelRect changed, std::string& error) override;
    bool writeEnd(std::string& error) override;
    void writeChunk(const char* type, const uint8_t* data, size_t size, const uint8_t* prefix = nullptr,
                    size_t prefixSize = 0);
    void writeHeader();
    // PNG's filtered rows of `rect`: the changed pixels opaque, the others transparent.
    void filterRows(const Bitmap& frame, const PixelRect& rect);
    bool compress(std::string& error);

    uint32_t m_sequence = 0; // of the frame controls and frame data chunks
    std::unique_ptr<z_stream_s> m_zlib;
    std::vector<uint8_t> m_filtered;
    std::vector<uint8_t> m_scratch;
    std::vector<uint8_t> m_compressed;
};
