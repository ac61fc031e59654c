#include "platform/runloop/RunLoop.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSString.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/NSTimer.h"
#include "platform/runloop/RunLoopTime.h"
#include "runtime/Associations.h"
#include "runtime/MessageSend.h"

#include <exception>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

using RunLoopDetail::steadyNow;

namespace {

bool isMainThread() {
    return ::getpid() == static_cast<pid_t>(::syscall(SYS_gettid));
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

// ---- registrations -----------------------------------------------------------------------------

void RunLoop::addReadSource(int fd, std::function<void()> onReadable) {
    if (fd < 0 || !onReadable)
        return;
    removeReadSource(fd);
    m_sources.push_back({fd, ++m_sourceGeneration, std::move(onReadable)});
}

void RunLoop::removeReadSource(int fd) {
    std::erase_if(m_sources, [fd](const Source& source) { return source.fd == fd; });
}

RunLoop::ObserverToken RunLoop::addRefreshObserver(std::function<void(int64_t)> observer,
                                                   std::function<bool()> wanted) {
    if (!observer)
        return 0;
    if (!refreshWanted())
        skipRefreshesThrough(nowNanoseconds());
    m_observers.push_back({m_nextToken, std::move(observer), nullptr, std::move(wanted)});
    return m_nextToken++;
}

RunLoop::ObserverToken RunLoop::addPassObserver(std::function<void()> observer) {
    if (!observer)
        return 0;
    m_observers.push_back({m_nextToken, nullptr, std::move(observer), nullptr});
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
