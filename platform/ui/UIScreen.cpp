#include "platform/ui/UIScreen.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/MessageSend.h"

#include <cmath>

Class UIScreen::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIScreen", NSObject::objcClass(), &instance_factory<UIScreen>);
        class_addMethod(
            object_getMetaclass(c), "mainScreen", +[](id, SEL) -> id { return UIScreen::mainScreen(); });
        class_addMethod(
            c, "bounds", +[](id self, SEL) -> CGRect { return static_cast<UIScreen*>(self)->bounds(); });
        class_addMethod(
            c, "scale", +[](id self, SEL) -> double { return static_cast<UIScreen*>(self)->scale(); });
        class_addMethod(
            c, "nativeScale", +[](id self, SEL) -> double { return static_cast<UIScreen*>(self)->scale(); });
        class_addMethod(
            c, "maximumFramesPerSecond",
            +[](id self, SEL) -> long { return std::lround(static_cast<UIScreen*>(self)->refreshRate()); });
        return c;
    }();
    return cls;
}

UIScreen* UIScreen::mainScreen() {
    static UIScreen* const screen = [] {
        UIScreen* s = make_object<UIScreen>().leak(); // lives as long as the process
        RunLoop::main()->setRefreshRate(s->m_profile.refreshRate);
        return s;
    }();
    return screen;
}

void UIScreen::configure(const ScreenProfile& profile) {
    ScreenProfile defaults;
    auto valid = [](double value, double low, double high) {
        return std::isfinite(value) && value >= low && value <= high;
    };
    m_profile.width = valid(profile.width, 1, 100000) ? profile.width : defaults.width;
    m_profile.height = valid(profile.height, 1, 100000) ? profile.height : defaults.height;
    m_profile.scale = valid(profile.scale, 0.1, 16) ? profile.scale : defaults.scale;
    m_profile.refreshRate = valid(profile.refreshRate, 1, 1000) ? profile.refreshRate : defaults.refreshRate;
    if (this == mainScreen())
        RunLoop::main()->setRefreshRate(m_profile.refreshRate);
}

void UIScreen::configureFromDevice() {
    configure(DeviceProfile::screen());
}

int UIScreen::pixelWidth() const {
    return static_cast<int>(std::lround(m_profile.width * m_profile.scale));
}
int UIScreen::pixelHeight() const {
    return static_cast<int>(std::lround(m_profile.height * m_profile.scale));
}
