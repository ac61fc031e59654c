#include "hosts/settings/SettingsStatusBar.h"
#include "hosts/common/StatusBarOverride.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/runloop/RunLoop.h"

#include <chrono>
#include <ctime>

SettingsStatusBar::SettingsStatusBar(UINavigationBar* bar, bool live) : m_bar(bar), m_live(live) {
    m_observer = DarwinNotificationCenter::shared().addObserver(StatusBarOverride::changedNotification,
                                                                [this](const std::string&) { show(); });
    show();
}

SettingsStatusBar::~SettingsStatusBar() {
    if (m_observer)
        DarwinNotificationCenter::shared().removeObserver(m_observer);
}

void SettingsStatusBar::show() {
    ++m_generation;
    if (auto pinned = StatusBarOverride::read()) {
        m_bar->setStatusTime(StatusBarOverride::timeText(*pinned));
        return;
    }
    if (!m_live) {
        m_bar->setStatusTime("9:41");
        return;
    }
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%-H:%M", &parts);
    m_bar->setStatusTime(text);
    // Again as the next minute turns.
    double toNextMinute = 60 - parts.tm_sec;
    std::weak_ptr<bool> alive = m_alive;
    uint64_t generation = m_generation;
    RunLoop::main()->enqueue(RunLoop::main()->nowNanoseconds() + static_cast<int64_t>(toNextMinute * 1e9),
                             [this, alive, generation] {
                                 if (alive.lock() && generation == m_generation)
                                     show();
                             });
}
