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
        class_addMethod(
            c, "largeTitleDisplayMode",
            +[](id self, SEL) -> long { return static_cast<long>(asItem(self)->largeTitleDisplayMode()); });
        class_addMethod(
            c, "setLargeTitleDisplayMode:", +[](id self, SEL, long mode) {
                // Values beyond the enumeration read as automatic.
                asItem(self)->setLargeTitleDisplayMode(
                    mode == 1 || mode == 2 ? static_cast<UINavigationItemLargeTitleDisplayMode>(mode)
                                           : UINavigationItemLargeTitleDisplayMode::Automatic);
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

void UINavigationItem::setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode mode) {
    if (mode == m_largeTitleMode)
        return;
    m_largeTitleMode = mode;
    changed();
}
