#include "hosts/springboard/Window.h"

#include <SDL.h>
#include <cmath>
#include <utility>
#include <vector>

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
    std::vector<std::string> helpLines() const override {
        return {"Drag an app icon down past the line", "  to launch its app",
                "1-4, then Down/Up: drag icon 1-4",    "  by keys; Return lets go, Esc cancels",
                "Click or any key: authenticate",      "L: lock   H: a new hint",
                "S: screenshot   R: record",           "? or F1: this help   Q: quit"};
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
        std::string error;
        if (m_host.locked() && m_host.unlockRequested()) {
            m_host.authenticate(key != SDLK_ESCAPE);
        } else if (m_keyDrag) {
            // A drag by keys: arrows move the held icon 10 points, Return lets go, Esc cancels.
            if (key == SDLK_DOWN || key == SDLK_UP)
                m_host.pan(m_keyDrag, PanPhase::Move, {0, key == SDLK_DOWN ? 10.0 : -10.0}, error);
            else if (key == SDLK_LEFT || key == SDLK_RIGHT)
                m_host.pan(m_keyDrag, PanPhase::Move, {key == SDLK_RIGHT ? 10.0 : -10.0, 0}, error);
            else if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_SPACE)
                m_host.pan(std::exchange(m_keyDrag, 0), PanPhase::End, {0, 0}, error);
            else if (key == SDLK_ESCAPE)
                m_host.pan(std::exchange(m_keyDrag, 0), PanPhase::Cancel, {0, 0}, error);
        } else if (key >= SDLK_1 && key <= SDLK_4 && m_host.locked()) {
            m_keyDrag = key - SDLK_1 + 1;
            m_host.pan(m_keyDrag, PanPhase::Begin, {0, 0}, error);
        } else if (key == SDLK_q || key == SDLK_ESCAPE)
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
    int m_keyDrag = 0; // the icon held by a drag from the keyboard, 0 for none
};

} // namespace

std::unique_ptr<WindowClient> makeLockScreenInput(SpringBoard& host) {
    return std::make_unique<LockScreenWindow>(host);
}

int runSpringBoardWindow(SpringBoard& host, ScriptRunner& runner, std::istream* script, WindowClient& input) {
    // The lock screen comes on screen as the window first shows; a script then runs on it.
    host.layoutQuickActions();
    host.showNewHint();
    host.appear();
    if (script)
        runner.run(*script);
    return runWindow(input, "springboard");
}
