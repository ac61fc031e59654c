#include "hosts/common/ChangedAreaVideoFile.h"
#include "platform/graphics/Bitmap.h"

ChangedAreaVideoFile::ChangedAreaVideoFile(OutputFile output, int width, int height, int fps)
    : m_output(std::move(output)), m_sink(m_output.descriptor()), m_width(width), m_height(height),
      m_fps(fps), m_difference(width, height) {}

bool ChangedAreaVideoFile::addFrame(const Bitmap& frame, std::string& error) {
    if (m_finished) {
        error = "the recording is complete";
        return false;
    }
    if (frame.width() != m_width || frame.height() != m_height) {
        error = "a frame of another size than the recording's";
        return false;
    }
    PixelRect changed = m_difference.changedBounds(frame);
    if (!writeFrame(frame, changed, error))
        return false;
    m_difference.keep(frame, changed);
    ++m_frames;
    if (!m_sink.flush(error)) {
        error = "cannot write " + path() + ": " + error;
        return false;
    }
    return true;
}

bool ChangedAreaVideoFile::finish(std::string& error) {
    if (m_finished) {
        error = "the recording is complete";
        return false;
    }
    if (m_frames == 0) {
        error = "no frames to write";
        return false;
    }
    m_finished = true;
    if (!writeEnd(error)) {
        error = "cannot complete " + path() + ": " + error;
        return false;
    }
    return m_output.commit(error);
}
