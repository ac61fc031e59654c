// Waiting in real time: for file-descriptor sources, a wake-up from another thread, or the next
// due work.

#include "platform/foundation/DeviceLog.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/RunLoopTime.h"

#include <algorithm>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>

using RunLoopDetail::millisecondsToNanoseconds;
using RunLoopDetail::never;
using RunLoopDetail::steadyNow;

bool RunLoop::pollSources() {
    return waitForSources(0);
}

bool RunLoop::waitForSources(int64_t timeoutNanoseconds) {
    bool woke = false;
    return serveReady(waitForReady(timeoutNanoseconds, woke));
}

std::vector<std::pair<int, short>> RunLoop::waitForReady(int64_t timeoutNanoseconds, bool& woke) {
    std::vector<pollfd> fds;
    fds.reserve(m_sources.size() + 1);
    if (m_wakeFd >= 0)
        fds.push_back({m_wakeFd, POLLIN, 0});
    for (const auto& source : m_sources)
        fds.push_back({source.fd, POLLIN, 0});
    int timeout = 0;
    if (timeoutNanoseconds > 0)
        timeout = static_cast<int>(std::min<int64_t>((timeoutNanoseconds + 999999) / 1000000, 1 << 30));
    std::vector<std::pair<int, short>> ready;
    woke = ::poll(fds.data(), fds.size(), timeout) > 0;
    if (!woke)
        return ready;
    size_t first = 0;
    if (m_wakeFd >= 0) {
        first = 1;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(m_wakeFd, &count, sizeof count);
        }
    }
    for (size_t i = first; i < fds.size(); ++i)
        if (fds[i].revents)
            ready.emplace_back(fds[i].fd, fds[i].revents);
    return ready;
}

bool RunLoop::serveReady(const std::vector<std::pair<int, short>>& ready) {
    // Handlers may add or remove sources; each ready one runs if it is still registered.
    bool ran = false;
    for (auto [fd, events] : ready) {
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
    if (m_refreshesUnseen && m_askedWaits == 0) {
        runOnceUnseen(wait);
        return;
    }
    bool ran = runDueWork(realNow());
    int64_t now = realNow();
    int64_t refresh = nextRefreshInstant();
    if (refresh != never && m_sleptThrough == m_nextRefreshIndex && m_askedWaits == 0)
        refresh = refreshInstant(m_nextRefreshIndex + 1);
    int64_t next = std::min({nextTaskDue(), nextTimerDue(), refresh});
    if (ran)
        wait = 0;
    else if (next != never)
        wait = std::min(wait, std::max<int64_t>(0, next - now));
    bool woke = false;
    std::vector<std::pair<int, short>> ready = waitForReady(wait, woke);
    // What wakes the loop after a refresh it slept through finds that refresh run, as it would have
    // at its instant.
    if (woke && m_sleptThrough != 0 && refreshInstant(m_sleptThrough) <= realNow())
        runDueWork(realNow());
    bool served = serveReady(ready);
    if (!runDueWork(realNow()) && served)
        notifyPass();
}

void RunLoop::runOnceUnseen(int64_t wait) {
    // Only tasks and timers end the sleep; refreshes are not waited for.
    int64_t next = std::min(nextTaskDue(), nextTimerDue());
    if (next != never)
        wait = std::min(wait, std::max<int64_t>(0, next - realNow()));
    bool woke = false;
    std::vector<std::pair<int, short>> ready = waitForReady(wait, woke);
    // Whatever woke the loop finds the screen as it would be now: what fell due meanwhile has run,
    // and one refresh has, before the source is served.
    if (woke || next <= realNow())
        runDueWork(realNow());
    if (serveReady(ready))
        notifyPass();
}

namespace {

// Counts a wait a caller asked for while it lasts: it runs every refresh, seen or not.
class AskedWait {
public:
    explicit AskedWait(int& count) : m_count(count) { ++m_count; }
    ~AskedWait() { --m_count; }
    AskedWait(const AskedWait&) = delete;
    AskedWait& operator=(const AskedWait&) = delete;

private:
    int& m_count;
};

} // namespace

void RunLoop::runRealTime(double milliseconds) {
    AskedWait asked(m_askedWaits);
    int64_t deadline = steadyNow() + millisecondsToNanoseconds(milliseconds);
    for (;;) {
        int64_t left = deadline - steadyNow();
        if (left <= 0)
            break;
        runOnce(static_cast<double>(left) / 1e6);
    }
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double realTimeoutMilliseconds) {
    AskedWait asked(m_askedWaits);
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

void RunLoop::wake() {
    if (m_wakeFd < 0)
        return;
    uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
}
