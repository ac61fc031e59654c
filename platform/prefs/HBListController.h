#pragma once

// Settings pages with a look of their own: hb_setAppearanceSettings: gives the page an appearance
// (HBAppearanceSettings or a subclass); whenever the page comes on top, its navigation bar takes the
// appearance's colours and its table the tint and separator colour. Unset values keep the
// platform's look. HBRootListController is the same for a bundle's first page.
//
// Large titles follow the page's own largeTitleStyle answer when it gives one, else its
// appearance's: always, never, or (the default) on a bundle's first page only.

#include "platform/prefs/HBAppearanceSettings.h"
#include "platform/prefs/PSListController.h"

class HBListController : public PSListController {
public:
    static Class objcClass();

    NSObject* appearanceSettings() const { return m_appearance.get(); }
    TableLook tableLook() override;
    // Gives the navigation bar the appearance's colours.
    void applyAppearanceToBar();
    // The HBAppearanceSettingsLargeTitleStyle the page asks for.
    unsigned long largeTitleStyle();

private:
    void applyLargeTitleStyle();

    Ref<NSObject> m_appearance;
};

class HBRootListController : public HBListController {
public:
    static Class objcClass();
};
