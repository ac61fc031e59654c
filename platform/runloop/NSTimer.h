#pragma once

// Timers: a block run once, or repeatedly, on a run loop. The run loop owns a scheduled timer
// until it is invalidated; a one-shot timer invalidates itself after it fires. A repeating timer
// that falls behind fires once and takes up its rhythm again, as on the device.

#include "runtime/NSObject.h"

#include <cstdint>
#include <functional>
#include <string_view>

class RunLoop;

class NSTimer : public NSObject {
public:
    using Block = std::function<void(NSTimer*)>;

    static Class objcClass();
    // An interval that is not positive is taken as 0.1 millisecond, as on the device. The timer
    // first fires one interval after it is added to a run loop.
    static Ref<NSTimer> timerWithTimeInterval(double seconds, bool repeats, Block block);
    // The same, added to the current thread's run loop in the default mode.
    static Ref<NSTimer> scheduledTimerWithTimeInterval(double seconds, bool repeats, Block block);

    NSTimer() = default;

    void invalidate();
    bool isValid() const { return m_valid; }
    double timeInterval() const { return static_cast<double>(m_interval) / 1e9; }
    bool repeats() const { return m_repeats; }
    // On the clock of the run loop it was added to, in nanoseconds.
    int64_t fireDate() const { return m_fireDate; }

    // Run-loop bookkeeping.
    void scheduleFrom(int64_t now);
    void shiftFireDate(int64_t delta) { m_fireDate += delta; }
    void fire(int64_t now);
    void setRunLoop(RunLoop* runLoop) { m_runLoop = runLoop; }

private:
    int64_t m_interval = 0;
    int64_t m_fireDate = 0;
    bool m_repeats = false;
    bool m_valid = true;
    bool m_scheduled = false;
    Block m_block;
    RunLoop* m_runLoop = nullptr;
};
