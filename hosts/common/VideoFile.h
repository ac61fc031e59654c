#pragma once

// A recording being written: frames of one size go in, one after another, at a fixed rate; finish()
// completes the file. The format follows the file's extension (see VideoFormats). Until finish()
// succeeds the file is written under a temporary name beside the target, so a recording that fails
// or is abandoned leaves nothing that claims to be complete.

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

class VideoFile {
public:
    static constexpr int maxFramesPerSecond = 120;

    // Checks the extension and the path, and opens the encoder for frames of width x height pixels;
    // nullptr with error set ("unknown extension", a missing folder, a path that is not a file...).
    static std::unique_ptr<VideoFile> create(const std::string& path, int width, int height, int fps,
                                             std::string& error);
    ~VideoFile();

    // Adds a frame (the bitmap must be of the size given to create).
    bool addFrame(const Bitmap& frame, std::string& error);
    // Flushes the encoder, completes the container and puts the file in place.
    bool finish(std::string& error);

    const std::string& path() const { return m_output.path(); }
    int64_t frames() const { return m_frames; }
    int framesPerSecond() const { return m_fps; }
    // The size of what was written so far.
    int64_t bytesWritten() const;

private:
    VideoFile(OutputFile output, const VideoFormat& format, int width, int height, int fps);
    bool open(std::string& error);
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
