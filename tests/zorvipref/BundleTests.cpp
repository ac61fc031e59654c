// The settings bundle's pages and header cells, made and asked through the runtime in a process
// that has loaded the built bundle; each check runs in a child process of its own.

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/HBListController.h"
#include "platform/prefs/HBPreferences.h"
#include "platform/prefs/PSSpecifier.h"
#include "platform/prefs/PreferenceDomain.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"
#include "runtime/Runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>

namespace {

// A device with the bundle's folder (its plists), a screen of the given width, and the bundle loaded.
struct LoadedBundle {
    TempDevice device;
    void* handle = nullptr;

    explicit LoadedBundle(double width = 375, const std::function<void(TempDevice&)>& before = {}) {
        std::filesystem::create_directories(device.host("/Library/PreferenceBundles"));
        std::filesystem::copy(ZV_BUNDLE_DIR, device.host("/Library/PreferenceBundles/zorvipref.bundle"));
        if (before)
            before(device);
        RunLoop::main()->useVirtualClock();
        UIScreen::mainScreen()->configure({width, 812, 3, 60});
        UIKitRegisterClasses();
        handle = ::dlopen(ZV_BUNDLE, RTLD_NOW | RTLD_LOCAL);
    }
    template <typename T> T& global(const char* name) { return *static_cast<T*>(::dlsym(handle, name)); }

    Ref<NSObject> make(const char* cls) {
        Ref<NSObject> made = class_createInstance(objc_getClass(cls));
        return Ref<NSObject>(msg_send<id>(made.get(), "init"));
    }
    Ref<UIView> header(const char* cls, double probeWidth = 320) {
        Ref<NSObject> made = class_createInstance(objc_getClass(cls));
        Ref<PSSpecifier> group = PSSpecifier::preferenceSpecifierNamed("", nullptr, PSGroupCell);
        Ref<UIView> cell(objc_cast<UIView>(msg_send<id>(made.get(), "initWithSpecifier:", group.get())));
        heights.push_back(msg_send<double>(cell.get(), "preferredHeightForWidth:", probeWidth));
        return cell;
    }
    std::vector<double> heights;
};

void writeWallpaper(TempDevice& device, uint32_t pixel) {
    auto bitmap = Bitmap::create(4, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap->setPixel(x, y, pixel);
    std::vector<Bitmap> images;
    images.push_back(std::move(*bitmap));
    std::vector<uint8_t> bytes = CPBitmap::encode(images);
    std::filesystem::create_directories(device.host("/var/mobile/Library/SpringBoard"));
    std::ofstream(device.host("/var/mobile/Library/SpringBoard/LockBackground.cpbitmap"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void setSwitch(const char* key, bool on) {
    PreferenceDomain::write("com.vantrel.zorvi", key, NSNumber::numberWithBool(on));
}

CGColor strokeOf(UIView* waveView) {
    auto* waves = objc_cast<NSArray>(msg_send<id>(waveView, "waves"));
    auto* layer = waves ? objc_cast<CAShapeLayer>(msg_send<id>(waves->objectAtIndex(0), "layer")) : nullptr;
    return layer && layer->strokeColor() ? layer->strokeColor()->cgColor() : CGColor{-1, -1, -1, -1};
}

// A loader that stands in for the list machinery's: it notes what it was asked and answers one row
// made in code, which it keeps so that the answer has an owner.
struct LoaderCall {
    std::string name;
    id target = nullptr;
};
std::vector<LoaderCall> loaderCalls;
Ref<NSArray> loaderAnswer;

id standInLoader(id, SEL, id name, id target) {
    const std::string* text = string_value(objc_cast<NSObject>(name));
    loaderCalls.push_back({text ? *text : "", target});
    loaderAnswer = NSArray::arrayWithObjects(
        {Ref<NSObject>(PSSpecifier::preferenceSpecifierNamed("Stand-in row", target, PSGroupCell))});
    return loaderAnswer.get();
}

// HBAppearanceZo's eight fixed answers that are not what they should be, one line each.
std::string wrongAppearanceAnswers(NSObject* zo) {
    const CGColor purple{0.55, 0.28, 0.82, 1}, white{1, 1, 1, 1}, invisible{0, 0, 0, 0};
    std::string wrong;
    for (auto [answer, wanted] : {std::pair{"tintColor", purple},
                                  {"statusBarTintColor", purple},
                                  {"navigationBarTitleColor", white},
                                  {"navigationBarTintColor", purple},
                                  {"tableViewCellSeparatorColor", invisible},
                                  {"navigationBarBackgroundColor", purple}}) {
        auto* colour = objc_cast<UIColor>(msg_send<id>(zo, answer));
        if (!colour || colour->cgColor() != wanted)
            wrong += std::string(answer) + "\n";
    }
    if (!msg_send<bool>(zo, "translucentNavigationBar"))
        wrong += "translucentNavigationBar\n";
    if (msg_send<unsigned long>(zo, "largeTitleStyle") != 2)
        wrong += "largeTitleStyle\n";
    return wrong;
}

} // namespace

TEST(ZorviBundle, RootPageLoadsRootOnceAndKeepsItsLookAndButton) {
    EXPECT_EQ(runInChild([] {
                  Problems p;
                  LoadedBundle bundle;
                  p.expect(!bundle.global<bool>("enablecustom") && !bundle.global<bool>("enableblend"),
                           "no stored settings: both switches false");
                  Ref<NSObject> page = bundle.make("ZorviRootListController");
                  auto* list = objc_cast<PSListController>(page.get());
                  p.expect(list != nullptr, "a list controller");
                  list->setBundlePath("/Library/PreferenceBundles/zorvipref.bundle");
                  id first = msg_send<id>(page, "specifiers");
                  id second = msg_send<id>(page, "specifiers");
                  p.expect(first && first == second, "the same list twice");
                  p.expect(objc_cast<NSArray>(first) && objc_cast<NSArray>(first)->count() == 11,
                           "Root's eleven rows");
                  p.expect(msg_send<unsigned long>(page, "largeTitleStyle") == 2, "large titles never");
                  auto* look = objc_cast<HBAppearanceSettings>(msg_send<id>(page, "hb_appearanceSettings"));
                  p.expect(look && look->values().navigationBarTintColor &&
                               look->values().navigationBarTintColor->cgColor() == CGColor{1, 1, 1, 1},
                           "the page's bar tint is white");
                  Ref<NSObject> zo = class_createInstance(objc_getClass("HBAppearanceZo"));
                  std::string wrong = wrongAppearanceAnswers(zo.get());
                  p.expect(wrong.empty(), "HBAppearanceZo answers wrongly:\n" + wrong);
                  auto* button = objc_cast<UIBarButtonItem>(msg_send<id>(page, "respringButton"));
                  p.expect(button && button->title() == "Respring" &&
                               list->navigationItem()->rightBarButtonItem() == button,
                           "Respring at the right of the bar");
                  return p.text();
              }),
              "");
}

TEST(ZorviBundle, HeadersHaveTheirHeightsAtAnyWidthAndAPlainHeaderLeavesTheWallpaperHeaderAlone) {
    EXPECT_EQ(
        runInChild([] {
            Problems p;
            LoadedBundle bundle(414);
            Ref<UIView> wallpaper = bundle.header("headercellorva", 0);
            Ref<UIView> plain = bundle.header("orvaheadercell", 1e9);
            p.expect(bundle.heights == std::vector<double>({150, 100}), "150 and 100 whatever the width");
            p.expect(bundle.global<Weak<UIView>>("reloadview").load().get() == wallpaper.get(),
                     "reloadview is still the wallpaper header");
            // No wallpaper file: the header is still built, with an empty band under white waves.
            auto subviews = wallpaper->subviews();
            p.expect(subviews.size() == 4 && objc_cast<UIImageView>(subviews[0].get()) &&
                         !objc_cast<UIImageView>(subviews[0].get())->image(),
                     "an empty band and three wave views");
            p.expect(subviews.size() == 4 && subviews[1]->frame() == CGRectMake(0, 50, 414, 150),
                     "wave views span the screen's width");
            p.expect(strokeOf(subviews[3]) == CGColor{1, 1, 1, 1}, "white waves with both switches off");
            p.expect(plain->backgroundColor() &&
                         plain->backgroundColor()->cgColor() == CGColor{0.55, 0.28, 0.82, 1},
                     "a purple plain header");
            p.expect(plain->subviews().size() == 3 &&
                         plain->subviews()[0]->frame() == CGRectMake(0, 15, 414, 100),
                     "the plain header's wave views");
            p.expect(msg_send<id>(plain, "bg") == nullptr && msg_send<id>(plain, "imgView") == nullptr &&
                         msg_send<id>(plain, "waveView") == plain->subviews()[0].get(),
                     "only the wave view properties are set");
            return p.text();
        }),
        "");
}

TEST(ZorviBundle, ReloadsStackNewWavesInTheNewColoursAndNothingAfterTheHeaderIsGone) {
    EXPECT_EQ(
        runInChild([] {
            Problems p;
            LoadedBundle bundle(375, [](TempDevice& device) { writeWallpaper(device, 0xFF204080u); });
            void (*reload)() = reinterpret_cast<void (*)()>(::dlsym(bundle.handle, "reload"));
            Ref<UIView> header = bundle.header("headercellorva");
            UIView* firstWaves = header->subviews()[1].get();
            setSwitch("enablecustom", true);
            PreferenceDomain::write("com.vantrel.zorvi", "line1", NSString::stringWithUTF8String("FF00FF00"));
            bundle.global<Ref<HBPreferences>>("pfs")->reload();
            reload();
            setSwitch("enableblend", true);
            bundle.global<Ref<HBPreferences>>("pfs")->reload();
            reload();
            auto subviews = header->subviews();
            p.expect(subviews.size() == 12, "3 image views and 9 wave views after two reloads");
            p.expect(msg_send<id>(header, "waveView") == firstWaves, "waveView is still the first");
            p.expect(strokeOf(firstWaves) == CGColor{1, 1, 1, 1},
                     "a wave built before a change keeps its colour");
            p.expect(subviews.size() == 12 && strokeOf(subviews[5]) == CGColor{0, 1, 0, 1},
                     "the custom colour");
            CGColor blended = subviews.size() == 12 ? strokeOf(subviews[9]) : CGColor{};
            p.expect(std::abs(blended.red - 0x20 / 255.0) < 1e-6 && blended.alpha == 1,
                     "the wallpaper's average");
            p.expect(subviews.size() == 12 && strokeOf(subviews[11]).alpha == 0.6, "the third at 0.6");
            p.expect(subviews.size() == 12 && objc_cast<UIImageView>(subviews[8].get()) &&
                         objc_cast<UIImageView>(subviews[8].get())->contentMode() ==
                             UIViewContentModeScaleAspectFill,
                     "the newest band is aspect filled");
            // One registration however many headers were built: one reload per notification.
            Ref<UIView> second = bundle.header("headercellorva");
            Ref<UIView> latest = bundle.global<Weak<UIView>>("reloadview").load();
            p.expect(latest == second, "the newest wallpaper header is the one reloaded");
            if (!latest)
                return p.text();
            size_t before = latest->subviews().size();
            CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                                 "com.vantrel.zorvi/reloadprefs", nullptr, nullptr, true);
            DarwinNotificationCenter::shared().waitAndDispatch(2000);
            p.expect(latest->subviews().size() == before + 4, "one reload for one notification");
            latest = nullptr;
            second = nullptr;
            p.expect(!bundle.global<Weak<UIView>>("reloadview").load(), "reloadview lets go with its header");
            reload();
            return p.text();
        }),
        "");
}

TEST(ZorviBundle, ColourPageLoadsFromItsLinkOnlyAndUpdatePosts) {
    EXPECT_EQ(runInChild([] {
                  Problems p;
                  LoadedBundle bundle;
                  Ref<NSObject> page = bundle.make("ColorPrefsListController");
                  auto* list = objc_cast<PSListController>(page.get());
                  list->setBundlePath("/Library/PreferenceBundles/zorvipref.bundle");
                  p.expect(msg_send<id>(page, "specifiers") == nullptr, "no list before a specifier");
                  p.expect(msg_send<bool>(page, "shouldReloadSpecifiersOnResume"), "reloads on resume");
                  Ref<PSSpecifier> link =
                      PSSpecifier::preferenceSpecifierNamed("Colours", nullptr, PSLinkCell);
                  link->setProperty(NSString::stringWithUTF8String("ColorPrefs"), "Color");
                  msg_send(page, "setSpecifier:", link.get());
                  auto* first = objc_cast<NSArray>(msg_send<id>(page, "specifiers"));
                  p.expect(first && first->count() == 6, "the colour plist's rows");
                  p.expect(list->title() == "Colours" && list->navigationItem()->title() == "Colours",
                           "both titles");
                  p.expect(list->specifier() == link.get(), "the base class got the specifier");
                  Ref<PSSpecifier> other =
                      PSSpecifier::preferenceSpecifierNamed("Again", nullptr, PSLinkCell);
                  other->setProperty(NSString::stringWithUTF8String("Root"), "Color");
                  msg_send(page, "setSpecifier:", other.get());
                  auto* second = objc_cast<NSArray>(msg_send<id>(page, "specifiers"));
                  p.expect(second && second != first && second->count() == 11,
                           "a second specifier replaces the list");
                  p.expect(list->title() == "Again" && list->navigationItem()->title() == "Again",
                           "and the titles");
                  int posted = 0;
                  DarwinNotificationCenter::shared().addObserver("com.vantrel.zorvi/reloadprefs",
                                                                 [&](const std::string&) { ++posted; });
                  // Update with no header built changes nothing but posts.
                  list->navigationItem()->rightBarButtonItem()->tap();
                  DarwinNotificationCenter::shared().waitAndDispatch(2000);
                  p.expect(posted == 1, "Update posts the reload notification");
                  p.expect(!bundle.global<Weak<UIView>>("reloadview").load(), "and builds nothing");
                  return p.text();
              }),
              "");
}

TEST(ZorviBundle, ColourPageFromALinkWithoutAColorPropertyLoadsNothingButStillTakesItsTitles) {
    EXPECT_EQ(
        runInChild([] {
            Problems p;
            LoadedBundle bundle;
            Ref<NSObject> page = bundle.make("ColorPrefsListController");
            auto* list = objc_cast<PSListController>(page.get());
            list->setBundlePath("/Library/PreferenceBundles/zorvipref.bundle");
            Ref<PSSpecifier> link = PSSpecifier::preferenceSpecifierNamed("Colours", nullptr, PSLinkCell);
            link->setProperty(NSString::stringWithUTF8String("ColorPrefs"), "Color");
            msg_send(page, "setSpecifier:", link.get());
            p.expect(msg_send<id>(page, "specifiers") != nullptr, "rows from a link that names its plist");
            Ref<PSSpecifier> bare = PSSpecifier::preferenceSpecifierNamed("Bare", nullptr, PSLinkCell);
            msg_send(page, "setSpecifier:", bare.get());
            p.expect(msg_send<id>(page, "specifiers") == nullptr,
                     "no plist named: the loader's nothing replaces the earlier rows");
            p.expect(list->title() == "Bare" && list->navigationItem()->title() == "Bare",
                     "both titles from the bare link");
            p.expect(list->specifier() == bare.get(), "the base class got the bare link");
            return p.text();
        }),
        "");
}

TEST(ZorviBundle, PagesLoadTheirRowsThroughTheRuntimeSoAnOverrideOrAHookIsHonoured) {
    EXPECT_EQ(runInChild([] {
                  Problems p;
                  LoadedBundle bundle;
                  SEL loader = sel_registerName("loadSpecifiersFromPlistName:target:");
                  const std::string types = objc_encode_imp(&standInLoader);

                  // A subclass of the colour page with a loader of its own.
                  Class subclass = objc_allocateClassPair(objc_getClass("ColorPrefsListController"),
                                                          "ZVColourPageWithLoader");
                  class_addMethod(subclass, loader, reinterpret_cast<IMP>(&standInLoader), types.c_str());
                  objc_registerClassPair(subclass);
                  Ref<NSObject> colourPage = bundle.make("ZVColourPageWithLoader");
                  Ref<PSSpecifier> link =
                      PSSpecifier::preferenceSpecifierNamed("Colours", nullptr, PSLinkCell);
                  link->setProperty(NSString::stringWithUTF8String("ColorPrefs"), "Color");
                  msg_send(colourPage, "setSpecifier:", link.get());
                  p.expect(loaderCalls.size() == 1 && loaderCalls[0].name == "ColorPrefs" &&
                               loaderCalls[0].target == colourPage.get(),
                           "the colour page asks the subclass's loader for the link's plist");
                  id colourRows = msg_send<id>(colourPage, "specifiers");
                  p.expect(colourRows && colourRows == loaderAnswer.get(), "and shows the subclass's rows");

                  // The machinery's own loader replaced, as a hook replaces it.
                  class_replaceMethod(PSListController::objcClass(), loader,
                                      reinterpret_cast<IMP>(&standInLoader), types.c_str());
                  Ref<NSObject> root = bundle.make("ZorviRootListController");
                  objc_cast<PSListController>(root.get())
                      ->setBundlePath("/Library/PreferenceBundles/zorvipref.bundle");
                  id rows = msg_send<id>(root, "specifiers");
                  p.expect(loaderCalls.size() == 2 && loaderCalls.back().name == "Root" &&
                               loaderCalls.back().target == root.get(),
                           "the root page asks the replaced loader for Root");
                  p.expect(rows && rows == loaderAnswer.get(), "and shows the replacement's rows");
                  return p.text();
              }),
              "");
}
