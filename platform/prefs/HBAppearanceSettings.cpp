#include "platform/prefs/HBAppearanceSettings.h"
#include "runtime/MessageSend.h"

#include <string>

namespace {

using ColourMember = Ref<UIColor> HBAppearanceSettings::Values::*;

// The colours by name, in the order appearanceColourNames lists them.
constexpr ColourMember colourMembers[] = {
    &HBAppearanceSettings::Values::tintColor,
    &HBAppearanceSettings::Values::statusBarTintColor,
    &HBAppearanceSettings::Values::navigationBarTitleColor,
    &HBAppearanceSettings::Values::navigationBarTintColor,
    &HBAppearanceSettings::Values::tableViewCellSeparatorColor,
    &HBAppearanceSettings::Values::navigationBarBackgroundColor,
};
static_assert(std::size(colourMembers) == std::size(appearanceColourNames));

} // namespace

UIColor* HBAppearanceSettings::storedColour(std::string_view name) const {
    for (size_t i = 0; i < std::size(appearanceColourNames); ++i)
        if (name == appearanceColourNames[i])
            return (m_values.*colourMembers[i]).get();
    return nullptr;
}

struct HBAppearanceSettingsMethods {
    static HBAppearanceSettings::Values& of(id self) {
        return static_cast<HBAppearanceSettings*>(self)->m_values;
    }

    // A getter and a setter for each colour.
    template <Ref<UIColor> HBAppearanceSettings::Values::*member>
    static void addColour(Class c, const char* name) {
        std::string getter = name;
        std::string setter = "set" + getter + ":";
        setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
        class_addMethod(
            c, getter.c_str(), +[](id self, SEL) -> id { return (of(self).*member).get(); });
        class_addMethod(
            c, setter.c_str(),
            +[](id self, SEL, id colour) { of(self).*member = objc_cast<UIColor>(colour); });
    }
};

Class HBAppearanceSettings::objcClass() {
    static Class const cls = [] {
        using M = HBAppearanceSettingsMethods;
        using V = HBAppearanceSettings::Values;
        Class c = objc_defineClass("HBAppearanceSettings", NSObject::objcClass(),
                                   &instance_factory<HBAppearanceSettings>);
        M::addColour<&V::tintColor>(c, "tintColor");
        M::addColour<&V::statusBarTintColor>(c, "statusBarTintColor");
        M::addColour<&V::navigationBarTitleColor>(c, "navigationBarTitleColor");
        M::addColour<&V::navigationBarTintColor>(c, "navigationBarTintColor");
        M::addColour<&V::tableViewCellSeparatorColor>(c, "tableViewCellSeparatorColor");
        M::addColour<&V::navigationBarBackgroundColor>(c, "navigationBarBackgroundColor");
        class_addMethod(
            c, "translucentNavigationBar",
            +[](id self, SEL) -> bool { return M::of(self).translucentNavigationBar.value_or(true); });
        class_addMethod(
            c, "setTranslucentNavigationBar:", +[](id self, SEL, bool value) {
                M::of(self).translucentNavigationBar = value;
            });
        class_addMethod(
            c, "largeTitleStyle", +[](id self, SEL) -> unsigned long {
                return M::of(self).largeTitleStyle.value_or(HBAppearanceSettingsLargeTitleStyleRootOnly);
            });
        class_addMethod(
            c, "setLargeTitleStyle:", +[](id self, SEL, unsigned long value) {
                M::of(self).largeTitleStyle = value;
            });
        return c;
    }();
    return cls;
}
