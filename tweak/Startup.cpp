// The tweak's start-up: runs once, when the substrate loads the library into the lock-screen
// process. It installs the hook set of the running system version, then creates the preferences
// store and binds the three switches.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/SystemVersion.h"
#include "platform/substrate/MSHook.h"
#include "tweak/HookSet.h"
#include "tweak/Settings.h"
#include "tweak/TweakState.h"

#include <exception>
#include <string>

namespace {

SEL sel(const char* name) {
    return sel_registerName(name);
}

// Nothing the start-up does is checked; a step the host cannot take is noted and the next one runs.
template <typename Step> void attempt(const char* what, Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        NSLog(std::string("Zorvi: ") + what + ": " + e.what());
    }
}

void addDragHandlersAndTap(Class controller) {
    attempt("dragButton:", [&] { class_addMethod(controller, sel("dragButton:"), &dragButton, "v@:@"); });
    attempt("dragButton2:", [&] { class_addMethod(controller, sel("dragButton2:"), &dragButton2, "v@:@"); });
    attempt("dragButton3:", [&] { class_addMethod(controller, sel("dragButton3:"), &dragButton3, "v@:@"); });
    attempt("dragButton4:", [&] { class_addMethod(controller, sel("dragButton4:"), &dragButton4, "v@:@"); });
    attempt("buttontapEvent",
            [&] { class_addMethod(controller, sel("buttontapEvent"), &buttontapEvent, "v@:"); });
}

template <HookSet S> void hookQuickActions(Class quickActions) {
    attempt("_layoutQuickActionButtons", [&] {
        MSHookMessageEx(quickActions, sel("_layoutQuickActionButtons"), &replacedLayoutQuickActionButtons<S>,
                        &Kept<S>::layoutQuickActionButtons);
    });
    attempt("_insetY",
            [&] { MSHookMessageEx(quickActions, sel("_insetY"), &replacedInsetY<S>, &Kept<S>::insetY); });
}

template <HookSet S> void hookHintView(Class hint) {
    attempt("initWithFrame:", [&] {
        MSHookMessageEx(hint, sel("initWithFrame:"), &replacedInitWithFrame<S>, &Kept<S>::initWithFrame);
    });
}

template <HookSet S> void hookViewDidLoad(Class controller) {
    attempt("viewDidLoad", [&] {
        MSHookMessageEx(controller, sel("viewDidLoad"), &replacedViewDidLoad<S>, &Kept<S>::viewDidLoad);
    });
}

template <HookSet S> void hookViewDidAppear(Class controller) {
    attempt("viewDidAppear:", [&] {
        MSHookMessageEx(controller, sel("viewDidAppear:"), &replacedViewDidAppear<S>,
                        &Kept<S>::viewDidAppear);
    });
}

template <HookSet S> void hookSetAuthenticated(Class cls) {
    attempt("setAuthenticated:", [&] {
        MSHookMessageEx(cls, sel("setAuthenticated:"), &replacedSetAuthenticated<S>,
                        &Kept<S>::setAuthenticated);
    });
}

void installModernSet() {
    constexpr HookSet S = HookSet::Modern;
    Class controller = objc_getClass("CSCombinedListViewController");
    hookViewDidLoad<S>(controller);
    addDragHandlersAndTap(controller);
    hookViewDidAppear<S>(controller);
    attempt("properties", [&] { addControllerProperties(controller); });
    hookQuickActions<S>(objc_getClass("CSQuickActionsView"));
    hookSetAuthenticated<S>(objc_getClass("SBDashBoardBiometricUnlockController"));
    hookHintView<S>(objc_getClass("CSTeachableMomentsContainerView"));
}

void installLegacySet() {
    constexpr HookSet S = HookSet::Legacy;
    Class controller = objc_getClass("SBDashBoardViewController");
    hookViewDidLoad<S>(controller);
    addDragHandlersAndTap(controller);
    hookViewDidAppear<S>(controller);
    hookSetAuthenticated<S>(controller);
    attempt("properties", [&] { addControllerProperties(controller); });
    hookQuickActions<S>(objc_getClass("SBDashBoardQuickActionsView"));
    hookHintView<S>(objc_getClass("SBUICallToActionLabel"));
}

// Whether another copy of this library (the same tweak installed under two names) has started in
// this process already: its drag handler is on the controller. Starting again would hook the
// first copy's hooks, and each would call the other without end.
bool startedByAnotherCopy(bool modern) {
    Class controller = objc_getClass(modern ? "CSCombinedListViewController" : "SBDashBoardViewController");
    return controller && class_getInstanceMethod(controller, sel("dragButton:"));
}

__attribute__((constructor)) void tweakStartup() {
    bool modern = SystemVersion::isAtLeast({13, 0, 0});
    if (startedByAnotherCopy(modern)) {
        NSLog("Zorvi: started already by another copy of the tweak; this copy stays idle");
        return;
    }
    if (modern)
        installModernSet();
    else
        installLegacySet();
    attempt("preferences", [] {
        pfs = HBPreferences::initWithIdentifier(zorviDomain);
        pfs->registerBool(&enablecustom, false, "enablecustom");
        pfs->registerBool(&hidequick, false, "hidequick");
        pfs->registerBool(&enableblend, false, "enableblend");
    });
}

} // namespace
