#pragma once

// The time in Settings' status bar: the device's status bar override when one is set; otherwise,
// in a window or on a served device, this machine's time, turning with each minute as the lock
// screen's does; in a headless script's run, 9:41, so that its pictures never depend on when it runs.

#include "platform/ui/UINavigationBar.h"

#include <memory>

class SettingsStatusBar {
public:
    SettingsStatusBar(UINavigationBar* bar, bool live);
    ~SettingsStatusBar();
    SettingsStatusBar(const SettingsStatusBar&) = delete;
    SettingsStatusBar& operator=(const SettingsStatusBar&) = delete;

private:
    void show();

    Ref<UINavigationBar> m_bar;
    bool m_live;
    int m_observer = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for the redraw left on the run loop
    uint64_t m_generation = 0;
};
