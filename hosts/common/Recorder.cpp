#include "hosts/common/Recorder.h"
#include "platform/graphics/Bitmap.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int64_t second = 1'000'000'000;
// A progress line at most five times a second.
constexpr int64_t progressInterval = second / 5;

int64_t realNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::unique_ptr<Recorder> Recorder::start(const std::string& path, int width, int height, int fps,
                                          int64_t startNanoseconds, std::string& error) {
    auto file = VideoFile::create(path, width, height, fps, error);
    if (!file)
        return nullptr;
    std::unique_ptr<Recorder> recorder(new Recorder(std::move(file), startNanoseconds));
    recorder->m_terminal = ::isatty(STDERR_FILENO) == 1;
    return recorder;
}

int64_t Recorder::due(int64_t frame) const {
    // Exact in integers: frame k is due k * 1e9 / fps nanoseconds after the start.
    return m_start + frame * second / m_file->framesPerSecond();
}

bool Recorder::writeThrough(const Bitmap& picture, int64_t lastDue, std::string& error) {
    while (due(m_file->frames()) <= lastDue) {
        if (!m_file->addFrame(picture, error))
            return false;
        showProgress(false);
    }
    return true;
}

bool Recorder::capture(const Bitmap& picture, int64_t nowNanoseconds, std::string& error) {
    return writeThrough(picture, nowNanoseconds, error);
}

bool Recorder::finish(const Bitmap& picture, int64_t nowNanoseconds, std::string& error) {
    if (!writeThrough(picture, nowNanoseconds - 1, error))
        return false;
    if (m_file->frames() == 0 && !m_file->addFrame(picture, error))
        return false;
    bool finished = m_file->finish(error);
    showProgress(true);
    return finished;
}

void Recorder::showProgress(bool done) {
    if (!m_terminal)
        return;
    int64_t now = realNanoseconds();
    if (!done && now - m_shownAt < progressInterval)
        return;
    m_shownAt = now;
    double seconds = static_cast<double>(m_file->frames()) / m_file->framesPerSecond();
    std::fprintf(stderr, "\rrecording %s: %lld frames, %.1f s of video, %.1f MB%s", m_file->path().c_str(),
                 static_cast<long long>(m_file->frames()), seconds,
                 static_cast<double>(m_file->bytesWritten()) / 1e6, done ? "\n" : "");
    std::fflush(stderr);
}
