#include "hosts/springboard/LockScreenClasses.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/CAShapeLayer.h"
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

void addShape(UIView* button, Ref<UIBezierPath> path, Ref<UIColor> colour) {
    auto layer = make_object<CAShapeLayer>();
    layer->setPath(path->cgPath().get());
    layer->setFillColor(colour.get());
    button->layer()->addSublayer(layer.get());
}

Ref<UIBezierPath> circle(double x, double y, double radius) {
    return UIBezierPath::bezierPathWithRoundedRect(CGRectMake(x - radius, y - radius, 2 * radius, 2 * radius),
                                                   radius);
}

// A torch: a lamp head widening above a handle with its switch.
void drawTorch(UIView* button, Ref<UIColor> ink, Ref<UIColor> ground) {
    auto head = UIBezierPath::bezierPath();
    head->moveToPoint({17, 12});
    head->addLineToPoint({33, 12});
    head->addLineToPoint({30, 20});
    head->addLineToPoint({20, 20});
    head->closePath();
    addShape(button, head, ink);
    addShape(button, UIBezierPath::bezierPathWithRoundedRect(CGRectMake(20, 21, 10, 18), 2), ink);
    addShape(button, circle(25, 27, 1.8), ground);
}

// A camera: a body with its viewfinder bump and a lens.
void drawCamera(UIView* button, Ref<UIColor> ink, Ref<UIColor> ground) {
    addShape(button, UIBezierPath::bezierPathWithRoundedRect(CGRectMake(20, 14, 10, 5), 1.5), ink);
    addShape(button, UIBezierPath::bezierPathWithRoundedRect(CGRectMake(12, 17, 26, 18), 3.5), ink);
    addShape(button, circle(25, 26, 6), ground);
    addShape(button, circle(25, 26, 3.8), ink);
}

// A round 50-point button with its glyph.
void drawQuickActionButton(UIView* button, bool torch) {
    Ref<UIColor> ink = UIColor::colorWithRed(1, 1, 1, 0.95);
    Ref<UIColor> ground = UIColor::colorWithRed(0.12, 0.12, 0.14, 0.55);
    addShape(button, circle(25, 25, 25), ground);
    if (torch)
        drawTorch(button, ink, UIColor::colorWithRed(0.2, 0.2, 0.22, 1));
    else
        drawCamera(button, ink, UIColor::colorWithRed(0.2, 0.2, 0.22, 1));
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
        // Drawn once they have their place and size.
        if (buttons[i]->layer()->sublayers().empty())
            drawQuickActionButton(buttons[i].get(), i == 0);
    }
}

// The controller's own viewDidLoad adds the quick-action view with its two buttons, the torch and
// the camera, placed and drawn by the view's layout.
void controllerViewDidLoad(id self, SEL) {
    auto* controller = static_cast<UIViewController*>(self);
    UIView* view = controller->view();
    Ref<UIView> quick = makeViewWithFrame<UIView>(view->bounds(), registered.quickActions);
    for (int i = 0; i < 2; ++i)
        quick->addSubview(UIButton::buttonWithType(UIButtonTypeCustom));
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
