#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/HBPreferences.h"
#include "platform/prefs/PreferenceDomain.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* domain = "com.example.prefs";

void store(const char* key, NSObject* value) {
    ASSERT_TRUE(PreferenceDomain::write(domain, key, value));
}

} // namespace

TEST(Preferences, BindingsHoldTheStoredValueOrTheDefault) {
    TempDevice device;
    bool on = true, off = true, wrongType = true, defaulted = false;
    store("on", NSNumber::numberWithBool(true));
    store("off", NSNumber::numberWithLongLong(0));
    store("text", NSString::stringWithUTF8String("YES"));
    auto preferences = HBPreferences::initWithIdentifier(domain);
    preferences->registerBool(&on, false, "on");
    preferences->registerBool(&off, true, "off");
    preferences->registerBool(&wrongType, false, "text");
    preferences->registerBool(&defaulted, true, "missing");
    EXPECT_TRUE(on);
    EXPECT_FALSE(off);
    EXPECT_FALSE(wrongType) << "a string is not a switch";
    EXPECT_TRUE(defaulted);

    auto nested = NSMutableDictionary::dictionary();
    store("on", nested);
    preferences->reload();
    EXPECT_FALSE(on) << "a dictionary under a switch reads as absent";
}

TEST(Preferences, WritesKeepOtherKeysAndReachBindingsInThisProcess) {
    TempDevice device;
    bool flag = false;
    auto preferences = HBPreferences::initWithIdentifier(domain);
    preferences->registerBool(&flag, false, "flag");
    store("other", NSString::stringWithUTF8String("kept"));
    store("flag", NSNumber::numberWithBool(true));
    DarwinNotificationCenter::shared().waitAndDispatch(1000);
    DarwinNotificationCenter::shared().dispatchPending();
    EXPECT_TRUE(flag);
    auto values = PreferenceDomain::read(domain);
    ASSERT_NE(string_value(values->objectForKey("other")), nullptr);
    EXPECT_EQ(*string_value(values->objectForKey("other")), "kept");

    store("flag", nullptr);
    DarwinNotificationCenter::shared().waitAndDispatch(1000);
    EXPECT_FALSE(flag) << "a removed key falls back to the default";
}

TEST(Preferences, AChangeMadeByAnotherProcessReachesABoundVariable) {
    TempDevice device;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t reader = fork();
    if (reader == 0) {
        // The child binds, says it is listening, and waits for the parent's write to arrive.
        bool enabled = false;
        auto preferences = HBPreferences::initWithIdentifier(domain);
        preferences->registerBool(&enabled, false, "enabled");
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1)
            _exit(3);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!enabled && std::chrono::steady_clock::now() < deadline)
            DarwinNotificationCenter::shared().waitAndDispatch(100);
        _exit(enabled ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    store("enabled", NSNumber::numberWithBool(true));
    int status = 0;
    waitpid(reader, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child never saw the change";
    close(ready[0]);
    close(ready[1]);
}

TEST(Preferences, DomainNamesCannotLeaveThePreferencesFolder) {
    TempDevice device;
    EXPECT_FALSE(PreferenceDomain::isValidName("../../etc/passwd"));
    EXPECT_FALSE(PreferenceDomain::isValidName(""));
    EXPECT_FALSE(PreferenceDomain::isValidName(".."));
    EXPECT_FALSE(PreferenceDomain::write("a/b", "k", NSNumber::numberWithBool(true)));
    EXPECT_EQ(PreferenceDomain::read("../x")->count(), 0u);
    EXPECT_TRUE(PreferenceDomain::isValidName("com.vantrel.zorvi"));
}

TEST(Preferences, TextThatIsNotUtf8IsRefusedOnEveryWritePathBeforeTheFileIsTouched) {
    TempDevice device;
    std::vector<std::string> lines;
    DeviceLog::setObserver([&](std::string_view line) { lines.emplace_back(line); });
    store("name", NSString::stringWithUTF8String("Ada"));
    const std::string file = device.host(PreferenceDomain::devicePath(domain));
    auto bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string before = bytes();
    const std::string bad = "Ada \xC3\x28 Lovelace";

    lines.clear();
    EXPECT_FALSE(PreferenceDomain::write(domain, "name", NSString::stringWithUTF8String(bad)));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("name in com.example.prefs not stored"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("not UTF-8"), std::string::npos) << lines[0];
    EXPECT_FALSE(PreferenceDomain::write(domain, "na\xFFme", NSNumber::numberWithBool(true))) << "a key";
    EXPECT_FALSE(PreferenceDomain::write(domain, "list",
                                         NSArray::arrayWithObjects({NSString::stringWithUTF8String(bad)})));
    EXPECT_FALSE(
        PreferenceDomain::write(domain, "name", NSString::stringWithUTF8String(std::string("A\0B", 3))));

    auto preferences = HBPreferences::initWithIdentifier(domain);
    EXPECT_FALSE(preferences->setObject(NSString::stringWithUTF8String(bad), "name"));
    EXPECT_EQ(*string_value(preferences->objectForKey("name")), "Ada");

    auto suite = NSUserDefaults::initWithSuiteName(domain);
    suite->setObject(NSString::stringWithUTF8String(bad), "name");
    EXPECT_EQ(*string_value(suite->objectForKey("name")), "Ada") << "what the suite holds matches the file";

    EXPECT_EQ(bytes(), before) << "nothing was written";
    EXPECT_EQ(*string_value(PreferenceDomain::read(domain)->objectForKey("name")), "Ada");
    DeviceLog::setObserver(nullptr);
}
