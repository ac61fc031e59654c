#include "platform/prefs/PSTableCell.h"
#include "runtime/MessageSend.h"

Class PSTableCell::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("PSTableCell", UIView::objcClass(), &instance_factory<PSTableCell>);
        class_addMethod(
            c, "initWithStyle:reuseIdentifier:specifier:", +[](id self, SEL, long, id, id specifier) -> id {
                msg_send<id>(self, "initWithFrame:", CGRectZero);
                static_cast<PSTableCell*>(self)->setSpecifier(objc_cast<PSSpecifier>(specifier));
                return self;
            });
        class_addMethod(
            c, "specifier", +[](id self, SEL) -> id { return static_cast<PSTableCell*>(self)->specifier(); });
        return c;
    }();
    return cls;
}

Ref<PSTableCell> PSTableCell::cellWithSpecifier(PSSpecifier* specifier) {
    Ref<PSTableCell> cell = make_object<PSTableCell>();
    msg_send<id>(cell.get(), "initWithStyle:reuseIdentifier:specifier:", 0L, nullptr, specifier);
    return cell;
}
