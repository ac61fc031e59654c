#include "hosts/settings/SettingsWindow.h"
#include "platform/runloop/RunLoop.h"

#include <SDL.h>
#include <cmath>
#include <vector>

namespace {

// A press that moves less than this many points is a tap, not a drag.
constexpr double dragThreshold = 6;

class SettingsWindow : public WindowClient {
public:
    explicit SettingsWindow(SettingsApp& app) : m_app(app) {}

    ScriptedHost& host() override { return m_app; }
    std::string helpLine() const override {
        return "Click a row to open, flip or edit it | drag or wheel: scroll | Esc: back | Q: quit";
    }
    std::vector<std::string> helpLines() const override {
        return {"Click a row to open, flip or edit it",
                "Colour rows: type a hex value",
                "Drag or wheel: scroll",
                "Esc: back   Q: quit",
                "S: screenshot   R: record",
                "? or F1: this help"};
    }

    void pointerDown(CGPoint point) override {
        m_pressed = true;
        m_scrolling = false;
        m_start = m_last = point;
    }

    void pointerMoved(CGPoint point) override {
        if (!m_pressed)
            return;
        if (!m_scrolling && std::fabs(point.y - m_start.y) >= dragThreshold) {
            // While a finger drags the page, the run loop tracks; the headers' waves keep moving.
            m_scrolling = true;
            RunLoop::main()->setCurrentMode(UITrackingRunLoopMode);
        }
        if (m_scrolling)
            scrollBy(m_last.y - point.y);
        m_last = point;
    }

    void pointerUp(CGPoint point) override {
        if (!m_pressed)
            return;
        m_pressed = false;
        if (m_scrolling) {
            m_scrolling = false;
            RunLoop::main()->setCurrentMode(NSDefaultRunLoopMode);
            return;
        }
        // A tap anywhere dismisses an alert, and does nothing else.
        if (m_app.alert().dismiss())
            return;
        UINavigationController* navigation = m_app.navigation();
        UINavigationBar* bar = navigation->navigationBar();
        switch (bar->partAt(bar->convertPointFromView(point, nullptr))) {
        case UINavigationBar::Part::Back:
            navigation->popViewController();
            return;
        case UINavigationBar::Part::Right:
            if (Ref<UIBarButtonItem> item = bar->rightItem())
                item->tap();
            return;
        case UINavigationBar::Part::None:
            break;
        }
        if (point.y < bar->frame().size.height)
            return;
        if (Ref<UIViewController> top = navigation->topViewController())
            top->tapped(top->view()->convertPointFromView(point, nullptr));
    }

    void wheel(double dy) override { scrollBy(dy); }

    bool key(int key, char character) override {
        if (key == SDLK_ESCAPE) {
            m_app.navigation()->popViewController();
            return true;
        }
        Ref<UIViewController> top = m_app.navigation()->topViewController();
        if (top && character && top->typed(character))
            return true;
        return key != SDLK_q;
    }

private:
    void scrollBy(double dy) {
        if (PSListController* page = m_app.topPage())
            page->tableView()->scrollBy(dy);
    }

    SettingsApp& m_app;
    bool m_pressed = false;
    bool m_scrolling = false;
    CGPoint m_start, m_last;
};

} // namespace

std::unique_ptr<WindowClient> makeSettingsInput(SettingsApp& app) {
    return std::make_unique<SettingsWindow>(app);
}

int runSettingsWindow(SettingsScript& script, std::istream* input, WindowClient& client) {
    if (input)
        script.run(*input);
    return runWindow(client, "settings");
}
