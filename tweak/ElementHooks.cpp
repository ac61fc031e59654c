// The smaller lock-screen hooks: appearance puts the buttons home and restarts the waves,
// authentication launches the pending app a second later, the quick actions get a fixed inset or
// are hidden, and the hint view is captured when it is made.

#include "platform/runloop/Dispatch.h"
#include "tweak/HookSet.h"
#include "tweak/LockScreenServices.h"
#include "tweak/TweakState.h"

namespace {

constexpr double quickActionInset = 150.0;
constexpr int64_t delayedLaunchNanoseconds = 1000000000;

struct Home {
    const char* buttonGetter;
    double dx;
};

constexpr Home homes[] = {{"button", -120}, {"button2", -40}, {"button3", 40}, {"button4", 120}};

void launchPendingApplication() {
    launchApplication(openstring);
    openstring = nullptr;
}

} // namespace

template <HookSet S> void replacedViewDidAppear(id self, SEL _cmd, bool animated) {
    if (Kept<S>::viewDidAppear)
        Kept<S>::viewDidAppear(self, _cmd, animated);
    for (const auto& home : homes)
        msg_send(msg_send<id>(self, home.buttonGetter), "setFrame:", homeFrame(home.dx));
    if (lstViewPresent()) {
        for (const auto& home : homes)
            msg_send(msg_send<id>(self, home.buttonGetter), "setFrame:", tallHomeFrame(home.dx));
    }
    msg_send(teachable, "setHidden:", true);
    for (const char* getter : {"waveView", "waveView2", "waveView3"})
        msg_send(msg_send<id>(self, getter), "start");
}

template <HookSet S> void replacedSetAuthenticated(id self, SEL _cmd, bool authenticated) {
    if (Kept<S>::setAuthenticated)
        Kept<S>::setAuthenticated(self, _cmd, authenticated);
    if (!authenticated)
        return;
    // Each YES schedules its own launch; the task reads openstring only when it runs.
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, delayedLaunchNanoseconds), dispatch_get_main_queue(),
                   &launchPendingApplication);
}

template <HookSet S> void replacedLayoutQuickActionButtons(id self, SEL _cmd) {
    if (hidequick) {
        msg_send(self, "setHidden:", true);
        return;
    }
    if (Kept<S>::layoutQuickActionButtons)
        Kept<S>::layoutQuickActionButtons(self, _cmd);
}

template <HookSet S> double replacedInsetY(id, SEL) {
    return quickActionInset;
}

template <HookSet S> id replacedInitWithFrame(id self, SEL _cmd, CGRect frame) {
    teachable = self;
    return Kept<S>::initWithFrame ? Kept<S>::initWithFrame(self, _cmd, frame) : self;
}

template void replacedViewDidAppear<HookSet::Modern>(id, SEL, bool);
template void replacedViewDidAppear<HookSet::Legacy>(id, SEL, bool);
template void replacedSetAuthenticated<HookSet::Modern>(id, SEL, bool);
template void replacedSetAuthenticated<HookSet::Legacy>(id, SEL, bool);
template void replacedLayoutQuickActionButtons<HookSet::Modern>(id, SEL);
template void replacedLayoutQuickActionButtons<HookSet::Legacy>(id, SEL);
template double replacedInsetY<HookSet::Modern>(id, SEL);
template double replacedInsetY<HookSet::Legacy>(id, SEL);
template id replacedInitWithFrame<HookSet::Modern>(id, SEL, CGRect);
template id replacedInitWithFrame<HookSet::Legacy>(id, SEL, CGRect);
