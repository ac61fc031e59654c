#pragma once

// What the recordings written here rather than through ffmpeg share: the file and its buffer, the
// frame's size and rate, the count of frames, and the last frame kept to find what changed. Each
// format writes a frame from the rectangle that changed and ends its own container; the checks
// around them (a finished recording, a frame of another size, a recording without frames) and the
// flush after each frame are the same for all.

#include "hosts/common/FileSink.h"
#include "hosts/common/FrameDifference.h"
#include "hosts/common/VideoFile.h"
#include "platform/foundation/OutputFile.h"

class ChangedAreaVideoFile : public VideoFile {
public:
    bool addFrame(const Bitmap& frame, std::string& error) final;
    bool finish(std::string& error) final;
    const std::string& path() const final { return m_output.path(); }
    int64_t frames() const final { return m_frames; }
    int framesPerSecond() const final { return m_fps; }
    int64_t bytesWritten() const final { return m_sink.size(); }

protected:
    ChangedAreaVideoFile(OutputFile output, int width, int height, int fps);

    // Writes `frame`, of which only `changed` differs from the frame before (the whole frame at first,
    // empty when nothing changed); frames() counts the frames before it. The frame is kept after.
    virtual bool writeFrame(const Bitmap& frame, PixelRect changed, std::string& error) = 0;
    // Ends the container after the last frame and writes out what is buffered.
    virtual bool writeEnd(std::string& error) = 0;

    FileSink& sink() { return m_sink; }
    const FrameDifference& difference() const { return m_difference; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    OutputFile m_output;
    FileSink m_sink;
    int m_width, m_height, m_fps;
    int64_t m_frames = 0;
    FrameDifference m_difference;
    bool m_finished = false;
};
