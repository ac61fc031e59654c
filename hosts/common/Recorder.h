#pragma once

// Records what a screen shows: frame k is the picture at k / fps seconds of the host's clock after
// the recording started, however fast the machine draws. The host hands it pictures; the recorder
// writes one frame for each instant that has come due. On a terminal it shows its progress.

#include "hosts/common/VideoFile.h"

#include <cstdint>
#include <memory>
#include <string>

class Recorder {
public:
    // Starts a recording of pictures of width x height pixels at `start` (nanoseconds of the host's
    // clock); nullptr with error set.
    static std::unique_ptr<Recorder> start(const std::string& path, int width, int height, int fps,
                                           int64_t startNanoseconds, std::string& error);

    // When the next frame falls due.
    int64_t nextDue() const { return due(m_file->frames()); }
    // Writes `picture` for every frame due at or before `now`.
    bool capture(const class Bitmap& picture, int64_t nowNanoseconds, std::string& error);
    // Writes `picture` for the frames due before `now` (at least one frame in all), and completes the
    // file.
    bool finish(const class Bitmap& picture, int64_t nowNanoseconds, std::string& error);

    const std::string& path() const { return m_file->path(); }
    int64_t frames() const { return m_file->frames(); }
    int framesPerSecond() const { return m_file->framesPerSecond(); }

private:
    Recorder(std::unique_ptr<VideoFile> file, int64_t start) : m_file(std::move(file)), m_start(start) {}
    int64_t due(int64_t frame) const;
    bool writeThrough(const class Bitmap& picture, int64_t lastDue, std::string& error);
    void showProgress(bool done);

    std::unique_ptr<VideoFile> m_file;
    int64_t m_start;
    bool m_terminal = false;
    int64_t m_shownAt = 0; // real time of the last progress line
};
