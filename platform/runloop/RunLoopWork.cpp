// Running what falls due: main-queue tasks, timers and display refreshes, in time order, and
// moving the virtual clock through them.

#include "platform/foundation/DeviceLog.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/NSTimer.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/RunLoopTime.h"
#include "runtime/AutoreleasePool.h"

#include <algorithm>
#include <utility>

using RunLoopDetail::millisecondsToNanoseconds;
using RunLoopDetail::never;

namespace {

// A virtual instant at which work keeps scheduling more work for the same instant is cut off
// after this many passes, so that advance always returns.
constexpr int maxPassesPerInstant = 100000;

bool taskAfter(const auto& a, const auto& b) {
    return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
}

} // namespace

int64_t RunLoop::nextTaskDue() {
    std::lock_guard guard(m_taskLock);
    return m_tasks.empty() ? never : m_tasks.front().due;
}

int64_t RunLoop::nextTimerDue() const {
    int64_t due = never;
    for (const auto& entry : m_timers)
        if (entry.timer->isValid() && modeMatches(entry.mode, m_mode))
            due = std::min(due, entry.timer->fireDate());
    return due;
}

bool RunLoop::runDueTasks(int64_t now) {
    // Only the tasks due when the pass starts: a task that enqueues another for now leaves it
    // for the next pass.
    std::vector<Task> due;
    {
        std::lock_guard guard(m_taskLock);
        while (!m_tasks.empty() && m_tasks.front().due <= now) {
            std::pop_heap(m_tasks.begin(), m_tasks.end(),
                          [](const Task& a, const Task& b) { return taskAfter(a, b); });
            due.push_back(std::move(m_tasks.back()));
            m_tasks.pop_back();
        }
    }
    for (auto& task : due)
        RunLoopDetail::guarded("a main-queue task", task.run);
    return !due.empty();
}

bool RunLoop::runDueTimers(int64_t now) {
    std::vector<Ref<NSTimer>> due;
    for (const auto& entry : m_timers)
        if (entry.timer->isValid() && modeMatches(entry.mode, m_mode) && entry.timer->fireDate() <= now)
            due.push_back(entry.timer);
    std::stable_sort(due.begin(), due.end(), [](const Ref<NSTimer>& a, const Ref<NSTimer>& b) {
        return a->fireDate() < b->fireDate();
    });
    for (auto& timer : due)
        if (timer->isValid())
            timer->fire(now);
    std::erase_if(m_timers, [](const TimerEntry& entry) { return !entry.timer->isValid(); });
    return !due.empty();
}

void RunLoop::fireRefresh(int64_t instant) {
    ++m_refreshCount;
    int64_t interval = refreshIntervalNanoseconds();
    // A copy: a tick may add, invalidate or remove links.
    std::vector<LinkEntry> links = m_links;
    for (auto& entry : links) {
        CADisplayLink* link = entry.link.get();
        if (link->isValid() && !link->isPaused() && modeMatches(entry.mode, m_mode))
            link->fire(instant, interval);
    }
    std::vector<Observer> observers = m_observers;
    for (auto& observer : observers)
        if (observer.onRefresh)
            RunLoopDetail::guarded("a refresh observer", [&] { observer.onRefresh(instant); });
}

void RunLoop::notifyPass() {
    std::vector<Observer> observers = m_observers;
    for (auto& observer : observers)
        if (observer.onPass)
            RunLoopDetail::guarded("a run-loop observer", observer.onPass);
    // What the pass answered without an owner is let go of once the pass is over.
    AutoreleasePool::drainBase();
}

bool RunLoop::runDueWork(int64_t now) {
    bool ran = runDueTasks(now);
    ran |= runDueTimers(now);
    int64_t instant = nextRefreshInstant();
    if (instant <= now) {
        uint64_t due = m_nextRefreshIndex;
        // A real clock that fell behind handles only the latest refresh, as a display does; one
        // slept through on purpose runs in its turn first.
        skipRefreshesThrough(now);
        if (std::exchange(m_sleptThrough, 0) == due && due + 1 < m_nextRefreshIndex)
            fireRefresh(refreshInstant(due));
        fireRefresh(refreshInstant(m_nextRefreshIndex - 1));
        ran = true;
    } else if (instant == never) {
        skipRefreshesThrough(now);
    }
    if (ran)
        notifyPass();
    return ran;
}

void RunLoop::advance(double milliseconds) {
    advanceNanoseconds(millisecondsToNanoseconds(milliseconds));
}

void RunLoop::advanceNanoseconds(int64_t nanoseconds) {
    if (nanoseconds < 0)
        nanoseconds = 0;
    if (!m_virtual) {
        runRealTime(static_cast<double>(nanoseconds) / 1e6);
        return;
    }
    int64_t target = m_virtualNow > never - nanoseconds ? never - 1 : m_virtualNow + nanoseconds;
    int passesHere = 0;
    int64_t lastInstant = -1;
    for (;;) {
        int64_t next = std::min({nextTaskDue(), nextTimerDue(), nextRefreshInstant()});
        if (next > target)
            break;
        next = std::max(next, m_virtualNow);
        if (next == lastInstant) {
            if (++passesHere > maxPassesPerInstant) {
                NSLog("run loop: work keeps rescheduling itself at one instant; moving the clock on");
                break;
            }
        } else {
            passesHere = 0;
            lastInstant = next;
        }
        m_virtualNow = next;
        runDueWork(next);
    }
    // A nested advance may have moved the clock further already.
    m_virtualNow = std::max(m_virtualNow, target);
    if (!refreshWanted())
        skipRefreshesThrough(m_virtualNow);
}

void RunLoop::tick(int refreshes) {
    if (refreshes <= 0)
        return;
    if (m_virtual) {
        for (int i = 0; i < refreshes; ++i) {
            // The next refresh instant, whether or not anything listens to it.
            skipRefreshesThrough(m_virtualNow);
            advanceNanoseconds(refreshInstant(m_nextRefreshIndex) - m_virtualNow);
        }
        return;
    }
    uint64_t goal = m_refreshCount + static_cast<uint64_t>(refreshes);
    // Without a listener no refresh runs; wait for the time they would take instead.
    if (!refreshWanted()) {
        runRealTime(static_cast<double>(refreshes) * 1e3 / m_refreshRate);
        return;
    }
    runUntil([&] { return m_refreshCount >= goal; },
             static_cast<double>(refreshes) * 2e3 / m_refreshRate + 1000);
}

void RunLoop::enqueue(int64_t dueNanoseconds, std::function<void()> task) {
    if (!task)
        return;
    {
        std::lock_guard guard(m_taskLock);
        m_tasks.push_back({dueNanoseconds, m_taskSequence++, std::move(task)});
        std::push_heap(m_tasks.begin(), m_tasks.end(),
                       [](const Task& a, const Task& b) { return taskAfter(a, b); });
    }
    wake();
}
