#pragma once

// Animated PNG recordings, written here rather than through ffmpeg: lossless, and each frame after
// the first only the rectangle that changed, its unchanged pixels transparent over the frame before
// (blended over it, nothing disposed), so a lock screen whose waves move along the bottom costs the
// strip, not the screen.

#include "hosts/common/FileSink.h"
#include "hosts/common/FrameDifference.h"
#include "hosts/common/VideoFile.h"
#include "platform/foundation/OutputFile.h"

struct z_stream_s;

class ApngVideoFile final : public VideoFile {
public:
    // A recording into `output` (sizes and rate already checked).
    static std::unique_ptr<VideoFile> open(OutputFile output, int width, int height, int fps);
    ~ApngVideoFile() override;

    bool addFrame(const Bitmap& frame, std::string& error) override;
    bool finish(std::string& error) override;
    const std::string& path() const override { return m_output.path(); }
    int64_t frames() const override { return m_frames; }
    int framesPerSecond() const override { return m_fps; }
    int64_t bytesWritten() const override { return m_sink.size(); }

private:
    ApngVideoFile(OutputFile output, int width, int height, int fps);
    void writeChunk(const char* type, const uint8_t* data, size_t size, const uint8_t* prefix = nullptr,
                    size_t prefixSize = 0);
    void writeHeader();
    // PNG's filtered rows of `rect`: the changed pixels opaque, the others transparent.
    void filterRows(const Bitmap& frame, const PixelRect& rect);
    bool compress(std::string& error);

    OutputFile m_output;
    FileSink m_sink;
    int m_width, m_height, m_fps;
    int64_t m_frames = 0;
    uint32_t m_sequence = 0; // of the frame controls and frame data chunks
    FrameDifference m_difference;
    std::unique_ptr<z_stream_s> m_zlib;
    std::vector<uint8_t> m_filtered;
    std::vector<uint8_t> m_scratch;
    std::vector<uint8_t> m_compressed;
    bool m_finished = false;
};
