#include "platform/foundation/NSString.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/Dispatch.h"
#include "platform/runloop/NSTimer.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/Runtime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A display-link target that records the instants it was called at.
class Ticker : public NSObject {
public:
    static Class objcClass() {
        static Class const cls = [] {
            Class c = objc_defineClass("RLTicker", NSObject::objcClass(), &instance_factory<Ticker>);
            class_addMethod(
                c, "tick:", +[](id self, SEL, id link) {
                    auto* ticker = static_cast<Ticker*>(self);
                    auto* displayLink = objc_cast<CADisplayLink>(link);
                    ticker->times.push_back(displayLink ? displayLink->timestamp() : -1);
                    if (ticker->onTick)
                        ticker->onTick(displayLink);
                });
            return c;
        }();
        return cls;
    }
    ~Ticker() override { ++destroyed; }
    std::vector<double> times;
    std::function<void(CADisplayLink*)> onTick;
    static inline int destroyed = 0;
};

// A loop of its own on the virtual clock, so that tests do not share state through the main loop.
Ref<RunLoop> virtualLoop() {
    Ref<RunLoop> loop = make_object<RunLoop>();
    loop->useVirtualClock();
    return loop;
}

Ref<CADisplayLink> addLink(RunLoop* loop, Ticker* ticker, const char* mode) {
    Ref<CADisplayLink> link = CADisplayLink::displayLinkWithTarget(ticker, sel_registerName("tick:"));
    link->addToRunLoop(loop, mode);
    return link;
}

} // namespace

TEST(RunLoop, VirtualRefreshesFallOnTheRefreshGrid) {
    Ref<RunLoop> loop = virtualLoop();
    auto ticker = make_object<Ticker>();
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSDefaultRunLoopMode);
    loop->advance(1000);
    ASSERT_EQ(ticker->times.size(), 60u);
    EXPECT_NEAR(ticker->times.front(), 1.0 / 60, 1e-9);
    EXPECT_NEAR(ticker->times.back(), 1.0, 1e-9);
    EXPECT_NEAR(link->duration(), 1.0 / 60, 1e-9);
    EXPECT_EQ(loop->nowMilliseconds(), 1000);
    loop->tick(3);
    EXPECT_EQ(ticker->times.size(), 63u);
    EXPECT_NEAR(loop->nowMilliseconds(), 1050, 1e-3) << "tick stops on the refresh instant";
    loop->setRefreshRate(120);
    loop->advance(100);
    EXPECT_EQ(ticker->times.size(), 75u);
    loop->setRefreshRate(-5);
    EXPECT_EQ(loop->refreshRate(), 60) << "a nonsense rate reads as 60";
    link->invalidate();
}

TEST(RunLoop, WorkAtOneInstantRunsTasksThenTimersThenTheRefresh) {
    Ref<RunLoop> loop = virtualLoop();
    std::vector<std::string> order;
    auto ticker = make_object<Ticker>();
    ticker->onTick = [&](CADisplayLink*) { order.push_back("refresh"); };
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSRunLoopCommonModes);
    int64_t firstRefresh = 16666667;
    Ref<NSTimer> timer = NSTimer::timerWithTimeInterval(firstRefresh / 1e9, false,
                                                        [&](NSTimer*) { order.push_back("timer"); });
    loop->addTimer(timer, NSDefaultRunLoopMode);
    loop->enqueue(firstRefresh, [&] { order.push_back("task 1"); });
    loop->enqueue(firstRefresh, [&] { order.push_back("task 2"); });
    loop->enqueue(5000000, [&] {
        order.push_back("early");
        // Work enqueued for now runs at this instant, before time moves on.
        loop->enqueue(loop->nowNanoseconds(), [&] { order.push_back("follow-up"); });
    });
    loop->tick();
    EXPECT_EQ(order,
              (std::vector<std::string>{"early", "follow-up", "task 1", "task 2", "timer", "refresh"}));
    EXPECT_FALSE(timer->isValid()) << "a one-shot timer is done after it fires";
    link->invalidate();
}

TEST(RunLoop, ModesDecideWhatFires) {
    Ref<RunLoop> loop = virtualLoop();
    auto inDefault = make_object<Ticker>(), inCommon = make_object<Ticker>(),
         inTracking = make_object<Ticker>();
    Ref<CADisplayLink> a = addLink(loop.get(), inDefault.get(), NSDefaultRunLoopMode);
    Ref<CADisplayLink> b = addLink(loop.get(), inCommon.get(), NSRunLoopCommonModes);
    Ref<CADisplayLink> c = addLink(loop.get(), inTracking.get(), UITrackingRunLoopMode);
    int timerFired = 0;
    Ref<NSTimer> timer = NSTimer::timerWithTimeInterval(0.010, false, [&](NSTimer*) { ++timerFired; });
    loop->addTimer(timer, NSDefaultRunLoopMode);
    bool taskRan = false;
    loop->setCurrentMode(UITrackingRunLoopMode);
    EXPECT_EQ(*string_value(msg_send<id>(loop.get(), "currentMode")), UITrackingRunLoopMode);
    loop->enqueue(0, [&] { taskRan = true; });
    loop->advance(100);
    EXPECT_EQ(inDefault->times.size(), 0u);
    EXPECT_EQ(inCommon->times.size(), 6u);
    EXPECT_EQ(inTracking->times.size(), 6u);
    EXPECT_EQ(timerFired, 0) << "a default-mode timer waits while the finger tracks";
    EXPECT_TRUE(taskRan) << "the main queue runs in every mode";
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->advance(0);
    EXPECT_EQ(timerFired, 1) << "it fires late, once the mode is back";
    loop->advance(100);
    EXPECT_EQ(inDefault->times.size(), 6u);
    EXPECT_EQ(inCommon->times.size(), 12u);
    EXPECT_EQ(inTracking->times.size(), 6u);
    for (auto* link : {a.get(), b.get(), c.get()})
        link->invalidate();
}

TEST(RunLoop, TheLoopOwnsItsLinksAndALinkItsTarget) {
    Ref<RunLoop> loop = virtualLoop();
    int destroyedBefore = Ticker::destroyed;
    Weak<CADisplayLink> weakLink;
    std::vector<double>* times = nullptr;
    {
        auto ticker = make_object<Ticker>();
        times = &ticker->times;
        Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSDefaultRunLoopMode);
        weakLink = link.get();
    }
    loop->tick(2);
    ASSERT_TRUE(weakLink.load()) << "still registered, so still alive";
    EXPECT_EQ(times->size(), 2u);
    EXPECT_EQ(Ticker::destroyed, destroyedBefore);
    weakLink.load()->invalidate();
    EXPECT_FALSE(weakLink.load()) << "invalidated, the loop lets go";
    EXPECT_EQ(Ticker::destroyed, destroyedBefore + 1) << "and the link its target";
    loop->tick(2);
}

TEST(RunLoop, ALinkInvalidatedDuringARefreshStopsAtOnce) {
    Ref<RunLoop> loop = virtualLoop();
    auto first = make_object<Ticker>(), second = make_object<Ticker>();
    Ref<CADisplayLink> secondLink;
    first->onTick = [&](CADisplayLink* self) {
        self->invalidate();
        secondLink->invalidate();
    };
    Ref<CADisplayLink> firstLink = addLink(loop.get(), first.get(), NSDefaultRunLoopMode);
    secondLink = addLink(loop.get(), second.get(), NSDefaultRunLoopMode);
    loop->tick(3);
    EXPECT_EQ(first->times.size(), 1u);
    EXPECT_EQ(second->times.size(), 0u) << "invalidated before its turn in the same refresh";
}

TEST(RunLoop, RepeatingTimersKeepTheirRhythmAndCatchUpOnce) {
    Ref<RunLoop> loop = virtualLoop();
    std::vector<double> fired;
    Ref<NSTimer> timer = NSTimer::timerWithTimeInterval(
        0.1, true, [&](NSTimer*) { fired.push_back(loop->nowMilliseconds()); });
    loop->addTimer(timer, NSDefaultRunLoopMode);
    loop->advance(350);
    EXPECT_EQ(fired, (std::vector<double>{100, 200, 300}));
    loop->setCurrentMode(UITrackingRunLoopMode);
    loop->advance(400); // 400, 500, 600 and 700 pass unseen
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->advance(100);
    EXPECT_EQ(fired, (std::vector<double>{100, 200, 300, 750, 800}));
    timer->invalidate();
    loop->advance(500);
    EXPECT_EQ(fired.size(), 5u);
    Ref<NSTimer> quick = NSTimer::timerWithTimeInterval(-1, false, [&](NSTimer*) { fired.push_back(-1); });
    loop->addTimer(quick, NSDefaultRunLoopMode);
    loop->advance(0.1);
    EXPECT_EQ(fired.back(), -1) << "a non-positive interval is 0.1 ms";
}

TEST(RunLoop, MainQueueTasksWaitForTheirTime) {
    RunLoop* main = RunLoop::main();
    main->useVirtualClock();
    bool early = false, late = false, never = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_main_queue(),
                   [&] { late = true; });
    dispatch_async(dispatch_get_main_queue(), [&] { early = true; });
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), [&] { never = true; });
    dispatch_after(DISPATCH_TIME_NOW, nullptr, [&] { never = true; });
    main->advance(999);
    EXPECT_TRUE(early);
    EXPECT_FALSE(late);
    main->advance(1);
    EXPECT_TRUE(late) << "due at exactly one second";
    main->advance(10000);
    EXPECT_FALSE(never);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, 5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, -NSEC_PER_SEC * 100000), 0u)
        << "never before the clock's start";
}

TEST(RunLoop, SourcesAreServedWhileWaitingInRealTimeOnly) {
    Ref<RunLoop> loop = virtualLoop();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    loop->addReadSource(fds[0], [&] {
        char buffer[16];
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, static_cast<size_t>(n));
    });
    ASSERT_EQ(::write(fds[1], "hi", 2), 2);
    loop->advance(500);
    EXPECT_EQ(received, "") << "advance never reads from other processes";
    loop->runRealTime(5);
    EXPECT_EQ(received, "hi");
    EXPECT_EQ(loop->nowMilliseconds(), 500) << "waiting in real time leaves the virtual clock";

    // Another thread's write and its main-queue task both end a wait as soon as they arrive.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        [[maybe_unused]] auto n = ::write(fds[1], "!", 1);
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(loop->runUntil([&] { return received == "hi!"; }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    writer.join();
    EXPECT_FALSE(loop->runUntil([] { return false; }, 10));

    loop->removeReadSource(fds[0]);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    loop->runRealTime(5);
    EXPECT_EQ(received, "hi!");
    // A descriptor closed behind the loop's back is dropped rather than spinning on.
    loop->addReadSource(fds[0], [&] { received += "?"; });
    ::close(fds[0]);
    loop->runRealTime(5);
    loop->runRealTime(5);
    EXPECT_EQ(received, "hi!");
    ::close(fds[1]);
}

TEST(RunLoop, AFailingCallbackDoesNotStopTheLoop) {
    Ref<RunLoop> loop = virtualLoop();
    auto ticker = make_object<Ticker>();
    ticker->onTick = [](CADisplayLink*) { throw std::runtime_error("broken target"); };
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSDefaultRunLoopMode);
    // A target that does not answer the selector fails the same way.
    Ref<CADisplayLink> wrong =
        CADisplayLink::displayLinkWithTarget(ticker.get(), sel_registerName("noSuchThing:"));
    wrong->addToRunLoop(loop.get(), NSDefaultRunLoopMode);
    bool later = false;
    loop->enqueue(100000000, [&] { later = true; });
    EXPECT_NO_THROW(loop->advance(200));
    EXPECT_EQ(ticker->times.size(), 12u);
    EXPECT_TRUE(later);
    link->invalidate();
    wrong->invalidate();
}

// An observer that does not want refreshes only sees those that run for others; once it wants them,
// they run for it alone.
TEST(RunLoop, ARefreshObserverAsksForRefreshesOnlyWhileItWantsThem) {
    Ref<RunLoop> loop = virtualLoop();
    bool wanted = false;
    int seen = 0;
    auto token = loop->addRefreshObserver([&](int64_t) { ++seen; }, [&] { return wanted; });
    loop->advance(100);
    EXPECT_EQ(seen, 0) << "nothing to refresh";
    auto ticker = make_object<Ticker>();
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSDefaultRunLoopMode);
    loop->advance(100);
    EXPECT_EQ(seen, 6) << "the link's refreshes";
    link->invalidate();
    loop->advance(100);
    EXPECT_EQ(seen, 6);
    wanted = true;
    loop->advance(100);
    EXPECT_EQ(seen, 12) << "its own";
    loop->removeObserver(token);
    loop->advance(100);
    EXPECT_EQ(seen, 12);
    // Without a say, an observer always wants them.
    int always = 0;
    token = loop->addRefreshObserver([&](int64_t) { ++always; });
    loop->advance(50);
    EXPECT_EQ(always, 3);
    loop->removeObserver(token);
}

TEST(RunLoop, RealClockRefreshesAtTheDisplayRate) {
    Ref<RunLoop> loop = make_object<RunLoop>();
    auto ticker = make_object<Ticker>();
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSRunLoopCommonModes);
    loop->tick(3);
    ASSERT_EQ(ticker->times.size(), 3u);
    for (size_t i = 1; i < ticker->times.size(); ++i)
        EXPECT_GT(ticker->times[i], ticker->times[i - 1]);
    EXPECT_NEAR(link->targetTimestamp() - link->timestamp(), 1.0 / 60, 1e-6);
    link->invalidate();
}

// A refresh slept through runs in its turn, at its own instant, just before the refresh after it;
// what wakes the loop in between finds it run; the waits a caller asks for wake for every refresh.
TEST(RunLoop, ARefreshSleptThroughRunsInItsTurnBeforeTheNext) {
    Ref<RunLoop> loop = make_object<RunLoop>();
    auto ticker = make_object<Ticker>();
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSRunLoopCommonModes);
    const double interval = 1.0 / 60;
    auto runsBetween = [&](size_t before, size_t count) {
        ASSERT_GE(ticker->times.size(), before + count);
        for (size_t i = before; i < before + count; ++i)
            EXPECT_NEAR(ticker->times[i] - ticker->times[i - 1], interval, 1e-6) << "refresh " << i;
    };
    loop->tick(1);
    size_t before = ticker->times.size();
    loop->sleepThroughNextRefresh();
    loop->runOnce(1000);
    EXPECT_EQ(ticker->times.size(), before + 2) << "one wake-up, two refreshes";
    runsBetween(before, 2);
    EXPECT_GE(loop->nowMilliseconds() / 1000, ticker->times.back());

    // A source that becomes readable once the refresh slept through is due.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<double> seenBySource;
    loop->addReadSource(fds[0], [&] {
        char buffer[16];
        [[maybe_unused]] auto n = ::read(fds[0], buffer, sizeof buffer);
        seenBySource = ticker->times;
    });
    before = ticker->times.size();
    double slept = ticker->times.back() + interval;
    loop->sleepThroughNextRefresh();
    auto delay = std::chrono::duration<double>(slept + 0.002 - loop->nowMilliseconds() / 1000);
    std::thread writer([&] {
        std::this_thread::sleep_for(delay);
        [[maybe_unused]] auto n = ::write(fds[1], "x", 1);
    });
    for (int pass = 0; pass < 100 && seenBySource.empty(); ++pass)
        loop->runOnce(1000);
    writer.join();
    ASSERT_GE(seenBySource.size(), before + 1) << "the source finds the refresh slept through run";
    EXPECT_NEAR(seenBySource[before], slept, 1e-6);
    loop->removeReadSource(fds[0]);
    ::close(fds[0]);
    ::close(fds[1]);

    before = ticker->times.size();
    loop->sleepThroughNextRefresh();
    loop->tick(3);
    EXPECT_EQ(ticker->times.size(), before + 3);
    runsBetween(before, 3);
    link->invalidate();
}

TEST(RunLoop, UnseenRefreshesWaitForAWakeAndCatchUpOnce) {
    Ref<RunLoop> loop = make_object<RunLoop>();
    loop->setRefreshesUnseen(true);
    auto ticker = make_object<Ticker>();
    Ref<CADisplayLink> link = addLink(loop.get(), ticker.get(), NSRunLoopCommonModes);
    auto started = std::chrono::steady_clock::now();
    loop->runOnce(100);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(90))
        << "a link alone does not wake the loop";
    EXPECT_TRUE(ticker->times.empty());

    // A source that wakes it finds one refresh run already, however many fell due meanwhile.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    size_t refreshesSeen = 99;
    loop->addReadSource(fds[0], [&] {
        char buffer[16];
        [[maybe_unused]] auto n = ::read(fds[0], buffer, sizeof buffer);
        refreshesSeen = ticker->times.size();
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    double woken = loop->nowMilliseconds() / 1000;
    loop->runOnce(1000);
    EXPECT_EQ(refreshesSeen, 1u);
    EXPECT_GE(ticker->times.back(), woken - (1.0 / 60 + 0.002)) << "at the latest refresh instant";
    EXPECT_LE(ticker->times.back(), loop->nowMilliseconds() / 1000);

    // So does a timer that falls due, firing once however many of its fires it missed.
    int fired = 0;
    Ref<NSTimer> timer = NSTimer::timerWithTimeInterval(0.02, true, [&](NSTimer*) { ++fired; });
    loop->addTimer(timer.get(), NSDefaultRunLoopMode);
    std::this_thread::sleep_for(std::chrono::milliseconds(70));
    loop->runOnce(1000);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(ticker->times.size(), 2u);
    timer->invalidate();

    // The waits a caller asks for run every refresh.
    size_t before = ticker->times.size();
    loop->tick(3);
    EXPECT_EQ(ticker->times.size(), before + 3);
    loop->runRealTime(300);
    EXPECT_GE(ticker->times.size(), before + 3 + 4);
    before = ticker->times.size();
    loop->runOnce(50);
    EXPECT_EQ(ticker->times.size(), before) << "unseen again once the wait is over";
    loop->removeReadSource(fds[0]);
    ::close(fds[0]);
    ::close(fds[1]);
    link->invalidate();
}
