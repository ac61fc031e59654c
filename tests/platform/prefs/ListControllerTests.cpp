// A settings page's values and look, as the machinery gives them to a page class of a bundle: values
// read and stored, values shown again when a page comes back, the bar's colours, large titles.

#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/prefs/HBListController.h"
#include "platform/prefs/PSColorPickerController.h"
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

// A bundle's first page that answers its own large-title style: never.
Class neverLargeRootClass() {
    static Class const cls = [] {
        Class c = objc_allocateClassPair(HBRootListController::objcClass(), "TestNeverLargeRoot");
        class_addMethod(
            c, "largeTitleStyle",
            +[](id, SEL) -> unsigned long { return HBAppearanceSettingsLargeTitleStyleNever; });
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

// A header cell class, as a bundle names one in a group.
Class headerClass() {
    static Class const cls = [] {
        Class c = objc_allocateClassPair(PSTableCell::objcClass(), "TestResumeHeader");
        class_addMethod(
            c, "initWithSpecifier:", +[](id self, SEL, id specifier) -> id {
                return msg_send<id>(self, "initWithStyle:reuseIdentifier:specifier:", 0L, nullptr, specifier);
            });
        class_addMethod(
            c, "preferredHeightForWidth:", +[](id, SEL, double) -> double { return 60; });
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

template <class Page> Ref<Page> pageOf(Class cls) {
    Ref<NSObject> made = class_createInstance(cls);
    return Ref<Page>(objc_cast<Page>(msg_send<id>(made.get(), "init")));
}

Ref<NSArray> textRows(NSObject* target, int count) {
    std::vector<Ref<NSObject>> rows{PSSpecifier::preferenceSpecifierNamed("", target, PSGroupCell)};
    for (int i = 0; i < count; ++i)
        rows.push_back(
            PSSpecifier::preferenceSpecifierNamed("Row " + std::to_string(i), target, PSStaticTextCell));
    return NSArray::arrayWithObjects(std::move(rows));
}

Ref<UINavigationController> screenWithNavigation() {
    UIScreen::mainScreen()->configure({375, 812, 2, 60});
    UIKitRegisterClasses();
    return UINavigationController::make();
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

TEST(ListController, TextThatCannotBeStoredIsNotToldAsStoredAndTheRowKeepsItsValue) {
    TempDevice device;
    std::vector<std::string> told;
    PSListController::setWriteObserver(
        [&](const std::string&, const std::string& key, NSObject*) { told.push_back(key); });
    Ref<PSListController> page = make_object<PSListController>();
    Ref<PSSpecifier> name =
        row(PSEditTextCell, "name", "com.example", NSString::stringWithUTF8String("nobody"));
    EXPECT_TRUE(page->storeValue(name, NSString::stringWithUTF8String("Ada")));
    EXPECT_FALSE(page->storeValue(name, NSString::stringWithUTF8String("A\xC3\x28"
                                                                       "da")));
    PSListController::setWriteObserver(nullptr);
    EXPECT_EQ(told, std::vector<std::string>{"name"}) << "only the write that was stored";
    EXPECT_EQ(*string_value(page->valueForRow(name).get()), "Ada");
    EXPECT_EQ(*string_value(PreferenceDomain::read("com.example")->objectForKey("name")), "Ada");
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

TEST(ListController, AColourRowShowsNoDefaultAndItsEditorStoresWhatIsTyped) {
    TempDevice device;
    UIScreen::mainScreen()->configure({375, 812, 2, 60});
    Ref<PSListController> page = make_object<PSListController>();
    Ref<PSSpecifier> tint =
        row(PSColorCell, "tint", "com.example", NSString::stringWithUTF8String("FFFFFFFF"));
    EXPECT_FALSE(page->valueForRow(tint)) << "nothing stored: no colour, whatever the default";
    Ref<PSColorPickerController> editor = PSColorPickerController::pickerFor(page, tint);
    for (char c : std::string("00ff00"))
        EXPECT_TRUE(editor->typed(c));
    EXPECT_TRUE(editor->typed('\r'));
    Ref<NSDictionary> domain = PreferenceDomain::read("com.example");
    auto* stored = string_value(domain->objectForKey("tint"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, "FF00FF00");
    EXPECT_EQ(*string_value(page->valueForRow(tint).get()), "FF00FF00");
}

TEST(ListController, APageComingBackRedrawsTheRowsWhoseValueChangedAndNothingElse) {
    TempDevice device;
    Ref<UINavigationController> navigation = screenWithNavigation();
    Ref<PSListController> page = make_object<PSListController>();
    Ref<PSSpecifier> group = PSSpecifier::preferenceSpecifierNamed("", page.get(), PSGroupCell);
    group->setProperty(NSString::stringWithUTF8String(class_getName(headerClass())), "headerCellClass");
    Ref<PSSpecifier> flag = row(PSSwitchCell, "flag", "com.example", NSNumber::numberWithBool(false));
    Ref<PSSpecifier> other = row(PSSwitchCell, "other", "com.example", NSNumber::numberWithBool(false));
    page->setStoredSpecifiers(NSArray::arrayWithObjects({Ref<NSObject>(group), flag, other}));
    navigation->pushViewController(page);
    ASSERT_EQ(page->rows().size(), 3u);
    Ref<UIView> header = page->rows()[0].view, flagCell = page->rows()[1].view,
                otherCell = page->rows()[2].view;
    ASSERT_TRUE(page->rows()[0].headerCell);

    navigation->pushViewController(make_object<PSListController>());
    // Stored meanwhile, as another page or process would.
    PreferenceDomain::write("com.example", "flag", NSNumber::numberWithBool(true));
    navigation->popViewController();
    ASSERT_EQ(page->rows().size(), 3u);
    EXPECT_EQ(page->rows()[0].view, header) << "the header is the same view";
    EXPECT_EQ(page->rows()[2].view, otherCell) << "an unchanged row keeps its cell";
    EXPECT_NE(page->rows()[1].view, flagCell) << "the changed row is drawn again";
    auto* shown = objc_cast<NSNumber>(page->rows()[1].value.get());
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->boolValue());
    EXPECT_TRUE(page->rows()[1].view->isDescendantOfView(page->tableView()));
    EXPECT_FALSE(flagCell->superview()) << "in the old cell's place";
}

TEST(ListController, LargeTitlesShowWhereThePageOrItsAppearanceLetThemAndScrollAway) {
    TempDevice device;
    Ref<UINavigationController> navigation = screenWithNavigation();
    UINavigationBar* bar = navigation->navigationBar();
    bar->setPrefersLargeTitles(true);
    UIView* title = bar->largeTitleView();
    Ref<PSListController> first = make_object<PSListController>();
    first->setTitle("First");
    first->setStoredSpecifiers(textRows(first, 30));
    navigation->pushViewController(first);
    UIScrollView* table = first->tableView();
    EXPECT_TRUE(title->isDescendantOfView(table)) << "the first page, by default";
    EXPECT_GE(first->rows()[0].view->frame().origin.y, UINavigationBar::largeTitleHeight) << "rows below it";
    EXPECT_FALSE(bar->isSmallTitleShown());
    table->scrollBy(UINavigationBar::largeTitleHeight);
    EXPECT_TRUE(bar->isSmallTitleShown()) << "scrolled away under the bar";
    table->scrollBy(-10);
    EXPECT_FALSE(bar->isSmallTitleShown()) << "its lower part is in sight again";

    auto shows = [&](Ref<PSListController> page) {
        navigation->pushViewController(page);
        bool large = title->isDescendantOfView(page->tableView());
        EXPECT_EQ(bar->isSmallTitleShown(), !large);
        navigation->popViewController();
        return large;
    };
    EXPECT_FALSE(shows(make_object<PSListController>())) << "a page further in";
    EXPECT_FALSE(shows(pageOf<PSListController>(HBListController::objcClass())));
    EXPECT_TRUE(shows(pageOf<PSListController>(HBRootListController::objcClass())))
        << "a bundle's first page, by default";
    EXPECT_FALSE(shows(pageOf<PSListController>(neverLargeRootClass()))) << "the page's own answer";
    Ref<HBListController> never = pageOf<HBListController>(HBRootListController::objcClass());
    Ref<HBAppearanceSettings> neverLook = make_object<HBAppearanceSettings>();
    msg_send(neverLook, "setLargeTitleStyle:", 2ul);
    msg_send(never, "hb_setAppearanceSettings:", neverLook);
    EXPECT_FALSE(shows(never)) << "its appearance's answer";
    Ref<HBListController> always = pageOf<HBListController>(HBListController::objcClass());
    Ref<HBAppearanceSettings> alwaysLook = make_object<HBAppearanceSettings>();
    msg_send(alwaysLook, "setLargeTitleStyle:", 1ul);
    msg_send(always, "hb_setAppearanceSettings:", alwaysLook);
    EXPECT_TRUE(shows(always));

    EXPECT_TRUE(title->isDescendantOfView(table)) << "back on the first page";
    EXPECT_FALSE(bar->isSmallTitleShown());
    EXPECT_EQ(table->contentOffset().y, UINavigationBar::largeTitleHeight - 10) << "where it was left";
}
