#pragma once

// What every host of the simulated device shares: a screen (a view tree drawn by a retained
// renderer), the main run loop's clock, and a state object for its trace. A host derives from it
// and adds only its own commands.

#include "hosts/common/Json.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIView.h"

#include <memory>
#include <string>

class ScriptedHost {
public:
    virtual ~ScriptedHost() = default;

    // What the screen shows.
    virtual UIView* screenView() const = 0;
    // The host's `state` object.
    virtual Json state() const = 0;
    // Brings what the screen shows in line with the host's own state before a picture is taken.
    virtual void prepareScreen() {}

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

protected:
    // Makes the renderer for the main screen; a host calls it once its screen exists.
    void makeRenderer();

private:
    std::unique_ptr<LayerRenderer> m_renderer;
};
