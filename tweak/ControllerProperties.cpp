#include "tweak/HookSet.h"

#include <array>
#include <utility>

namespace {

// Each property's key is the identity of its own getter, unique in the process.
template <size_t I> id propertyGetter(id self, SEL);

template <size_t I> const void* propertyKey() {
    return reinterpret_cast<const void*>(&propertyGetter<I>);
}

template <size_t I> id propertyGetter(id self, SEL) {
    return objc_getAssociatedObject(self, propertyKey<I>());
}

template <size_t I> void propertySetter(id self, SEL, id value) {
    objc_setAssociatedObject(self, propertyKey<I>(), value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

struct Property {
    const char* getter;
    const char* setter;
};

constexpr std::array<Property, 12> properties{{
    {"window", "setWindow:"},
    {"icon", "setIcon:"},
    {"iconimage", "setIconimage:"},
    {"button", "setButton:"},
    {"button2", "setButton2:"},
    {"button3", "setButton3:"},
    {"button4", "setButton4:"},
    {"secondWaveViewBg", "setSecondWaveViewBg:"},
    {"secondWaveView", "setSecondWaveView:"},
    {"waveView", "setWaveView:"},
    {"waveView2", "setWaveView2:"},
    {"waveView3", "setWaveView3:"},
}};

template <size_t... I> void addAll(Class controller, std::index_sequence<I...>) {
    ((class_addMethod(controller, sel_registerName(properties[I].getter), &propertyGetter<I>, "@@:"),
      class_addMethod(controller, sel_registerName(properties[I].setter), &propertySetter<I>, "v@:@")),
     ...);
}

} // namespace

void addControllerProperties(Class controller) {
    addAll(controller, std::make_index_sequence<properties.size()>());
}
