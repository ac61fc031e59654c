// The loop's clocks (real and virtual) and the display refreshes' instants on them.

#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/NSTimer.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/RunLoopTime.h"

#include <algorithm>
#include <cmath>

using RunLoopDetail::never;
using RunLoopDetail::steadyNow;

int64_t RunLoop::realNow() const {
    return steadyNow() - m_realEpoch + m_realOffset;
}

int64_t RunLoop::nowNanoseconds() const {
    return m_virtual ? m_virtualNow : realNow();
}

void RunLoop::rebaseTimedWork(int64_t delta) {
    if (delta == 0)
        return;
    {
        std::lock_guard guard(m_taskLock);
        for (auto& task : m_tasks)
            task.due = std::max<int64_t>(0, task.due + delta);
    }
    for (auto& entry : m_timers)
        entry.timer->shiftFireDate(delta);
}

void RunLoop::useVirtualClock() {
    int64_t before = nowNanoseconds();
    m_virtual = true;
    m_virtualNow = 0;
    rebaseTimedWork(-before);
    m_refreshOrigin = 0;
    m_nextRefreshIndex = 1;
    m_sleptThrough = 0;
}

void RunLoop::useRealClock() {
    if (!m_virtual)
        return;
    m_realOffset = m_virtualNow;
    m_realEpoch = steadyNow();
    m_virtual = false;
    m_refreshOrigin = m_virtualNow;
    m_nextRefreshIndex = 1;
    m_sleptThrough = 0;
}

void RunLoop::setRefreshRate(double hertz) {
    if (!(hertz > 0) || !std::isfinite(hertz) || hertz > 1000)
        hertz = 60;
    if (hertz == m_refreshRate)
        return;
    m_refreshRate = hertz;
    m_refreshOrigin = nowNanoseconds();
    m_nextRefreshIndex = 1;
    m_sleptThrough = 0;
}

int64_t RunLoop::refreshIntervalNanoseconds() const {
    return std::llround(1e9 / m_refreshRate);
}

int64_t RunLoop::refreshInstant(uint64_t index) const {
    return m_refreshOrigin + std::llround(static_cast<double>(index) * 1e9 / m_refreshRate);
}

int64_t RunLoop::nextRefreshInstant() {
    if (!refreshWanted())
        return never;
    // With the virtual clock every instant up to now has been handled; an index left behind (the
    // first listener appeared in the middle of a pass) moves up to the first instant from now on.
    if (m_virtual && refreshInstant(m_nextRefreshIndex) < m_virtualNow)
        skipRefreshesThrough(m_virtualNow - 1);
    return refreshInstant(m_nextRefreshIndex);
}

bool RunLoop::refreshWanted() const {
    for (const auto& observer : m_observers)
        if (observer.onRefresh && (!observer.wanted || observer.wanted()))
            return true;
    for (const auto& entry : m_links)
        if (entry.link->isValid() && !entry.link->isPaused() && modeMatches(entry.mode, m_mode))
            return true;
    return false;
}

void RunLoop::skipRefreshesThrough(int64_t now) {
    // The first index whose instant lies after now.
    double elapsed = static_cast<double>(now - m_refreshOrigin) * m_refreshRate / 1e9;
    auto index = static_cast<uint64_t>(std::max(0.0, std::floor(elapsed)));
    while (refreshInstant(index) <= now)
        ++index;
    while (index > 1 && refreshInstant(index - 1) > now)
        --index;
    m_nextRefreshIndex = std::max<uint64_t>(index, 1);
}
