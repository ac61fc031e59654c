// A settings page's values and look, as the machinery gives them to a page class of a bundle.

#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/prefs/HBListController.h"
#include "platform/prefs/PreferenceDomain.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"
#include "runtime/Runtime.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

namespace {

Ref<PSSpecifier> row(PSCellType type, const std::string& key, const std::string& domain, NSObject* fallback) {
    Ref<PSSpecifier> specifier = PSSpecifier::preferenceSpecifierNamed(key, nullptr, type);
    specifier->setProperty(NSString::stringWithUTF8String(key), "key");
    specifier->setProperty(NSString::stringWithUTF8String(domain), "defaults");
    specifier->setProperty(fallback, "default");
    return specifier;
}

// An appearance class made at run time that answers its own bar colour, as a bundle's subclass does.
Class fixedAppearanceClass() {
    static Class const cls = [] {
        Class c = objc_allocateClassPair(HBAppearanceSettings::objcClass(), "TestFixedAppearance");
        class_addMethod(
            c, "navigationBarBackgroundColor", +[](id, SEL) -> id {
                static const Ref<UIColor> green = UIColor::colorWithRed(0, 1, 0, 1);
                return green.get();
            });
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

} // namespace

TEST(ListController, ValuesOfTheWrongTypeShowTheDefaultAndStoredValuesAreReadBack) {
    TempDevice device;
    PreferenceDomain::write("com.example", "flag", NSString::stringWithUTF8String("yes"));
    PreferenceDomain::write("com.example", "tint", NSNumber::numberWithLongLong(7));
    Ref<PSListController> page = make_object<PSListController>();
    Ref<PSSpecifier> flag = row(PSSwitchCell, "flag", "com.example", NSNumber::numberWithBool(true));
    Ref<PSSpecifier> tint = row(PSColorCell, "tint", "com.example", nullptr);
    auto* shown = objc_cast<NSNumber>(page->valueForRow(flag).get());
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->boolValue()) << "a string under a switch shows the switch's default";
    EXPECT_FALSE(page->valueForRow(tint)) << "a number under a colour shows no colour";
    EXPECT_TRUE(page->storeValue(tint, NSString::stringWithUTF8String("FF00FF00")));
    EXPECT_EQ(*string_value(PreferenceDomain::read("com.example")->objectForKey("tint")), "FF00FF00");
    Ref<PSSpecifier> nowhere = row(PSSwitchCell, "flag", "not/a/domain", nullptr);
    EXPECT_FALSE(page->storeValue(nowhere, NSNumber::numberWithBool(true)))
        << "a domain that cannot be written";
    Ref<PSSpecifier> keyless = PSSpecifier::preferenceSpecifierNamed("Plain", nullptr, PSStaticTextCell);
    EXPECT_FALSE(page->storeValue(keyless, NSNumber::numberWithBool(true)));
}

TEST(ListController, APagesAppearanceColoursItsBarWhileItIsOnTop) {
    TempDevice device;
    UIScreen::mainScreen()->configure({375, 812, 2, 60});
    UIKitRegisterClasses();
    Ref<UINavigationController> navigation = UINavigationController::make();
    Ref<HBListController> first = make_object<HBListController>();
    Ref<HBAppearanceSettings> look = make_object<HBAppearanceSettings>();
    msg_send(look, "setNavigationBarBackgroundColor:", UIColor::colorWithRed(0.55, 0.28, 0.82, 1));
    msg_send(first, "hb_setAppearanceSettings:", look);
    navigation->pushViewController(first);
    UIColor* bar = navigation->navigationBar()->backgroundColor();
    ASSERT_TRUE(bar);
    EXPECT_DOUBLE_EQ(bar->red(), 0.55);
    EXPECT_LT(bar->alpha(), 1) << "translucent unless the appearance says otherwise";

    Ref<HBListController> second = make_object<HBListController>();
    Ref<NSObject> fixed = class_createInstance(fixedAppearanceClass());
    msg_send(second, "hb_setAppearanceSettings:", fixed);
    navigation->pushViewController(second);
    bar = navigation->navigationBar()->backgroundColor();
    EXPECT_DOUBLE_EQ(bar->green(), 1) << "a subclass's own answer is what colours the bar";
    EXPECT_TRUE(look->values().navigationBarBackgroundColor) << "what was set stays set";
    EXPECT_FALSE(look->values().tintColor) << "what was never set reads as unset";

    navigation->popViewController();
    EXPECT_DOUBLE_EQ(navigation->navigationBar()->backgroundColor()->red(), 0.55)
        << "back to the first page's look";
    Ref<PSListController> plain = make_object<PSListController>();
    navigation->pushViewController(plain);
    EXPECT_DOUBLE_EQ(navigation->navigationBar()->backgroundColor()->red(), 0.97)
        << "a page without a look has the platform's";
}
