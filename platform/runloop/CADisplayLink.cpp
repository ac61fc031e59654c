#include "platform/runloop/CADisplayLink.h"
#include "platform/foundation/NSString.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/MessageSend.h"

#include <algorithm>

Class CADisplayLink::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("CADisplayLink", NSObject::objcClass(), &instance_factory<CADisplayLink>);
        class_addMethod(
            c, "addToRunLoop:forMode:", +[](id self, SEL, id loop, id mode) {
                auto* runLoop = objc_cast<RunLoop>(loop);
                const std::string* name = string_value(mode);
                if (runLoop && name)
                    static_cast<CADisplayLink*>(self)->addToRunLoop(runLoop, *name);
            });
        class_addMethod(
            c, "removeFromRunLoop:forMode:", +[](id self, SEL, id loop, id mode) {
                auto* runLoop = objc_cast<RunLoop>(loop);
                const std::string* name = string_value(mode);
                if (runLoop && name)
                    static_cast<CADisplayLink*>(self)->removeFromRunLoop(runLoop, *name);
            });
        class_addMethod(
            c, "invalidate", +[](id self, SEL) { static_cast<CADisplayLink*>(self)->invalidate(); });
        class_addMethod(
            c, "isPaused",
            +[](id self, SEL) -> bool { return static_cast<CADisplayLink*>(self)->isPaused(); });
        class_addMethod(
            c, "setPaused:", +[](id self, SEL, bool paused) {
                static_cast<CADisplayLink*>(self)->setPaused(paused);
            });
        class_addMethod(
            c, "timestamp",
            +[](id self, SEL) -> double { return static_cast<CADisplayLink*>(self)->timestamp(); });
        class_addMethod(
            c, "targetTimestamp",
            +[](id self, SEL) -> double { return static_cast<CADisplayLink*>(self)->targetTimestamp(); });
        class_addMethod(
            c, "duration",
            +[](id self, SEL) -> double { return static_cast<CADisplayLink*>(self)->duration(); });
        return c;
    }();
    return cls;
}

Ref<CADisplayLink> CADisplayLink::displayLinkWithTarget(id target, SEL selector) {
    if (!target || !selector)
        return nullptr;
    auto link = make_object<CADisplayLink>();
    link->m_target = target;
    link->m_selector = selector;
    return link;
}

void CADisplayLink::addToRunLoop(RunLoop* runLoop, std::string_view mode) {
    if (!m_valid || !runLoop)
        return;
    runLoop->addDisplayLink(this, mode);
    if (std::find(m_runLoops.begin(), m_runLoops.end(), runLoop) == m_runLoops.end())
        m_runLoops.push_back(runLoop);
}

void CADisplayLink::removeFromRunLoop(RunLoop* runLoop, std::string_view mode) {
    if (!runLoop)
        return;
    Ref<CADisplayLink> keep(this);
    std::string name(mode);
    runLoop->removeDisplayLink(this, &name);
}

void CADisplayLink::invalidate() {
    if (!m_valid)
        return;
    m_valid = false;
    // The loops may hold the last references to the link, and the target to whoever called us.
    Ref<CADisplayLink> keep(this);
    for (RunLoop* loop : std::exchange(m_runLoops, {}))
        loop->removeDisplayLink(this, nullptr);
    Ref<NSObject> target = std::move(m_target);
}

void CADisplayLink::forgetRunLoop(RunLoop* runLoop) {
    std::erase(m_runLoops, runLoop);
}

bool CADisplayLink::targetIsCoveredFromSight() const {
    static SEL const covered = sel_registerName("isCoveredFromSight");
    static SEL const forwarding = sel_registerName("forwardingTargetForSelector:");
    NSObject* answering = m_target.get();
    if (!answering->respondsToSelector(covered)) {
        answering = static_cast<NSObject*>(msg_send<id>(m_target.get(), forwarding, m_selector));
        if (!answering || !answering->respondsToSelector(covered))
            return false;
    }
    return msg_send<bool>(answering, covered);
}

void CADisplayLink::fire(int64_t instantNanoseconds, int64_t intervalNanoseconds) {
    if (!m_valid || m_paused || !m_target)
        return;
    m_timestamp = static_cast<double>(instantNanoseconds) / 1e9;
    m_duration = static_cast<double>(intervalNanoseconds) / 1e9;
    m_targetTimestamp = m_timestamp + m_duration;
    if (targetIsCoveredFromSight())
        return;
    Ref<CADisplayLink> keep(this);
    Ref<NSObject> target = m_target;
    RunLoopDetail::guarded(sel_getName(m_selector),
                           [&] { msg_send<void>(target.get(), m_selector, static_cast<id>(this)); });
}
