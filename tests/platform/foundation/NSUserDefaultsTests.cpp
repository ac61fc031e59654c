#include "DeviceFixture.h"

#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "runtime/MessageSend.h"

namespace {

constexpr const char* suite = "com.vantrel.zorvipref";
constexpr const char* suiteFile = "/var/mobile/Library/Preferences/com.vantrel.zorvipref.plist";

std::string stringFor(const NSUserDefaults* defaults, const char* key) {
    const std::string* text = string_value(defaults->objectForKey(key));
    return text ? *text : "<absent>";
}

} // namespace

using UserDefaults = DeviceFixture;

TEST_F(UserDefaults, SuiteNamesMustStayPlainFileNames) {
    EXPECT_EQ(NSUserDefaults::pathForSuite(suite), suiteFile);
    for (const char* bad : {"", "..", "a/b", "../Preferences/x", "com..x"}) {
        EXPECT_EQ(NSUserDefaults::pathForSuite(bad), "") << bad;
        EXPECT_FALSE(NSUserDefaults::initWithSuiteName(bad)) << bad;
    }
}

TEST_F(UserDefaults, WritesGoThroughAndKeepOtherWritersKeys) {
    auto mine = NSUserDefaults::initWithSuiteName(suite);
    ASSERT_TRUE(mine);
    EXPECT_FALSE(mine->objectForKey("zorvi"));

    // Another process writes a key after this object read the suite.
    auto other = NSUserDefaults::initWithSuiteName(suite);
    other->setObject(NSString::stringWithUTF8String("com.apple.camera"), "zorvi3");
    mine->setObject(NSString::stringWithUTF8String("com.apple.mobilesafari"), "zorvi");

    auto fresh = NSUserDefaults::initWithSuiteName(suite);
    EXPECT_EQ(stringFor(fresh, "zorvi"), "com.apple.mobilesafari");
    EXPECT_EQ(stringFor(fresh, "zorvi3"), "com.apple.camera");
    EXPECT_EQ(stringFor(mine, "zorvi3"), "com.apple.camera") << "a write takes in what is on disk";

    fresh->removeObjectForKey("zorvi");
    EXPECT_FALSE(fresh->objectForKey("zorvi"));
    EXPECT_EQ(stringFor(mine, "zorvi"), "com.apple.mobilesafari") << "read once, until synchronised";
    EXPECT_TRUE(mine->synchronize());
    EXPECT_FALSE(mine->objectForKey("zorvi"));
}

TEST_F(UserDefaults, AnsweredByNameThroughTheRuntimeWhateverTheStoredType) {
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSNumber::numberWithLongLong(7), "zorvi2");
    ASSERT_TRUE(PropertyList::writeDictionary(suiteFile, values, PropertyList::Format::XML));

    Class cls = objc_getClass("NSUserDefaults");
    ASSERT_TRUE(cls);
    Ref<NSObject> defaults = class_createInstance(cls);
    auto name = NSString::stringWithUTF8String(suite);
    ASSERT_EQ(msg_send<id>(defaults, "initWithSuiteName:", name.get()), defaults.get());
    auto key = NSString::stringWithUTF8String("zorvi2");
    auto* stored = objc_cast<NSNumber>(msg_send<id>(defaults, "objectForKey:", key.get()));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->longLongValue(), 7);

    Ref<NSObject> refused = class_createInstance(cls);
    auto badName = NSString::stringWithUTF8String("../escape");
    EXPECT_EQ(msg_send<id>(refused, "initWithSuiteName:", badName.get()), nullptr);
}
