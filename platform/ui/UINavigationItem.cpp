#include "platform/ui/UINavigationItem.h"
#include "platform/foundation/NSString.h"
#include "runtime/MessageSend.h"

namespace {

UINavigationItem* asItem(id self) {
    return static_cast<UINavigationItem*>(self);
}

} // namespace

Class UINavigationItem::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("UINavigationItem", NSObject::objcClass(), &instance_factory<UINavigationItem>);
        class_addMethod(
            c, "setTitle:", +[](id self, SEL, id title) {
                const std::string* text = string_value(title);
                asItem(self)->setTitle(text ? *text : std::string());
            });
        class_addMethod(
            c, "rightBarButtonItem", +[](id self, SEL) -> id { return asItem(self)->rightBarButtonItem(); });
        class_addMethod(
            c, "setRightBarButtonItem:", +[](id self, SEL, id item) {
                asItem(self)->setRightBarButtonItem(objc_cast<UIBarButtonItem>(item));
            });
        return c;
    }();
    return cls;
}

void UINavigationItem::setTitle(const std::string& title) {
    m_title = title;
    changed();
}

void UINavigationItem::setRightBarButtonItem(UIBarButtonItem* item) {
    m_right = item;
    changed();
}
