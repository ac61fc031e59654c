#include "platform/runloop/RunLoop.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSString.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/NSTimer.h"
#include "runtime/Associations.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int64_t never = std::numeric_limits<int64_t>::max();
// A virtual instant at which work keeps scheduling more work for the same instant is cut off
// after this many passes, so that advance always returns.
constexpr int maxPassesPerInstant = 100000;

int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isMainThread() {
    return ::getpid() == static_cast<pid_t>(::syscall(SYS_gettid));
}

bool taskAfter(const auto& a, const auto& b) {
    return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
}

int64_t millisecondsToNanoseconds(double milliseconds) {
    if (!(milliseconds > 0))
        return 0;
    if (milliseconds > 9e12)
        return never / 2;
    return static_cast<int64_t>(std::llround(milliseconds * 1e6));
}

} // namespace

namespace RunLoopDetail {

void guarded(const char* what, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        NSLog(std::string("run loop: ") + what + " failed: " + error.what());
    } catch (...) {
        NSLog(std::string("run loop: ") + what + " failed");
    }
}

} // namespace RunLoopDetail

Class RunLoop::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSRunLoop", NSObject::objcClass(), &instance_factory<RunLoop>);
        class_addMethod(
            c, "currentMode", +[](id self, SEL) -> id {
                // The loop keeps the string it answers, so that the answer has an owner.
                static const char key = 0;
                Ref<NSString> mode =
                    NSString::stringWithUTF8String(static_cast<RunLoop*>(self)->currentMode());
                objc_setAssociatedObject(self, &key, mode, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return mode.get();
            });
        class_addMethod(
            c, "addTimer:forMode:", +[](id self, SEL, id timer, id mode) {
                auto* t = objc_cast<NSTimer>(timer);
                const std::string* name = string_value(mode);
                if (t && name)
                    static_cast<RunLoop*>(self)->addTimer(t, *name);
            });
        return c;
    }();
    return cls;
}

RunLoop* RunLoop::main() {
    // Made once and never destroyed: libraries may still hold links to it at exit.
    static RunLoop* const loop = make_object<RunLoop>().leak();
    return loop;
}

RunLoop* RunLoop::current() {
    if (isMainThread())
        return main();
    thread_local Ref<RunLoop> loop = make_object<RunLoop>();
    return loop.get();
}

RunLoop::RunLoop() {
    m_realEpoch = steadyNow();
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

RunLoop::~RunLoop() {
    for (auto& entry : m_links)
        entry.link->forgetRunLoop(this);
    for (auto& entry : m_timers)
        entry.timer->setRunLoop(nullptr);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

// ---- clocks ------------------------------------------------------------------------------------

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
}

void RunLoop::useRealClock() {
    if (!m_virtual)
        return;
    m_realOffset = m_virtualNow;
    m_realEpoch = steadyNow();
    m_virtual = false;
    m_refreshOrigin = m_virtualNow;
    m_nextRefreshIndex = 1;
}

void RunLoop::setRefreshRate(double hertz) {
    if (!(hertz > 0) || !std::isfinite(hertz) || hertz > 1000)
        hertz = 60;
    if (hertz == m_refreshRate)
        return;
    m_refreshRate = hertz;
    m_refreshOrigin = nowNanoseconds();
    m_nextRefreshIndex = 1;
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
        if (observer.onRefresh)
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

// ---- modes -------------------------------------------------------------------------------------

void RunLoop::setCurrentMode(std::string_view mode) {
    if (mode.empty() || mode == NSRunLoopCommonModes)
        mode = NSDefaultRunLoopMode;
    m_mode = std::string(mode);
}

bool RunLoop::modeMatches(std::string_view registered, std::string_view running) {
    if (registered == running)
        return true;
    return registered == NSRunLoopCommonModes &&
           (running == NSDefaultRunLoopMode || running == UITrackingRunLoopMode);
}

// ---- work --------------------------------------------------------------------------------------

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
        // A real clock that fell behind handles only the latest refresh, as a display does.
        skipRefreshesThrough(now);
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

// ---- real time ---------------------------------------------------------------------------------

bool RunLoop::pollSources() {
    return waitForSources(0);
}

bool RunLoop::waitForSources(int64_t timeoutNanoseconds) {
    std::vector<pollfd> fds;
    fds.reserve(m_sources.size() + 1);
    if (m_wakeFd >= 0)
        fds.push_back({m_wakeFd, POLLIN, 0});
    for (const auto& source : m_sources)
        fds.push_back({source.fd, POLLIN, 0});
    int timeout = 0;
    if (timeoutNanoseconds > 0)
        timeout = static_cast<int>(std::min<int64_t>((timeoutNanoseconds + 999999) / 1000000, 1 << 30));
    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready <= 0)
        return false;
    bool ran = false;
    size_t first = 0;
    if (m_wakeFd >= 0) {
        first = 1;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(m_wakeFd, &count, sizeof count);
        }
    }
    // Handlers may add or remove sources; each ready one runs if it is still registered as it was.
    std::vector<std::pair<int, uint64_t>> readyNow;
    for (size_t i = first; i < fds.size(); ++i)
        if (fds[i].revents)
            readyNow.emplace_back(fds[i].fd, fds[i].revents);
    for (auto [fd, events] : readyNow) {
        auto it = std::find_if(m_sources.begin(), m_sources.end(),
                               [fd = fd](const Source& s) { return s.fd == fd; });
        if (it == m_sources.end())
            continue;
        if (events & POLLNVAL) {
            NSLog("run loop: source " + std::to_string(fd) + " is no longer open; removed");
            m_sources.erase(it);
            continue;
        }
        std::function<void()> handler = it->handler;
        RunLoopDetail::guarded("a source handler", handler);
        ran = true;
    }
    return ran;
}

void RunLoop::runOnce(double maxWaitMilliseconds) {
    int64_t wait = millisecondsToNanoseconds(maxWaitMilliseconds);
    if (m_virtual) {
        // Waiting in real time moves no virtual time: only sources and the tasks already due run.
        bool ran = runDueTasks(m_virtualNow);
        if (ran || nextTaskDue() <= m_virtualNow)
            wait = 0;
        ran |= waitForSources(wait);
        ran |= runDueTasks(m_virtualNow);
        if (ran)
            notifyPass();
        return;
    }
    bool ran = runDueWork(realNow());
    int64_t now = realNow();
    int64_t next = std::min({nextTaskDue(), nextTimerDue(), nextRefreshInstant()});
    if (ran)
        wait = 0;
    else if (next != never)
        wait = std::min(wait, std::max<int64_t>(0, next - now));
    bool served = waitForSources(wait);
    if (!runDueWork(realNow()) && served)
        notifyPass();
}

void RunLoop::runRealTime(double milliseconds) {
    int64_t deadline = steadyNow() + millisecondsToNanoseconds(milliseconds);
    for (;;) {
        int64_t left = deadline - steadyNow();
        if (left <= 0)
            break;
        runOnce(static_cast<double>(left) / 1e6);
    }
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double realTimeoutMilliseconds) {
    int64_t deadline = steadyNow() + millisecondsToNanoseconds(realTimeoutMilliseconds);
    while (!predicate()) {
        int64_t left = deadline - steadyNow();
        if (left <= 0)
            return predicate();
        runOnce(static_cast<double>(left) / 1e6);
    }
    return true;
}

void RunLoop::run() {
    m_stopRequested = false;
    while (!m_stopRequested)
        runOnce(1000);
    m_stopRequested = false;
}

// ---- sources, tasks, observers -----------------------------------------------------------------

void RunLoop::addReadSource(int fd, std::function<void()> onReadable) {
    if (fd < 0 || !onReadable)
        return;
    removeReadSource(fd);
    m_sources.push_back({fd, ++m_sourceGeneration, std::move(onReadable)});
}

void RunLoop::removeReadSource(int fd) {
    std::erase_if(m_sources, [fd](const Source& source) { return source.fd == fd; });
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

void RunLoop::wake() {
    if (m_wakeFd < 0)
        return;
    uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
}

RunLoop::ObserverToken RunLoop::addRefreshObserver(std::function<void(int64_t)> observer) {
    if (!observer)
        return 0;
    if (!refreshWanted())
        skipRefreshesThrough(nowNanoseconds());
    m_observers.push_back({m_nextToken, std::move(observer), nullptr});
    return m_nextToken++;
}

RunLoop::ObserverToken RunLoop::addPassObserver(std::function<void()> observer) {
    if (!observer)
        return 0;
    m_observers.push_back({m_nextToken, nullptr, std::move(observer)});
    return m_nextToken++;
}

void RunLoop::removeObserver(ObserverToken token) {
    std::erase_if(m_observers, [token](const Observer& observer) { return observer.token == token; });
}

void RunLoop::addDisplayLink(CADisplayLink* link, std::string_view mode) {
    if (!link || mode.empty())
        return;
    for (const auto& entry : m_links)
        if (entry.link.get() == link && entry.mode == mode)
            return;
    if (!refreshWanted())
        skipRefreshesThrough(nowNanoseconds());
    m_links.push_back({link, std::string(mode)});
}

void RunLoop::removeDisplayLink(CADisplayLink* link, const std::string* mode) {
    // Released outside the loop's list, in case the last reference runs teardown that comes back here.
    std::vector<LinkEntry> removed;
    for (auto it = m_links.begin(); it != m_links.end();) {
        if (it->link.get() == link && (!mode || it->mode == *mode)) {
            removed.push_back(std::move(*it));
            it = m_links.erase(it);
        } else {
            ++it;
        }
    }
}

void RunLoop::addTimer(NSTimer* timer, std::string_view mode) {
    if (!timer || !timer->isValid() || mode.empty())
        return;
    for (const auto& entry : m_timers)
        if (entry.timer.get() == timer && entry.mode == mode)
            return;
    timer->setRunLoop(this);
    timer->scheduleFrom(nowNanoseconds());
    m_timers.push_back({timer, std::string(mode)});
    wake();
}

void RunLoop::removeTimer(NSTimer* timer) {
    std::vector<TimerEntry> removed;
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->timer.get() == timer) {
            removed.push_back(std::move(*it));
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}
