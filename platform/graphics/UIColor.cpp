#include "platform/graphics/UIColor.h"
#include "runtime/MessageSend.h"

Class UIColor::objcClass() {
    static Class const cls = objc_defineClass("UIColor", NSObject::objcClass(), &instance_factory<UIColor>);
    return cls;
}

Ref<UIColor> UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    auto color = make_object<UIColor>();
    color->m_color = {red, green, blue, alpha};
    return color;
}

Ref<UIColor> UIColor::whiteColor() { return colorWithRed(1, 1, 1, 1); }
Ref<UIColor> UIColor::blackColor() { return colorWithRed(0, 0, 0, 1); }
Ref<UIColor> UIColor::clearColor() { return colorWithRed(0, 0, 0, 0); }

Ref<UIColor> UIColor::colorWithAlphaComponent(double alpha) const {
    return colorWithRed(m_color.red, m_color.green, m_color.blue, alpha);
}
