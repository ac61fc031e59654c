#pragma once

// The time and date at the top of the lock screen, redrawn as each minute turns on the host's
// clock. On the virtual clock of a script's run it starts at a fixed moment (read as UTC), so that a
// script's pictures never depend on the day; on the real clock (a window, a served device) it is
// this machine's time.
//
// The first face is drawn on a thread of its own as soon as the clock exists, while the rest of the
// lock screen is built: large text is a good part of the time to the first frame.

#include "hosts/common/StatusBarOverride.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <ctime>
#include <future>
#include <memory>
#include <optional>
#include <string>

class LockClock {
public:
    // origin: what the clock shows when the host's clock reads 0; inUTC: read as UTC rather than
    // this machine's time zone. scale: pixels per point.
    LockClock(std::time_t origin, bool inUTC, double scale);
    ~LockClock();
    LockClock(const LockClock&) = delete;
    LockClock& operator=(const LockClock&) = delete;

    // Shows the clock in face (as wide as the screen) from now on.
    void showIn(UIView* face);
    // Shows that moment instead of the clock's (its date too, when it has one) until unpinned.
    void pin(std::optional<StatusBarOverride::Moment> moment);

    // What the face shows now.
    std::string timeShown() const { return m_shown.time; }
    std::string dateShown() const { return m_shown.date; }

private:
    struct Texts {
        std::string time, date;
    };
    struct Pictures {
        Texts texts;
        std::optional<Bitmap> time, date;
    };
    Texts textsAt(double elapsedSeconds, int& secondsIntoMinute) const;
    static Pictures draw(Texts texts, double scale);
    void show();

    std::time_t m_origin;
    bool m_inUTC;
    std::optional<StatusBarOverride::Moment> m_pinned;
    Texts m_shown;
    uint64_t m_generation = 0;
    double m_scale;
    Ref<UIView> m_face;
    std::future<Pictures> m_first;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for the redraw left on the run loop
};
