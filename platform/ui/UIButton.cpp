#include "platform/ui/UIButton.h"

Class UIButton::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIButton", UIView::objcClass(), &instance_factory<UIButton>);
        class_addMethod(
            c, "addTarget:action:forControlEvents:",
            +[](id self, SEL, id target, SEL action, unsigned long events) {
                static_cast<UIButton*>(self)->addTarget(target, action, events);
            });
        class_addMethod(
            c, "sendActionsForControlEvents:", +[](id self, SEL, unsigned long events) {
                static_cast<UIButton*>(self)->sendActionsForControlEvents(events);
            });
        class_addMethod(
            c, "setImage:forState:", +[](id self, SEL, id image, unsigned long state) {
                static_cast<UIButton*>(self)->setImage(objc_cast<UIImage>(image), state);
            });
        class_addMethod(
            c, "imageForState:", +[](id self, SEL, unsigned long state) -> id {
                return static_cast<UIButton*>(self)->imageForState(state);
            });
        return c;
    }();
    return cls;
}

Ref<UIButton> UIButton::buttonWithType(UIButtonType type) {
    Ref<UIButton> button = makeViewWithFrame<UIButton>(CGRectZero);
    button->m_type = type;
    return button;
}

void UIButton::addTarget(NSObject* target, SEL action, UIControlEvents events) {
    if (action && events)
        m_actions.push_back({Weak<NSObject>(target), action, events});
}

void UIButton::sendActionsForControlEvents(UIControlEvents events) {
    Ref<UIButton> self = this;
    std::vector<TargetAction> actions = m_actions;
    for (const auto& entry : actions) {
        if (!(entry.events & events))
            continue;
        Ref<NSObject> target = entry.target.load();
        if (!target)
            continue;
        if (sel_getArgumentCount(entry.action) == 0)
            msg_send(target, entry.action);
        else
            msg_send(target, entry.action, static_cast<id>(this));
    }
}

void UIButton::setImage(UIImage* image, UIControlState state) {
    if (image)
        m_images[state] = image;
    else
        m_images.erase(state);
    if (state == UIControlStateNormal)
        layer()->setContents(image ? image->cgImage() : nullptr);
}

UIImage* UIButton::imageForState(UIControlState state) const {
    auto it = m_images.find(state);
    if (it == m_images.end() && state != UIControlStateNormal)
        it = m_images.find(UIControlStateNormal);
    return it == m_images.end() ? nullptr : it->second.get();
}
