#pragma once

// The recording encoder for the formats ffmpeg's libraries write (H.264, WebP). It lives in the
// module libzv_video.so, which VideoFile::create loads the first time something is recorded, so
// that programs that record nothing do not load ffmpeg's libraries at start.

#include "hosts/common/VideoFile.h"
#include "platform/foundation/OutputFile.h"

#include <cstdint>
#include <memory>
#include <string>

class Bitmap;
class PaletteFilter;
class YuvConverter;
struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;
struct VideoFormat;

class FfmpegVideoFile final : public VideoFile {
public:
    // A recording into `output` in `format` (sizes and rate already checked); nullptr with error set.
    // A format of ffmpeg's own GIF (pal8) gets a palette made for each frame: how GIF was written
    // before GifVideoFile, kept as the benchmark's baseline.
    static std::unique_ptr<VideoFile> open(OutputFile output, const VideoFormat& format, int width,
                                           int height, int fps, std::string& error);
    ~FfmpegVideoFile() override;

    bool addFrame(const Bitmap& frame, std::string& error) override;
    bool finish(std::string& error) override;
    const std::string& path() const override { return m_output.path(); }
    int64_t frames() const override { return m_frames; }
    int framesPerSecond() const override { return m_fps; }
    int64_t bytesWritten() const override;

private:
    FfmpegVideoFile(OutputFile output, const VideoFormat& format, int width, int height, int fps);
    bool openEncoder(std::string& error);
    bool encode(AVFrame* frame, std::string& error);
    bool convert(const Bitmap& frame, std::string& error);
    OutputFile m_output;
    const VideoFormat& m_format;
    int m_width, m_height;
    int m_fps;
    int64_t m_frames = 0;
    AVFormatContext* m_container = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVStream* m_stream = nullptr;
    AVFrame* m_frame = nullptr;    // what the encoder is given
    AVFrame* m_filtered = nullptr; // palettized frames for GIF
    AVPacket* m_packet = nullptr;
    SwsContext* m_scaler = nullptr;
    std::unique_ptr<PaletteFilter> m_palette;
    std::unique_ptr<YuvConverter> m_yuv;
    bool m_headerWritten = false;
};
