#include "platform/runloop/NSTimer.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/MessageSend.h"

#include <cmath>

namespace {
// The device's floor for intervals that are not positive: 0.1 ms.
constexpr int64_t minimumInterval = 100000;
} // namespace

Class NSTimer::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSTimer", NSObject::objcClass(), &instance_factory<NSTimer>);
        class_addMethod(
            c, "invalidate", +[](id self, SEL) { static_cast<NSTimer*>(self)->invalidate(); });
        class_addMethod(
            c, "isValid", +[](id self, SEL) -> bool { return static_cast<NSTimer*>(self)->isValid(); });
        class_addMethod(
            c, "timeInterval",
            +[](id self, SEL) -> double { return static_cast<NSTimer*>(self)->timeInterval(); });
        return c;
    }();
    return cls;
}

Ref<NSTimer> NSTimer::timerWithTimeInterval(double seconds, bool repeats, Block block) {
    auto timer = make_object<NSTimer>();
    double nanoseconds = seconds * 1e9;
    if (!(nanoseconds >= static_cast<double>(minimumInterval)))
        timer->m_interval = minimumInterval;
    else if (nanoseconds > 1e18)
        timer->m_interval = static_cast<int64_t>(1e18);
    else
        timer->m_interval = static_cast<int64_t>(std::llround(nanoseconds));
    timer->m_repeats = repeats;
    timer->m_block = std::move(block);
    return timer;
}

Ref<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double seconds, bool repeats, Block block) {
    Ref<NSTimer> timer = timerWithTimeInterval(seconds, repeats, std::move(block));
    RunLoop::current()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

void NSTimer::scheduleFrom(int64_t now) {
    // Added to a second mode, the timer keeps its date.
    if (m_scheduled)
        return;
    m_scheduled = true;
    m_fireDate = now + m_interval;
}

void NSTimer::fire(int64_t now) {
    if (!m_valid)
        return;
    Ref<NSTimer> keep(this);
    if (m_repeats) {
        // Fires once however far behind it is, then keeps to its original rhythm.
        int64_t late = now - m_fireDate;
        m_fireDate += (late / m_interval + 1) * m_interval;
    }
    // A copy: the block may invalidate the timer, which lets go of m_block while it runs.
    Block block = m_block;
    if (block)
        RunLoopDetail::guarded("a timer", [&] { block(this); });
    if (!m_repeats)
        invalidate();
}

void NSTimer::invalidate() {
    if (!m_valid)
        return;
    m_valid = false;
    Ref<NSTimer> keep(this);
    // The block may hold what holds the timer; let go of it now.
    m_block = nullptr;
    if (RunLoop* loop = std::exchange(m_runLoop, nullptr))
        loop->removeTimer(this);
}
