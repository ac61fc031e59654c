#pragma once

// A timer tied to the display's refresh. It sends its selector (taking the link, "v@:@") to its
// target through the runtime on every refresh of each run loop it was added to, while that loop
// runs in the mode it was added for. The link owns its target; a run loop owns the links added to
// it until they are invalidated, so a running link lives on after its creator lets go of it.
// A refresh is skipped for a target that answers isCoveredFromSight with yes (a view wholly under
// opaque views), itself or through the object its forwardingTargetForSelector: names: nobody can
// see what it would draw. It is called again from the first refresh that finds it uncovered.

#include "runtime/NSObject.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class RunLoop;

class CADisplayLink : public NSObject {
public:
    static Class objcClass();
    // nil when target or selector is missing.
    static Ref<CADisplayLink> displayLinkWithTarget(id target, SEL selector);

    CADisplayLink() = default;

    void addToRunLoop(RunLoop* runLoop, std::string_view mode);
    void removeFromRunLoop(RunLoop* runLoop, std::string_view mode);
    // Removes the link from every run loop and releases its target; it never fires again.
    void invalidate();
    bool isValid() const { return m_valid; }

    bool isPaused() const { return m_paused; }
    void setPaused(bool paused) { m_paused = paused; }

    // Seconds on the run loop's clock: the refresh being handled, the next one, and their distance.
    double timestamp() const { return m_timestamp; }
    double targetTimestamp() const { return m_targetTimestamp; }
    double duration() const { return m_duration; }

    NSObject* target() const { return m_target.get(); }
    SEL selector() const { return m_selector; }

    // Called by a run loop on a refresh.
    void fire(int64_t instantNanoseconds, int64_t intervalNanoseconds);
    // Called by a run loop that goes away while the link is registered with it.
    void forgetRunLoop(RunLoop* runLoop);

private:
    bool targetIsCoveredFromSight() const;

    Ref<NSObject> m_target;
    SEL m_selector = nullptr;
    bool m_valid = true;
    bool m_paused = false;
    double m_timestamp = 0;
    double m_targetTimestamp = 0;
    double m_duration = 0;
    std::vector<RunLoop*> m_runLoops;
};
