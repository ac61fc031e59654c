#include "hosts/springboard/Window.h"
#include "hosts/common/Window.h"

#include <SDL.h>
#include <cmath>

namespace {

// A press that moves less than this many points is a tap, not a drag.
constexpr double dragThreshold = 6;

class LockScreenWindow : public WindowClient {
public:
    explicit LockScreenWindow(SpringBoard& host) : m_host(host) {}

    ScriptedHost& host() override { return m_host; }
    std::string helpLine() const override {
        return "Drag an icon down to launch its app | click or any key: authenticate | L: lock | H: hint | "
               "Q or Esc: quit";
    }

    void pointerDown(CGPoint point) override {
        // The safe-mode banner across the top restarts the lock screen with its tweaks.
        if (m_host.inSafeMode() && point.y < SpringBoard::safeModeBannerHeight) {
            m_host.respring();
            return;
        }
        if (m_host.locked() && m_host.unlockRequested()) {
            m_host.authenticate(true);
        } else if (m_host.locked()) {
            m_pointer = Pointer{};
            m_pointer.start = m_pointer.last = point;
            m_pointer.button = m_host.appButtonAt(point);
        }
    }

    void pointerMoved(CGPoint now) override {
        if (!m_pointer.button)
            return;
        std::string error;
        if (!m_pointer.dragging &&
            std::hypot(now.x - m_pointer.start.x, now.y - m_pointer.start.y) >= dragThreshold) {
            m_pointer.dragging = true;
            m_host.pan(m_pointer.button, PanPhase::Begin, {0, 0}, error);
            m_host.pan(m_pointer.button, PanPhase::Move,
                       {now.x - m_pointer.start.x, now.y - m_pointer.start.y}, error);
        } else if (m_pointer.dragging) {
            m_host.pan(m_pointer.button, PanPhase::Move, {now.x - m_pointer.last.x, now.y - m_pointer.last.y},
                       error);
        }
        m_pointer.last = now;
    }

    void pointerUp(CGPoint) override {
        std::string error;
        if (m_pointer.button) {
            if (m_pointer.dragging)
                m_host.pan(m_pointer.button, PanPhase::End, {0, 0}, error);
            else
                m_host.tap(m_pointer.button, error);
        }
        m_pointer = Pointer{};
    }

    bool key(int key, char) override {
        if (m_host.locked() && m_host.unlockRequested())
            m_host.authenticate(key != SDLK_ESCAPE);
        else if (key == SDLK_q || key == SDLK_ESCAPE)
            return false;
        else if (key == SDLK_l)
            m_host.lock();
        else if (key == SDLK_h)
            m_host.showNewHint();
        return true;
    }

private:
    struct Pointer {
        int button = 0; // the app button pressed, 0 for none
        bool dragging = false;
        CGPoint start; // in points
        CGPoint last;
    };

    SpringBoard& m_host;
    Pointer m_pointer;
};

} // namespace

int runSpringBoardWindow(SpringBoard& host, ScriptRunner& runner, std::istream* script) {
    // The lock screen comes on screen as the window first shows; a script then runs on it.
    host.layoutQuickActions();
    host.showNewHint();
    host.appear();
    if (script)
        runner.run(*script);
    LockScreenWindow window(host);
    return runWindow(window, "springboard");
}
