#include "hosts/springboard/LockScreenClasses.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIViewController.h"

#include <functional>

namespace {

// The classes of this process's system version, once registered.
LockScreenClasses registered;

Class subclass(Class superclass, const char* name) {
    if (Class existing = objc_getClass(name))
        return existing;
    Class cls = objc_allocateClassPair(superclass, name);
    objc_registerClassPair(cls);
    return cls;
}

// The quick-action view shows two round buttons (torch and camera) near the bottom corners, their
// centres _insetY points above the bottom edge, asked through the runtime at every layout.
void layoutQuickActionButtons(id self, SEL) {
    auto* view = static_cast<UIView*>(self);
    double inset = msg_send<double>(self, "_insetY");
    CGRect bounds = view->bounds();
    const double size = 50;
    const double side = 46;
    auto buttons = view->subviews();
    for (size_t i = 0; i < buttons.size() && i < 2; ++i) {
        double centreX = i == 0 ? side : bounds.size.width - side;
        buttons[i]->setFrame(
            CGRectMake(centreX - size / 2, bounds.size.height - inset - size / 2, size, size));
    }
}

// The controller's own viewDidLoad adds the quick-action view with its two buttons.
void controllerViewDidLoad(id self, SEL) {
    auto* controller = static_cast<UIViewController*>(self);
    UIView* view = controller->view();
    Ref<UIView> quick = makeViewWithFrame<UIView>(view->bounds(), registered.quickActions);
    for (int i = 0; i < 2; ++i) {
        Ref<UIButton> button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setBackgroundColor(UIColor::colorWithRed(0.12, 0.12, 0.14, 0.55));
        quick->addSubview(button);
    }
    view->addSubview(quick);
}

} // namespace

LockScreenClasses registerLockScreenClasses(bool modern) {
    LockScreenClasses classes;
    classes.modern = modern;
    Class viewController = UIViewController::objcClass();
    Class view = UIView::objcClass();
    classes.controller =
        subclass(viewController, modern ? "CSCombinedListViewController" : "SBDashBoardViewController");
    classes.quickActions = subclass(view, modern ? "CSQuickActionsView" : "SBDashBoardQuickActionsView");
    classes.hint = subclass(view, modern ? "CSTeachableMomentsContainerView" : "SBUICallToActionLabel");
    classes.authentication =
        modern ? subclass(NSObject::objcClass(), "SBDashBoardBiometricUnlockController") : classes.controller;
    classes.lockScreenManager = subclass(NSObject::objcClass(), "SBLockScreenManager");
    registered = classes;

    class_addMethod(classes.controller, "viewDidLoad", &controllerViewDidLoad);
    // The device's own work on appearance and authentication lies outside this lock screen.
    class_addMethod(
        classes.controller, "viewDidAppear:", +[](id, SEL, bool) {});
    class_addMethod(
        classes.authentication, "setAuthenticated:", +[](id, SEL, bool) {});
    class_addMethod(classes.quickActions, "_layoutQuickActionButtons", &layoutQuickActionButtons);
    class_addMethod(
        classes.quickActions, "_insetY", +[](id, SEL) -> double { return defaultQuickActionInset; });
    class_addMethod(
        classes.hint, "initWithFrame:", +[](id self, SEL, CGRect frame) -> id {
            // The hint class's own initialiser: the view's, then its own look.
            msg_send_super<id>(registered.hint, self, sel_registerName("initWithFrame:"), frame);
            auto* view = static_cast<UIView*>(self);
            view->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 0.22));
            return self;
        });
    return classes;
}
