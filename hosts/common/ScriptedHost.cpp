#include "hosts/common/ScriptedHost.h"
#include "hosts/common/Interruption.h"
#include "hosts/common/Recorder.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/UIScreen.h"

void ScriptedHost::runUnseen() {
    m_unseen = true;
    updateRefreshesSeen();
}

void ScriptedHost::tick(int refreshes) {
    RunLoop::main()->tick(refreshes);
}

void ScriptedHost::wait(double milliseconds) {
    RunLoop::main()->advance(milliseconds);
}

void ScriptedHost::pause(double milliseconds) {
    RunLoop::main()->runRealTime(milliseconds);
}

double ScriptedHost::nowMilliseconds() const {
    return RunLoop::main()->nowMilliseconds();
}

void ScriptedHost::makeRenderer() {
    UIScreen* screen = UIScreen::mainScreen();
    m_renderer =
        std::make_unique<LayerRenderer>(screen->pixelWidth(), screen->pixelHeight(), screen->scale());
}

size_t ScriptedHost::render() {
    prepareScreen();
    size_t pixels = 0;
    for (const IntRect& rect : m_renderer->render(screenView()).rects())
        pixels += static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    return pixels;
}

bool ScriptedHost::snapshot(const std::string& hostPath, std::string& error) {
    render();
    return m_renderer->writePNG(hostPath, &error);
}

// ---- recordings --------------------------------------------------------------------------------

struct ScriptedHost::Recording {
    std::unique_ptr<Recorder> recorder;
    // Ctrl-C while recording completes the file instead of losing it.
    Interruption interruption;
    // Set when a frame could not be written, or when an interrupt stopped the frames.
    std::string error;
    std::optional<int64_t> stoppedAt;
};

void ScriptedHost::updateRefreshesSeen() {
    bool recording = m_recording && !m_recording->stoppedAt;
    RunLoop::main()->setRefreshesUnseen(m_unseen && !recording);
}

bool ScriptedHost::startRecording(const std::string& path, int fps, std::string& error) {
    if (m_recording) {
        error = "already recording to " + m_recording->recorder->path();
        return false;
    }
    const Bitmap& screen = m_renderer->bitmap();
    auto recorder =
        Recorder::start(path, screen.width(), screen.height(), fps, RunLoop::main()->nowNanoseconds(), error);
    if (!recorder)
        return false;
    m_recording = std::make_shared<Recording>();
    m_recording->recorder = std::move(recorder);
    if (!m_windowRecords)
        scheduleRecordingFrame();
    updateRefreshesSeen();
    return true;
}

void ScriptedHost::scheduleRecordingFrame() {
    std::weak_ptr<Recording> weak = m_recording;
    // Just after the frame's instant: the picture shows everything that ran at that instant.
    RunLoop::main()->enqueue(m_recording->recorder->nextDue() + 1, [this, weak] {
        auto recording = weak.lock();
        if (!recording || recording->stoppedAt)
            return;
        int64_t now = RunLoop::main()->nowNanoseconds();
        if (Interruption::requested()) {
            recording->stoppedAt = now;
            updateRefreshesSeen();
            return;
        }
        render();
        if (!recording->recorder->capture(m_renderer->bitmap(), now, recording->error)) {
            recording->stoppedAt = now;
            updateRefreshesSeen();
            NSLog("recording: " + recording->error);
            return;
        }
        scheduleRecordingFrame();
    });
}

std::string ScriptedHost::recordingPath() const {
    return m_recording ? m_recording->recorder->path() : std::string();
}

void ScriptedHost::recordShownScreen() {
    if (!m_recording || m_recording->stoppedAt)
        return;
    int64_t now = RunLoop::main()->nowNanoseconds();
    render();
    if (!m_recording->recorder->capture(m_renderer->bitmap(), now, m_recording->error)) {
        m_recording->stoppedAt = now;
        NSLog("recording: " + m_recording->error);
    }
}

std::optional<ScriptedHost::FinishedRecording> ScriptedHost::stopRecording(std::string& error) {
    if (!m_recording) {
        error = "not recording";
        return std::nullopt;
    }
    std::shared_ptr<Recording> recording = std::move(m_recording);
    updateRefreshesSeen();
    Recorder& recorder = *recording->recorder;
    if (!recording->error.empty()) {
        error = recording->error;
        return std::nullopt;
    }
    render();
    int64_t end = recording->stoppedAt.value_or(RunLoop::main()->nowNanoseconds());
    if (!recorder.finish(m_renderer->bitmap(), end, error))
        return std::nullopt;
    return FinishedRecording{recorder.path(), recorder.frames()};
}
