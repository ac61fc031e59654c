#pragma once

// What every host of the simulated device shares: a screen (a view tree drawn by a retained
// renderer), the main run loop's clock, and a state object for its trace. A host derives from it
// and adds only its own commands.

#include "hosts/common/Json.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class Recorder;
struct ScreenElement;

class ScriptedHost {
public:
    virtual ~ScriptedHost() = default;

    // What the screen shows.
    virtual UIView* screenView() const = 0;
    // The host's `state` object.
    virtual Json state() const = 0;
    // Brings what the screen shows in line with the host's own state before a picture is taken.
    virtual void prepareScreen() {}
    // What only the host knows of a view it shows (an app button's app, a row's value), added to what
    // the shared walk found (ScreenDescription.h).
    virtual void describeView(UIView*, ScreenElement&) const {}

    // While a line sent from outside runs, a window shows each refresh as it happens.
    void setDrivenFromOutside(bool driven) { m_drivenFromOutside = driven; }
    bool drivenFromOutside() const { return m_drivenFromOutside; }

    // Headless on the real clock (a served device's process): nobody sees the screen, so its
    // refreshes are only caught up with as something wakes the host (RunLoop::setRefreshesUnseen),
    // except while a recording is going, which sees every one.
    void runUnseen();

    // --- time ---
    void tick(int refreshes);
    void wait(double milliseconds);
    void pause(double milliseconds);
    double nowMilliseconds() const;

    // --- pictures ---
    // Brings the screen's pixels up to date; answers how many pixels were repainted.
    size_t render();
    bool snapshot(const std::string& hostPath, std::string& error);
    LayerRenderer& renderer() { return *m_renderer; }

    // --- recordings ---
    // Starts recording the screen into path at fps frames a second of the host's clock. Headless,
    // the clock's own tasks take each frame; with a window, the window hands over what it shows.
    bool startRecording(const std::string& path, int fps, std::string& error);
    struct FinishedRecording {
        std::string path;
        int64_t frames = 0;
    };
    // Completes the recording (nullopt with error when it could not be written, or none was going).
    std::optional<FinishedRecording> stopRecording(std::string& error);
    bool isRecording() const { return m_recording != nullptr; }
    std::string recordingPath() const;
    bool recordsFromWindow() const { return m_windowRecords; }
    // The window shows the screen itself; frames are taken as it draws (recordShownScreen).
    void recordFromWindow() { m_windowRecords = true; }
    void recordShownScreen();

protected:
    // Makes the renderer for the main screen; a host calls it once its screen exists.
    void makeRenderer();

private:
    struct Recording;
    void scheduleRecordingFrame();
    // Whether the loop's refreshes are seen: by a recording taking frames, when the host runs unseen.
    void updateRefreshesSeen();

    std::unique_ptr<LayerRenderer> m_renderer;
    // Shared with the clock's pending frame tasks, which hold it weakly.
    std::shared_ptr<Recording> m_recording;
    bool m_windowRecords = false;
    bool m_drivenFromOutside = false;
    bool m_unseen = false;
};
