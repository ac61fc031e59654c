#pragma once

// How a settings page looks: tint (switches, buttons, links), the status bar's tint, the
// navigation bar's title, tint and background colours, its translucency, the table's separator
// colour and the large-title style. Every property is unset until set; an unset property leaves
// the platform's default look (nil through the runtime, translucent, large titles on root pages).
// Subclasses may answer fixed values by overriding the getters; pages always ask through the
// runtime.

#include "platform/graphics/UIColor.h"
#include "runtime/NSObject.h"

#include <optional>
#include <string_view>

enum HBAppearanceSettingsLargeTitleStyle : unsigned long {
    HBAppearanceSettingsLargeTitleStyleRootOnly = 0,
    HBAppearanceSettingsLargeTitleStyleAlways = 1,
    HBAppearanceSettingsLargeTitleStyleNever = 2,
};

class HBAppearanceSettings : public NSObject {
public:
    static Class objcClass();

    struct Values {
        Ref<UIColor> tintColor;
        Ref<UIColor> statusBarTintColor;
        Ref<UIColor> navigationBarTitleColor;
        Ref<UIColor> navigationBarTintColor;
        Ref<UIColor> tableViewCellSeparatorColor;
        Ref<UIColor> navigationBarBackgroundColor;
        std::optional<bool> translucentNavigationBar;
        std::optional<unsigned long> largeTitleStyle;
    };
    // What was set on this object (unset: nil / nullopt), whatever a subclass answers.
    const Values& values() const { return m_values; }
    // The colour set under one of appearanceColourNames (nil when unset or no such name).
    UIColor* storedColour(std::string_view name) const;

private:
    friend struct HBAppearanceSettingsMethods;
    Values m_values;
};

// The colour names of the appearance, in the order a page's state lists them.
inline constexpr const char* appearanceColourNames[] = {
    "tintColor",
    "statusBarTintColor",
    "navigationBarTitleColor",
    "navigationBarTintColor",
    "tableViewCellSeparatorColor",
    "navigationBarBackgroundColor",
};
