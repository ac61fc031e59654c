// The encoder module's entry point: checks what VideoFile::create was given and hands the file to the
// writer of its format.

#include "hosts/common/ApngVideoFile.h"
#include "hosts/common/FfmpegVideoFile.h"
#include "hosts/common/GifVideoFile.h"
#include "hosts/common/VideoFormats.h"

namespace {

std::unique_ptr<VideoFile> openVideoFile(const std::string& path, int width, int height, int fps,
                                         std::string& error) {
    const VideoFormat* format = videoFormatForPath(path);
    if (!format) {
        error = "cannot record to " + path + ": the name must end in " + videoFormatNames();
        return nullptr;
    }
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        error = "cannot record frames of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
        return nullptr;
    }
    if (fps < 1 || fps > VideoFile::maxFramesPerSecond) {
        error = "frames a second must be from 1 to " + std::to_string(VideoFile::maxFramesPerSecond);
        return nullptr;
    }
    auto output = OutputFile::create(path, error);
    if (!output) {
        error = "cannot record to " + path + ": " + error;
        return nullptr;
    }
    std::unique_ptr<VideoFile> file;
    switch (format->writer) {
    case VideoWriter::gif:
        return GifVideoFile::open(std::move(*output), width, height, fps);
    case VideoWriter::apng:
        return ApngVideoFile::open(std::move(*output), width, height, fps);
    case VideoWriter::ffmpeg:
        file = FfmpegVideoFile::open(std::move(*output), *format, width, height, fps, error);
        break;
    }
    if (!file)
        error = "cannot record to " + path + ": " + error;
    return file;
}

} // namespace

extern "C" VideoFile* zv_openVideoFile(const std::string* path, int width, int height, int fps,
                                       std::string* error) {
    return openVideoFile(*path, width, height, fps, *error).release();
}
