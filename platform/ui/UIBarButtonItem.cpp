#include "platform/ui/UIBarButtonItem.h"
#include "platform/foundation/NSString.h"
#include "runtime/MessageSend.h"

namespace {

UIBarButtonItem* asItem(id self) {
    return static_cast<UIBarButtonItem*>(self);
}

} // namespace

Class UIBarButtonItem::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("UIBarButtonItem", NSObject::objcClass(), &instance_factory<UIBarButtonItem>);
        class_addMethod(
            c, "initWithTitle:style:target:action:",
            +[](id self, SEL, id title, long style, id target, SEL action) -> id {
                auto* item = asItem(self);
                const std::string* text = string_value(title);
                item->m_title = text ? *text : std::string();
                item->m_style = static_cast<UIBarButtonItemStyle>(style);
                item->m_target = target;
                item->m_action = action;
                return self;
            });
        class_addMethod(
            c, "tintColor", +[](id self, SEL) -> id { return asItem(self)->tintColor(); });
        class_addMethod(
            c, "setTintColor:", +[](id self, SEL, id colour) {
                asItem(self)->setTintColor(objc_cast<UIColor>(colour));
            });
        class_addMethod(
            c, "style", +[](id self, SEL) -> long { return asItem(self)->style(); });
        class_addMethod(
            c, "action", +[](id self, SEL) -> SEL { return asItem(self)->action(); });
        class_addMethod(
            c, "target", +[](id self, SEL) -> id { return asItem(self)->m_target.load().get(); });
        return c;
    }();
    return cls;
}

Ref<UIBarButtonItem> UIBarButtonItem::itemWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                                    NSObject* target, SEL action) {
    Ref<UIBarButtonItem> item = make_object<UIBarButtonItem>();
    msg_send<id>(item.get(), "initWithTitle:style:target:action:", NSString::stringWithUTF8String(title),
                 long(style), target, action);
    return item;
}

void UIBarButtonItem::tap() {
    Ref<UIBarButtonItem> self(this);
    Ref<NSObject> target = m_target.load();
    if (!target || !m_action)
        return;
    if (sel_getArgumentCount(m_action) == 0)
        msg_send(target, m_action);
    else
        msg_send(target, m_action, static_cast<id>(this));
}
