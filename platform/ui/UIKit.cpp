#include "platform/ui/UIKit.h"
#include "platform/ui/ApplicationIcons.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIViewAnimation.h"
#include "platform/ui/UIViewController.h"
#include "runtime/Runtime.h"

void UIKitRegisterClasses() {
    static bool const registered = [] {
        Class view = UIView::objcClass();
        class_addMethod(
            object_getMetaclass(view),
            "animateWithDuration:animations:", +[](id, SEL, double duration, id animations) {
                Ref<NSBlock> block = objc_cast<NSBlock>(animations);
                UIViewAnimation::animateWithDuration(duration, [block] {
                    if (block)
                        block->invoke();
                });
            });
        class_addMethod(
            view, "addGestureRecognizer:", +[](id self, SEL, id recognizer) {
                UIViewAddGestureRecognizer(static_cast<UIView*>(self),
                                           objc_cast<UIGestureRecognizer>(recognizer));
            });
        // An app's icon, made anew: the caller keeps it if it wants it past the pass.
        class_addMethod(
            object_getMetaclass(UIImage::objcClass()),
            "_applicationIconImageForBundleIdentifier:format:scale:",
            +[](id, SEL, id bundleIdentifier, int format, double scale) -> id {
                return objc_autorelease(applicationIconImage(bundleIdentifier, format, scale));
            });
        class_addMethod(
            object_getMetaclass(UIScreen::objcClass()), "mainScreen",
            +[](id, SEL) -> id { return UIScreen::mainScreen(); });
        UIApplication::objcClass();
        UIViewController::objcClass();
        UIButton::objcClass();
        UIPanGestureRecognizer::objcClass();
        CAShapeLayer::objcClass();
        NSBlock::objcClass();
        return true;
    }();
    (void)registered;
}
