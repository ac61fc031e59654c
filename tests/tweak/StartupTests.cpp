// Loading the tweak library into a process that has the lock-screen classes of one system version,
// as the substrate does, and checking what its start-up installed. Each load happens in a child
// process: start-up runs once per process.

#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/UIImage.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/PreferenceDomain.h"
#include "platform/substrate/Loader.h"
#include "runtime/Runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

// The host side: every class either set names, each with its own implementations, so that a test
// can tell a replaced method from the class's own.
class HostObject : public NSObject {
public:
    bool hidden = false;
    int ownCalls = 0;
};

std::map<std::string, IMP> ownImplementations; // "Class selector" -> IMP before loading

void own(Class cls, const char* selector, IMP imp, const char* types) {
    class_addMethod(cls, sel_registerName(selector), imp, types);
    ownImplementations[std::string(class_getName(cls)) + " " + selector] = imp;
}

Class hostClass(const char* name) {
    Class cls = objc_allocateClassPair(NSObject::objcClass(), name);
    objc_registerClassPair(cls);
    return cls;
}

void registerHostClasses(bool controllerAlreadyHasTapEvent) {
    static Class base = [] {
        Class c = objc_defineClass("HostObject", NSObject::objcClass(), &instance_factory<HostObject>);
        class_addMethod(
            c, "setHidden:", +[](id self, SEL, bool h) { static_cast<HostObject*>(self)->hidden = h; });
        return c;
    }();
    (void)base;
    auto viewDidLoad = imp_cast(+[](id self, SEL) { static_cast<HostObject*>(self)->ownCalls++; });
    auto viewDidAppear = imp_cast(+[](id self, SEL, bool) { static_cast<HostObject*>(self)->ownCalls++; });
    auto setAuthenticated = imp_cast(+[](id self, SEL, bool) { static_cast<HostObject*>(self)->ownCalls++; });
    auto layout = imp_cast(+[](id self, SEL) { static_cast<HostObject*>(self)->ownCalls++; });
    auto insetY = imp_cast(+[](id, SEL) -> double { return 110; });
    auto initWithFrame = imp_cast(+[](id self, SEL, CGRect) -> id { return self; });
    auto tap = imp_cast(+[](id self, SEL) { static_cast<HostObject*>(self)->ownCalls += 100; });
    for (const char* name : {"CSCombinedListViewController", "SBDashBoardViewController"}) {
        Class c = objc_allocateClassPair(objc_getClass("HostObject"), name);
        objc_registerClassPair(c);
        own(c, "viewDidLoad", viewDidLoad, "v@:");
        // No view: the scene the tweak builds on it is the host tests' business.
        own(c, "view", imp_cast(+[](id, SEL) -> id { return nullptr; }), "@@:");
        own(c, "viewDidAppear:", viewDidAppear, "v@:B");
        if (controllerAlreadyHasTapEvent)
            own(c, "buttontapEvent", tap, "v@:");
    }
    own(objc_getClass("SBDashBoardViewController"), "setAuthenticated:", setAuthenticated, "v@:B");
    for (const char* name : {"CSQuickActionsView", "SBDashBoardQuickActionsView"}) {
        Class c = objc_allocateClassPair(objc_getClass("HostObject"), name);
        objc_registerClassPair(c);
        own(c, "_layoutQuickActionButtons", layout, "v@:");
        own(c, "_insetY", insetY, "d@:");
    }
    own(hostClass("SBDashBoardBiometricUnlockController"), "setAuthenticated:", setAuthenticated, "v@:B");
    // The device's image class answers app icons; none are installed here.
    class_addMethod(object_getMetaclass(UIImage::objcClass()),
                    sel_registerName("_applicationIconImageForBundleIdentifier:format:scale:"),
                    imp_cast(+[](id, SEL, id, int, double) -> id { return nullptr; }), "@@:@id");
    for (const char* name : {"CSTeachableMomentsContainerView", "SBUICallToActionLabel"}) {
        Class c = objc_allocateClassPair(objc_getClass("HostObject"), name);
        objc_registerClassPair(c);
        own(c, "initWithFrame:", initWithFrame, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
    }
}

void makeDevice(const TempDevice& device, const char* version) {
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSString::stringWithUTF8String(version), "ProductVersion");
    PropertyList::writeDictionary("/System/Library/CoreServices/SystemVersion.plist", values);
    std::string folder = device.host("/Library/MobileSubstrate/DynamicLibraries");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(ZV_TWEAK_LIBRARY, folder + "/Zorvi.dylib");
    std::ofstream(folder + "/Zorvi.plist") << "{ Filter = { Bundles = ( \"com.apple.springboard\" ); }; }\n";
}

bool loadTweak() {
    auto loaded = Substrate::loadLibrariesForHost({"com.apple.springboard", "SpringBoard"});
    return loaded.size() == 1 && loaded[0] == "Zorvi.dylib";
}

bool replaced(const char* cls, const char* selector) {
    Method method = class_getOwnMethod(objc_getClass(cls), sel_registerName(selector));
    return method && method->imp != ownImplementations[std::string(cls) + " " + selector];
}

std::string addedAs(const char* cls, const char* selector) {
    Method method = class_getOwnMethod(objc_getClass(cls), sel_registerName(selector));
    return method ? method->types : "<absent>";
}

template <typename T> T* exported(const char* name) {
    return static_cast<T*>(dlsym(RTLD_DEFAULT, name));
}

const char* propertyNames[] = {"window",         "icon",     "iconimage", "button",
                               "button2",        "button3",  "button4",   "secondWaveViewBg",
                               "secondWaveView", "waveView", "waveView2", "waveView3"};

std::string setterOf(const std::string& getter) {
    return "set" + std::string(1, static_cast<char>(std::toupper(getter[0]))) + getter.substr(1) + ":";
}

// Checks one installed set against the other, untouched one.
std::string checkSet(const char* version, bool modern) {
    TempDevice device;
    makeDevice(device, version);
    registerHostClasses(false);
    Problems p;
    p.expect(loadTweak(), "the substrate did not load the tweak");
    const char* controller = modern ? "CSCombinedListViewController" : "SBDashBoardViewController";
    const char* other = modern ? "SBDashBoardViewController" : "CSCombinedListViewController";
    const char* quick = modern ? "CSQuickActionsView" : "SBDashBoardQuickActionsView";
    const char* otherQuick = modern ? "SBDashBoardQuickActionsView" : "CSQuickActionsView";
    const char* hint = modern ? "CSTeachableMomentsContainerView" : "SBUICallToActionLabel";
    const char* otherHint = modern ? "SBUICallToActionLabel" : "CSTeachableMomentsContainerView";
    const char* auth = modern ? "SBDashBoardBiometricUnlockController" : "SBDashBoardViewController";
    const char* otherAuth = modern ? "SBDashBoardViewController" : "SBDashBoardBiometricUnlockController";

    for (const char* s : {"viewDidLoad", "viewDidAppear:"}) {
        p.expect(replaced(controller, s), std::string(controller) + " " + s + " not replaced");
        p.expect(!replaced(other, s), std::string(other) + " " + s + " replaced by the other set");
    }
    for (const char* s : {"_layoutQuickActionButtons", "_insetY"}) {
        p.expect(replaced(quick, s), std::string(quick) + " " + s + " not replaced");
        p.expect(!replaced(otherQuick, s), std::string(otherQuick) + " " + s + " replaced by the other set");
    }
    p.expect(replaced(auth, "setAuthenticated:"), std::string(auth) + " setAuthenticated: not replaced");
    p.expect(!replaced(otherAuth, "setAuthenticated:"),
             std::string(otherAuth) + " setAuthenticated: replaced");
    p.expect(replaced(hint, "initWithFrame:"), std::string(hint) + " initWithFrame: not replaced");
    p.expect(!replaced(otherHint, "initWithFrame:"), std::string(otherHint) + " initWithFrame: replaced");
    for (const char* s : {"dragButton:", "dragButton2:", "dragButton3:", "dragButton4:"}) {
        p.expect(addedAs(controller, s) == "v@:@", std::string(s) + " added as " + addedAs(controller, s));
        p.expect(addedAs(other, s) == "<absent>", std::string(s) + " added to the other set's controller");
    }
    p.expect(addedAs(controller, "buttontapEvent") == "v@:",
             "buttontapEvent added as " + addedAs(controller, "buttontapEvent"));
    for (const char* getter : propertyNames) {
        p.expect(addedAs(controller, getter) == "@@:",
                 std::string(getter) + " added as " + addedAs(controller, getter));
        p.expect(addedAs(controller, setterOf(getter).c_str()) == "v@:@", setterOf(getter) + " not added");
    }

    // The replacements call through to the host's own methods.
    Ref<NSObject> vc = class_createInstance(objc_getClass(controller));
    msg_send(vc, "viewDidLoad");
    p.expect(static_cast<HostObject*>(vc.get())->ownCalls == 1, "viewDidLoad did not call through");
    Ref<NSObject> quickView = class_createInstance(objc_getClass(quick));
    p.expect(msg_send<double>(quickView, "_insetY") == 150.0, "_insetY is not 150");
    return p.text();
}

} // namespace

TEST(TweakStartup, ThirteenPointZeroAndLaterInstallTheModernSetOnly) {
    EXPECT_EQ(runInChild([] { return checkSet("13.0.0", true); }), "");
    EXPECT_EQ(runInChild([] { return checkSet("14.4", true); }), "");
}

TEST(TweakStartup, EarlierVersionsInstallTheLegacySetOnly) {
    EXPECT_EQ(runInChild([] { return checkSet("12.4.1", false); }), "");
    EXPECT_EQ(runInChild([] { return checkSet("11.2", false); }), "");
    EXPECT_EQ(runInChild([] { return checkSet("12.99.99", false); }), "");
}

TEST(TweakStartup, AnAddedSelectorTheClassImplementsStaysAsItWas) {
    EXPECT_EQ(
        runInChild([] {
            TempDevice device;
            makeDevice(device, "14.0");
            registerHostClasses(true);
            Problems p;
            p.expect(loadTweak(), "not loaded");
            p.expect(!replaced("CSCombinedListViewController", "buttontapEvent"), "buttontapEvent replaced");
            Ref<NSObject> vc = class_createInstance(objc_getClass("CSCombinedListViewController"));
            msg_send(vc, "buttontapEvent");
            p.expect(static_cast<HostObject*>(vc.get())->ownCalls == 100, "the class's own tap did not run");
            return p.text();
        }),
        "");
}

TEST(TweakStartup, PropertiesAreNilUntilSetAndReleaseWhatTheyReplace) {
    EXPECT_EQ(
        runInChild([] {
            TempDevice device;
            makeDevice(device, "14.0");
            registerHostClasses(false);
            Problems p;
            p.expect(loadTweak(), "not loaded");
            Ref<NSObject> vc = class_createInstance(objc_getClass("CSCombinedListViewController"));
            for (const char* getter : propertyNames)
                p.expect(msg_send<id>(vc, getter) == nullptr, std::string(getter) + " is not nil at first");
            Weak<NSObject> first;
            {
                auto value = NSString::stringWithUTF8String("first");
                first = value.get();
                msg_send(vc, "setButton2:", value);
            }
            p.expect(first.load() != nullptr, "the property does not keep its value");
            p.expect(msg_send<id>(vc, "button2") == first.load().get(), "button2 answers another object");
            p.expect(msg_send<id>(vc, "button") == nullptr, "button shares button2's storage");
            msg_send(vc, "setButton2:", NSString::stringWithUTF8String("second"));
            p.expect(first.load() == nullptr, "the replaced value was not released");
            Weak<NSObject> second = msg_send<id>(vc, "button2");
            msg_send(vc, "setButton2:", nullptr);
            p.expect(msg_send<id>(vc, "button2") == nullptr && second.load() == nullptr,
                     "nil does not clear");
            msg_send(vc, "setWaveView3:", NSString::stringWithUTF8String("kept"));
            Weak<NSObject> kept = msg_send<id>(vc, "waveView3");
            vc = nullptr;
            p.expect(kept.load() == nullptr, "values outlive their controller");
            return p.text();
        }),
        "");
}

TEST(TweakStartup, SwitchesAreFalseUntilBoundAndFollowTheStore) {
    EXPECT_EQ(runInChild([] {
                  TempDevice device;
                  makeDevice(device, "14.0");
                  registerHostClasses(false);
                  PreferenceDomain::write("com.vantrel.zorvi", "hidequick", NSNumber::numberWithBool(true));
                  PreferenceDomain::write("com.vantrel.zorvi", "enableblend",
                                          NSString::stringWithUTF8String("true")); // wrong type
                  Problems p;
                  p.expect(loadTweak(), "not loaded");
                  bool* hidequick = exported<bool>("hidequick");
                  bool* enableblend = exported<bool>("enableblend");
                  bool* enablecustom = exported<bool>("enablecustom");
                  p.expect(hidequick && enableblend && enablecustom, "the switches are not exported by name");
                  if (!hidequick || !enableblend || !enablecustom)
                      return p.text();
                  p.expect(*hidequick, "hidequick does not hold the stored YES");
                  p.expect(!*enableblend, "a string under enableblend must read as absent");
                  p.expect(!*enablecustom, "an absent switch must be false");

                  Ref<NSObject> quick = class_createInstance(objc_getClass("CSQuickActionsView"));
                  msg_send(quick, "_layoutQuickActionButtons");
                  auto* view = static_cast<HostObject*>(quick.get());
                  p.expect(view->hidden && view->ownCalls == 0, "hidequick on: hidden, own layout skipped");

                  // Another process changes the domain while this one runs.
                  std::string problem = runInChild([] {
                      return PreferenceDomain::write("com.vantrel.zorvi", "enablecustom",
                                                     NSNumber::numberWithBool(true))
                                 ? ""
                                 : "write failed";
                  });
                  p.expect(problem.empty(), problem);
                  for (int i = 0; i < 50 && !*enablecustom; ++i)
                      DarwinNotificationCenter::shared().waitAndDispatch(100);
                  p.expect(*enablecustom, "a change made by another process did not reach enablecustom");
                  return p.text();
              }),
              "");
}
