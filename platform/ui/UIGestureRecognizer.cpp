#include "platform/ui/UIGestureRecognizer.h"
#include "platform/foundation/NSArray.h"
#include "runtime/Runtime.h"

namespace {

// The recognizers of a view hang off it as an associated array, which the view releases with itself.
char recognizersKey;

} // namespace

Class UIGestureRecognizer::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIGestureRecognizer", NSObject::objcClass(),
                                   &instance_factory<UIGestureRecognizer>);
        class_addMethod(
            c, "initWithTarget:action:", +[](id self, SEL, id target, SEL action) -> id {
                static_cast<UIGestureRecognizer*>(self)->initWithTarget(target, action);
                return self;
            });
        class_addMethod(
            c, "view", +[](id self, SEL) -> id { return static_cast<UIGestureRecognizer*>(self)->view(); });
        class_addMethod(
            c, "state",
            +[](id self, SEL) -> long { return static_cast<UIGestureRecognizer*>(self)->state(); });
        class_addMethod(
            c, "setCancelsTouchesInView:", +[](id self, SEL, bool cancels) {
                static_cast<UIGestureRecognizer*>(self)->setCancelsTouchesInView(cancels);
            });
        class_addMethod(
            c, "cancelsTouchesInView", +[](id self, SEL) -> bool {
                return static_cast<UIGestureRecognizer*>(self)->cancelsTouchesInView();
            });
        return c;
    }();
    return cls;
}

void UIGestureRecognizer::initWithTarget(NSObject* target, SEL action) {
    m_target = target;
    m_action = action;
}

void UIGestureRecognizer::setStateAndNotify(UIGestureRecognizerState state) {
    m_state = state;
    Ref<NSObject> target = m_target.load();
    if (!target || !m_action)
        return;
    // The recognizer stays alive while its target handles it, whatever the handler does.
    Ref<NSObject> self = this;
    if (sel_getArgumentCount(m_action) == 0)
        msg_send(target, m_action);
    else
        msg_send(target, m_action, static_cast<id>(this));
}

Class UIPanGestureRecognizer::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIPanGestureRecognizer", UIGestureRecognizer::objcClass(),
                                   &instance_factory<UIPanGestureRecognizer>);
        class_addMethod(
            c, "translationInView:", +[](id self, SEL, id view) -> CGPoint {
                return static_cast<UIPanGestureRecognizer*>(self)->translationInView(objc_cast<UIView>(view));
            });
        class_addMethod(
            c, "setTranslation:inView:", +[](id self, SEL, CGPoint translation, id view) {
                static_cast<UIPanGestureRecognizer*>(self)->setTranslationInView(translation,
                                                                                 objc_cast<UIView>(view));
            });
        return c;
    }();
    return cls;
}

void UIViewAddGestureRecognizer(UIView* view, UIGestureRecognizer* recognizer) {
    if (!view || !recognizer)
        return;
    auto* list = objc_cast<NSMutableArray>(objc_getAssociatedObject(view, &recognizersKey));
    if (!list) {
        auto made = NSMutableArray::array();
        objc_setAssociatedObject(view, &recognizersKey, made, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        list = made.get();
    }
    list->addObject(recognizer);
    recognizer->attachTo(view);
}

std::vector<UIGestureRecognizer*> UIViewGestureRecognizers(const UIView* view) {
    std::vector<UIGestureRecognizer*> result;
    auto* list =
        objc_cast<NSMutableArray>(objc_getAssociatedObject(const_cast<UIView*>(view), &recognizersKey));
    if (list) {
        for (const auto& item : list->objects()) {
            if (auto* recognizer = objc_cast<UIGestureRecognizer>(item.get()))
                result.push_back(recognizer);
        }
    }
    return result;
}
