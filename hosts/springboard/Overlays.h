#pragma once

// What the screen shows besides the lock screen: the authentication prompt while an unlock waits
// for the person, and the launched app once the device is unlocked. Both a window and a scripted
// run's snapshots show them.

#include "platform/ui/UIView.h"

#include <string>

class SpringBoard;

class Overlays {
public:
    explicit Overlays(SpringBoard& host) : m_host(host) {}
    // Brings the overlays in line with the host's state.
    void update();

private:
    Ref<UIView> label(const std::string& text, const std::string& font, double centreY) const;
    Ref<UIView> makePrompt();
    Ref<UIView> makeAppScreen(const std::string& bundle);

    SpringBoard& m_host;
    Ref<UIView> m_prompt;
    Ref<UIView> m_app;
    std::string m_shownApp;
};
