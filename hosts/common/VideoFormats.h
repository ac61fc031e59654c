#pragma once

// The kinds of recording, chosen by the file's extension: the container, the encoder and the pixel
// layout it is given.

#include <string>

extern "C" {
#include <libavutil/pixfmt.h>
}

// Who writes the file: ffmpeg's muxer and encoder, or this program (see GifVideoFile and
// ApngVideoFile), which writes only what changed from frame to frame.
enum class VideoWriter { ffmpeg, gif, apng };

struct VideoFormat {
    const char* extension; // with the dot, lower case
    const char* muxer;     // ffmpeg's name of the container
    const char* encoder;   // ffmpeg's name of the encoder
    AVPixelFormat pixels;  // what the encoder is given
    bool evenSize;         // the encoder wants even widths and heights (padded with the edge)
    VideoWriter writer = VideoWriter::ffmpeg;
};

// The format for a path's extension (case-insensitive), or nullptr.
const VideoFormat* videoFormatForPath(const std::string& path);
// "mp4, gif, webp, apng or png": for messages.
std::string videoFormatNames();
// An ffmpeg error code in words (defined in the encoder's module, where ffmpeg is linked).
std::string describeVideoError(int code);
