#pragma once

// The run loop of a thread: display refreshes, timers, main-queue tasks and file-descriptor
// sources, run in modes.
//
// Modes. The loop always runs in one mode (currentMode, the default mode unless a host switches to
// the tracking mode while a finger drags). A display link or timer is registered for a mode; it
// fires only while the loop runs in that mode. The common modes (NSRunLoopCommonModes) stand for
// both the default and the tracking mode. Main-queue tasks and file-descriptor sources are served
// in every mode.
//
// Clocks. Time is counted in nanoseconds since the clock started. The real clock follows the
// machine's steady clock; the virtual clock moves only when told (advance, tick), so that a test
// or a scripted run always sees the same sequence. Display refreshes fall on the instants
// k / refreshRate seconds after the clock (or the last rate change) started. With the virtual clock,
// advance(ms) runs every refresh, timer and main-queue task that falls due, in time order; work
// falling on the same instant runs as main-queue tasks first, then timers, then the refresh.
// File-descriptor sources are never served by advance: a virtual run receives from other
// processes only while it waits in real time (runRealTime, runUntil, runOnce), which keeps
// advance deterministic.
//
// Threads. Everything is for the loop's own thread, except enqueue() (dispatch to the main queue)
// and wake(), which any thread may call. A callback that throws is logged to the device log and
// the loop goes on.

#include "runtime/NSObject.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr const char* NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr const char* UITrackingRunLoopMode = "UITrackingRunLoopMode";
inline constexpr const char* NSRunLoopCommonModes = "kCFRunLoopCommonModes";

class CADisplayLink;
class NSTimer;

class RunLoop : public NSObject {
public:
    static Class objcClass(); // "NSRunLoop"

    // The process's main run loop (a singleton, never destroyed) and the calling thread's loop
    // (the main loop on the main thread; a loop of its own, made on first use, on any other).
    static RunLoop* main();
    static RunLoop* current();
    static RunLoop* mainRunLoop() { return main(); }
    static RunLoop* currentRunLoop() { return current(); }

    RunLoop();
    ~RunLoop() override;

    // --- clocks -------------------------------------------------------------------------------
    int64_t nowNanoseconds() const;
    double nowMilliseconds() const { return static_cast<double>(nowNanoseconds()) / 1e6; }
    // Starts the virtual clock at 0. Pending timers and tasks keep their distance from now.
    void useVirtualClock();
    // Back to the real clock, which goes on from the virtual clock's reading.
    void useRealClock();
    bool hasVirtualClock() const { return m_virtual; }
    // The display's refresh rate in hertz; a rate that is not a positive finite number reads as 60.
    void setRefreshRate(double hertz);
    double refreshRate() const { return m_refreshRate; }
    int64_t refreshIntervalNanoseconds() const;
    // Refreshes run so far (the refresh observers and display links see each one).
    uint64_t refreshCount() const { return m_refreshCount; }

    // --- modes --------------------------------------------------------------------------------
    const std::string& currentMode() const { return m_mode; }
    void setCurrentMode(std::string_view mode);
    // Whether something registered for `registered` runs while the loop is in mode `running`.
    static bool modeMatches(std::string_view registered, std::string_view running);

    // --- virtual clock ------------------------------------------------------------------------
    // Moves the virtual clock forward, running what falls due in order. With the real clock,
    // it runs the loop for that long in real time instead.
    void advance(double milliseconds);
    void advanceNanoseconds(int64_t nanoseconds);
    // Moves to the n-th next display refresh (virtual), or waits for n refreshes (real).
    void tick(int refreshes = 1);

    // --- real time ----------------------------------------------------------------------------
    // One pass: runs what is due, then waits at most maxWaitMilliseconds (real time) for a source
    // to become readable, a task to arrive or (real clock) the next due work, and serves it.
    void runOnce(double maxWaitMilliseconds);
    // Waits this long in real time, serving sources and arriving tasks; the virtual clock stays.
    void runRealTime(double milliseconds);
    // Runs until the predicate holds or the real-time timeout passes; answers the predicate.
    bool runUntil(const std::function<bool()>& predicate, double realTimeoutMilliseconds);
    // Runs until stop() (for an interactive host).
    void run();
    void stop() { m_stopRequested = true; }

    // --- a screen nobody sees -----------------------------------------------------------------
    // With the real clock and nobody looking at the screen (a served headless process), the loop
    // does not run refreshes at the display's rate while it idles in runOnce: it sleeps until a
    // source, a main-queue task or a timer wakes it, then first brings everything up to now (the
    // tasks and timers that fell due, and the latest refresh once, however many passed), as a phone
    // does for an app that is not on screen, and only then serves the source. The waits a caller
    // asks for (advance, tick, runRealTime, runUntil) run every refresh still.
    void setRefreshesUnseen(bool unseen) { m_refreshesUnseen = unseen; }
    bool refreshesUnseen() const { return m_refreshesUnseen; }
    // The next refresh does not wake a loop idling in runOnce with the real clock: it runs in its
    // turn, at its own instant, when the loop next wakes (for the refresh after it at the latest),
    // before anything else that fell due then. For a window whose refreshes alternate between one
    // that shows something and one that shows nothing, so that the second costs no wake-up. The
    // waits a caller asks for wake for every refresh still.
    void sleepThroughNextRefresh() { m_sleptThrough = m_nextRefreshIndex; }

    // --- file-descriptor sources --------------------------------------------------------------
    // onReadable runs whenever fd is readable (or hung up, or in error: the handler should then
    // read, see the end and remove the source). One handler per fd; adding again replaces it.
    // A descriptor that is closed behind the loop's back is dropped with one log line.
    void addReadSource(int fd, std::function<void()> onReadable);
    void removeReadSource(int fd);
    // Serves the sources that are readable right now, without waiting; answers whether any ran.
    bool pollSources();

    // --- main-queue tasks (thread-safe) -------------------------------------------------------
    // Runs task once the clock reaches dueNanoseconds; tasks due at the same instant run in the
    // order they were enqueued.
    void enqueue(int64_t dueNanoseconds, std::function<void()> task);
    // Interrupts a wait in real time (any thread).
    void wake();

    // --- observers ----------------------------------------------------------------------------
    using ObserverToken = uint64_t;
    // After the display links of each refresh have fired; the argument is the refresh instant.
    // `wanted` says whether the observer asks for refreshes now (without it: always); while it says
    // no, the observer sees only the refreshes that run for others, and a loop with nothing else
    // to refresh sleeps.
    ObserverToken addRefreshObserver(std::function<void(int64_t instantNanoseconds)> observer,
                                     std::function<bool()> wanted = {});
    // After every pass of work (the place where the user interface commits its layout).
    ObserverToken addPassObserver(std::function<void()> observer);
    void removeObserver(ObserverToken token);

    // --- registrations (CADisplayLink and NSTimer call these) ---------------------------------
    void addDisplayLink(CADisplayLink* link, std::string_view mode);
    // Every registration of the link when mode is null.
    void removeDisplayLink(CADisplayLink* link, const std::string* mode);
    void addTimer(NSTimer* timer, std::string_view mode);
    void removeTimer(NSTimer* timer);

private:
    struct LinkEntry {
        Ref<CADisplayLink> link;
        std::string mode;
    };
    struct TimerEntry {
        Ref<NSTimer> timer;
        std::string mode;
    };
    struct Task {
        int64_t due;
        uint64_t sequence;
        std::function<void()> run;
    };
    struct Source {
        int fd;
        uint64_t generation;
        std::function<void()> handler;
    };
    struct Observer {
        ObserverToken token;
        std::function<void(int64_t)> onRefresh;
        std::function<void()> onPass;
        std::function<bool()> wanted; // of a refresh observer; none: always
    };

    int64_t realNow() const;
    bool refreshWanted() const;
    int64_t refreshInstant(uint64_t index) const;
    int64_t nextRefreshInstant();
    void skipRefreshesThrough(int64_t now);
    int64_t nextTaskDue();
    int64_t nextTimerDue() const;
    // Runs the tasks, timers and refresh due at `now`; answers whether anything ran.
    bool runDueWork(int64_t now);
    bool runDueTasks(int64_t now);
    bool runDueTimers(int64_t now);
    void fireRefresh(int64_t instant);
    void notifyPass();
    // Waits up to timeoutNanoseconds for a source or a wake-up; serves ready sources.
    bool waitForSources(int64_t timeoutNanoseconds);
    // The waiting alone: the sources found ready (descriptor, events), and in woke whether anything
    // (a source or a wake-up) ended the wait.
    std::vector<std::pair<int, short>> waitForReady(int64_t timeoutNanoseconds, bool& woke);
    // Runs the handlers of those still registered as they were; answers whether any ran.
    bool serveReady(const std::vector<std::pair<int, short>>& ready);
    // runOnce while refreshes are unseen: refreshes are caught up with, never waited for.
    void runOnceUnseen(int64_t waitNanoseconds);
    void rebaseTimedWork(int64_t delta);

    bool m_virtual = false;
    int64_t m_virtualNow = 0;
    int64_t m_realEpoch = 0; // steady-clock reading at which the real clock reads m_realOffset
    int64_t m_realOffset = 0;
    double m_refreshRate = 60;
    int64_t m_refreshOrigin = 0;
    uint64_t m_nextRefreshIndex = 1;
    uint64_t m_refreshCount = 0;
    uint64_t m_sleptThrough = 0; // the index of a refresh not to wake for; 0: none
    std::string m_mode = NSDefaultRunLoopMode;
    bool m_stopRequested = false;
    bool m_refreshesUnseen = false;
    int m_askedWaits = 0; // advance, tick, runRealTime and runUntil in progress

    std::vector<LinkEntry> m_links;
    std::vector<TimerEntry> m_timers;
    std::vector<Source> m_sources;
    uint64_t m_sourceGeneration = 0;
    std::vector<Observer> m_observers;
    ObserverToken m_nextToken = 1;

    std::mutex m_taskLock;
    std::vector<Task> m_tasks; // a min-heap on (due, sequence)
    uint64_t m_taskSequence = 0;
    int m_wakeFd = -1;
};

using NSRunLoop = RunLoop;

namespace RunLoopDetail {
// Runs a callback of the loop; an exception is written to the device log instead of escaping.
void guarded(const char* what, const std::function<void()>& body);
} // namespace RunLoopDetail
