#pragma once

// A recording being written: frames of one size go in, one after another, at a fixed rate; finish()
// completes the file. The format follows the file's extension (see VideoFormats). Until finish()
// succeeds the file is written under a temporary name beside the target, so a recording that fails
// or is abandoned leaves nothing that claims to be complete.
//
// The encoder lives in a module loaded at the first recording (libzv_video.so, beside the
// project's other libraries): only a program that records loads ffmpeg's libraries.

#include <cstdint>
#include <memory>
#include <string>

class Bitmap;

class VideoFile {
public:
    static constexpr int maxFramesPerSecond = 120;

    // Checks the extension and the path, and opens the encoder for frames of width x height pixels;
    // nullptr with error set ("unknown extension", a missing folder, a path that is not a file, the
    // encoder's module missing...).
    static std::unique_ptr<VideoFile> create(const std::string& path, int width, int height, int fps,
                                             std::string& error);
    virtual ~VideoFile() = default;

    // Adds a frame (the bitmap must be of the size given to create).
    virtual bool addFrame(const Bitmap& frame, std::string& error) = 0;
    // Flushes the encoder, completes the container and puts the file in place.
    virtual bool finish(std::string& error) = 0;

    virtual const std::string& path() const = 0;
    virtual int64_t frames() const = 0;
    virtual int framesPerSecond() const = 0;
    // The size of what was written so far.
    virtual int64_t bytesWritten() const = 0;
};

// The module's one entry point, looked up by name: VideoFile::create's work, in the module.
extern "C" VideoFile* zv_openVideoFile(const std::string* path, int width, int height, int fps,
                                       std::string* error);
