#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/TempDevice.h"
#include "tweak/Settings.h"
#include "tweak/TweakState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void writeSettingsFile(NSDictionary* values) {
    ASSERT_TRUE(PropertyList::writeDictionary(zorviPlistPath, values, PropertyList::Format::XML));
}

void writeRaw(const std::string& hostPath, const std::string& bytes) {
    std::ofstream(hostPath) << bytes;
}

void storeApp(const char* key, NSObject* value) {
    auto suite = NSUserDefaults::initWithSuiteName(zorviAppSuite);
    suite->setObject(value, key);
}

std::string text(const Ref<NSString>& s) {
    return s ? s->UTF8String() : "<nil>";
}

} // namespace

TEST(TweakSettings, ReadPlistSettingReadsAfreshAndAnswersValuesOfAnyType) {
    TempDevice device;
    EXPECT_EQ(readPlistSetting("line1"), nullptr) << "no file reads as empty";
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSString::stringWithUTF8String("FFFF0000"), "line1");
    values->setObject(NSNumber::numberWithLongLong(7), "line2");
    writeSettingsFile(values);
    ASSERT_NE(string_value(readPlistSetting("line1")), nullptr);
    EXPECT_EQ(*string_value(readPlistSetting("line1")), "FFFF0000");
    EXPECT_NE(objc_cast<NSNumber>(readPlistSetting("line2")), nullptr) << "the value comes back unchanged";
    EXPECT_EQ(readPlistSetting("line3"), nullptr);

    values->setObject(NSString::stringWithUTF8String("FF00FF00"), "line1");
    writeSettingsFile(values);
    EXPECT_EQ(*string_value(readPlistSetting("line1")), "FF00FF00") << "nothing is cached";
}

TEST(TweakSettings, HostileSettingsFilesReadAsEmpty) {
    TempDevice device;
    std::string file = device.host("/var/mobile/Library/Preferences/com.vantrel.zorvi.plist");
    for (std::string bytes :
         {std::string("\x01\x02garbage\xff\xfe", 11), std::string(), std::string("bplist00\xd1\x01\x02", 11),
          std::string("<?xml version=\"1.0\"?><plist><array><string>x</string></array></plist>")}) {
        writeRaw(file, bytes);
        EXPECT_EQ(readPlistSetting("line1"), nullptr) << "bytes: " << bytes.size();
    }
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_EQ(readPlistSetting("line1"), nullptr) << "a folder where the file should be";
}

TEST(TweakSettings, AppIdentifiersKeepTheirValueWhenAbsentAndIgnoreOtherTypes) {
    TempDevice device;
    app1 = app2 = app3 = app4 = nullptr;
    storeApp("zorvi3", NSString::stringWithUTF8String("com.example.three"));
    loadAppIdentifiers();
    EXPECT_EQ(text(app1), "<nil>");
    EXPECT_EQ(text(app3), "com.example.three");
    EXPECT_EQ(text(app4), "<nil>");

    storeApp("zorvi", NSString::stringWithUTF8String("com.example.one"));
    storeApp("zorvi2", NSNumber::numberWithLongLong(42)); // not an identifier
    loadAppIdentifiers();
    EXPECT_EQ(text(app1), "com.example.one");
    EXPECT_EQ(text(app2), "<nil>") << "a number is never passed on as an identifier";

    storeApp("zorvi", NSString::stringWithUTF8String("com.example.uno"));
    loadAppIdentifiers();
    EXPECT_EQ(text(app1), "com.example.uno") << "a changed choice replaces the old one";
    storeApp("zorvi", nullptr);
    loadAppIdentifiers();
    EXPECT_EQ(text(app1), "com.example.uno") << "a removed choice keeps the old one";
    app1 = app2 = app3 = app4 = nullptr;
}
