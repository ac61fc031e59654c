// Specifier property lists as bundles write them, and as hostile or careless ones do.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSString.h"
#include "platform/prefs/SpecifierPlist.h"
#include "runtime/Selector.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

const std::string bundle = "/Library/PreferenceBundles/Sample.bundle";

void writePlist(TempDevice& device, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(device.host(bundle));
    std::ofstream(device.host(bundle + "/" + name + ".plist")) << text;
}

std::vector<std::string> names(const NSArray* list) {
    std::vector<std::string> found;
    for (const auto& item : list->objects())
        found.push_back(objc_cast<PSSpecifier>(item.get())->name());
    return found;
}

} // namespace

TEST(SpecifierPlist, RowsOfEveryKindKeepTheirPropertiesAndBadRowsAreLeftOut) {
    TempDevice device;
    writePlist(device, "Page", R"({ items = (
        { cell = PSGroupCell; label = Group; footerText = "Below"; headerCellClass = NoSuchHeader; },
        { cell = PSSwitchCell; label = Flag; key = flag; default = 1; defaults = com.example; Extra = kept; },
        { cell = PSLinkCell; label = More; detail = NoSuchPage; Color = ColorPrefs; },
        { cell = PSButtonCell; label = Go; action = "go:"; },
        { cell = PSColorCell; label = Tint; key = tint; defaults = com.example; },
        { cell = PSAppListCell; label = App; key = app; defaults = com.example.suite; },
        { cell = PSNoSuchCell; label = Mystery; },
        "not a dictionary",
        { label = "No kind"; },
        { cell = PSSwitchCell; label = ( "not", "a", "string" ); key = ( 1 ); defaults = com.example; }
    ); })");
    Ref<NSMutableArray> list = loadSpecifiersFromPlist(bundle, "Page", nullptr);
    ASSERT_TRUE(list);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Group", "Flag", "More", "Go", "Tint", "App", ""}));
    auto* flag = objc_cast<PSSpecifier>(list->objectAtIndex(1));
    EXPECT_EQ(flag->cellType(), PSSwitchCell);
    EXPECT_EQ(flag->key(), "flag");
    EXPECT_EQ(flag->domain(), "com.example");
    EXPECT_EQ(flag->stringProperty("Extra"), "kept") << "every key of the row is a property";
    auto* link = objc_cast<PSSpecifier>(list->objectAtIndex(2));
    EXPECT_EQ(link->detailControllerClass(), nullptr) << "a page class nobody registered";
    EXPECT_EQ(link->stringProperty("Color"), "ColorPrefs");
    auto* button = objc_cast<PSSpecifier>(list->objectAtIndex(3));
    EXPECT_EQ(button->buttonAction(), sel_registerName("go:"));
    auto* careless = objc_cast<PSSpecifier>(list->objectAtIndex(6));
    EXPECT_EQ(careless->key(), "") << "a key that is not a string is dropped, not trusted";
}

TEST(SpecifierPlist, NamesAndFilesThatCannotBeAPageGiveNoList) {
    TempDevice device;
    writePlist(device, "NoItems", "{ title = Nothing; }");
    writePlist(device, "ItemsNotAList", "{ items = { cell = PSGroupCell; }; }");
    writePlist(device, "Garbage", "\x01\x02 not a property list");
    writePlist(device, "Array", "( { cell = PSGroupCell; } )");
    for (const char* name :
         {"NoItems", "ItemsNotAList", "Garbage", "Array", "Missing", "../Sample.bundle/NoItems", "", ".."})
        EXPECT_FALSE(loadSpecifiersFromPlist(bundle, name, nullptr)) << name;
    writePlist(device, "Empty", "{ items = ( ); }");
    Ref<NSMutableArray> empty = loadSpecifiersFromPlist(bundle, "Empty", nullptr);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0u);
}
