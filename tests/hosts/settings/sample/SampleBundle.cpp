// A settings bundle of the tests' own, exercising the list machinery the way bundles use it: a page
// that builds its own list, header classes good and bad, a link with extra properties, a button that
// posts a notification and starts a device program, and every row kind.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTask.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSTableCell.h"
#include "runtime/Runtime.h"

namespace {

class SampleRootController : public PSListController {
public:
    static Class objcClass();
};

class SampleDetailController : public PSListController {
public:
    static Class objcClass();
};

class SampleHeader : public PSTableCell {
public:
    static Class objcClass();
};

class NotAHeader : public PSTableCell {
public:
    static Class objcClass();
};

// The page's own list: the plist's rows, then one row made in code.
id rootSpecifiers(id self, SEL) {
    auto* page = static_cast<SampleRootController*>(self);
    if (!page->storedSpecifiers()) {
        Ref<NSMutableArray> list = page->loadSpecifiersFromPlistName("Sample", self);
        if (list)
            list->addObject(PSSpecifier::preferenceSpecifierNamed("Made in code", self, PSStaticTextCell));
        page->setStoredSpecifiers(list);
    }
    return page->storedSpecifiers();
}

void ping(id, SEL, id specifier) {
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         "com.example.sample/ping", nullptr, nullptr, true);
    Ref<NSTask> task = NSTask::task();
    task->setLaunchPath("/usr/bin/sample-tool");
    auto* row = objc_cast<PSSpecifier>(specifier);
    task->setArguments({row ? row->name() : "?"});
    // Through the runtime, as a bundle written for the device starts it.
    msg_send(task.get(), "launch");
}

void pinged(void*, void*, const char* name, const void*, const void*) {
    NSLog(std::string("sample: received ") + name);
}

} // namespace

Class SampleRootController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("SampleRootController", PSListController::objcClass(),
                                   &instance_factory<SampleRootController>);
        class_addMethod(c, "specifiers", &rootSpecifiers);
        class_addMethod(c, "ping:", &ping);
        return c;
    }();
    return cls;
}

Class SampleDetailController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("SampleDetailController", PSListController::objcClass(),
                                   &instance_factory<SampleDetailController>);
        // Titled after the link's extra property, which must be there before the page shows.
        class_addMethod(
            c, "setSpecifier:", +[](id self, SEL cmd, id specifier) {
                msg_send_super<void>(SampleDetailController::objcClass(), self, cmd, specifier);
                const std::string* extra = string_value(
                    msg_send<id>(specifier, "propertyForKey:", NSString::stringWithUTF8String("Extra")));
                static_cast<SampleDetailController*>(self)->setTitle(extra ? "Detail " + *extra
                                                                           : "Detail without extra");
            });
        return c;
    }();
    return cls;
}

Class SampleHeader::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("SampleHeader", PSTableCell::objcClass(), &instance_factory<SampleHeader>);
        class_addMethod(
            c, "initWithSpecifier:", +[](id self, SEL, id specifier) -> id {
                self = msg_send<id>(self, "initWithStyle:reuseIdentifier:specifier:", 0L, nullptr, specifier);
                msg_send(self, "setBackgroundColor:", UIColor::colorWithRed(0, 0.5, 0, 1));
                return self;
            });
        class_addMethod(
            c, "preferredHeightForWidth:", +[](id, SEL, double) -> double { return 73; });
        return c;
    }();
    return cls;
}

Class NotAHeader::objcClass() {
    static Class const cls =
        objc_defineClass("NotAHeader", PSTableCell::objcClass(), &instance_factory<NotAHeader>);
    return cls;
}

namespace {

__attribute__((constructor(101))) void registerClasses() {
    SampleRootController::objcClass();
    SampleDetailController::objcClass();
    SampleHeader::objcClass();
    NotAHeader::objcClass();
}

__attribute__((constructor)) void sampleStartup() {
    NSLog("sample: start-up");
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &pinged,
                                    "com.example.sample/ping", nullptr, 0);
}

} // namespace
