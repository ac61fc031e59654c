#include "DeviceFixture.h"

#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/SystemVersion.h"

namespace {

constexpr const char* versionFile = "/System/Library/CoreServices/SystemVersion.plist";

void writeVersion(NSObject* value) {
    auto values = NSMutableDictionary::dictionary();
    values->setObject(value, "ProductVersion");
    values->setObject(NSString::stringWithUTF8String("iPhone OS"), "ProductName");
    ASSERT_TRUE(PropertyList::writeDictionary(versionFile, values, PropertyList::Format::XML));
}

} // namespace

TEST(SystemVersionParse, ReadsOneToThreePartsAndRejectsTheRest) {
    struct Case {
        const char* text;
        int major, minor, patch;
    } cases[] = {
        {"13", 13, 0, 0},     {"13.0", 13, 0, 0},        {"13.0.0", 13, 0, 0},
        {"12.4.1", 12, 4, 1}, {" 14.10.2\n", 14, 10, 2}, {"", 0, 0, 0},
        {"abc", 0, 0, 0},     {"13.", 0, 0, 0},          {".13", 0, 0, 0},
        {"13..1", 0, 0, 0},   {"13.0.0.1", 0, 0, 0},     {"13a", 0, 0, 0},
        {"-13", 0, 0, 0},     {"99999999999", 0, 0, 0},
    };
    for (auto& c : cases) {
        auto version = SystemVersion::parse(c.text);
        EXPECT_EQ(version.majorVersion, c.major) << '"' << c.text << '"';
        EXPECT_EQ(version.minorVersion, c.minor) << '"' << c.text << '"';
        EXPECT_EQ(version.patchVersion, c.patch) << '"' << c.text << '"';
    }
}

using SystemVersionFile = DeviceFixture;

TEST_F(SystemVersionFile, DecidesAgainstThirteenFromTheDeviceFile) {
    EXPECT_EQ(SystemVersion::productVersion(), "");
    EXPECT_FALSE(SystemVersion::isAtLeast({13, 0, 0}));

    writeVersion(NSString::stringWithUTF8String("13.0"));
    EXPECT_EQ(SystemVersion::productVersion(), "13.0");
    EXPECT_TRUE(SystemVersion::isAtLeast({13, 0, 0}));

    writeVersion(NSString::stringWithUTF8String("12.4.1"));
    EXPECT_FALSE(SystemVersion::isAtLeast({13, 0, 0}));
    EXPECT_TRUE(SystemVersion::isAtLeast({12, 4, 0}));

    // A number where the string belongs reads as no version at all.
    writeVersion(NSNumber::numberWithLongLong(14));
    EXPECT_EQ(SystemVersion::productVersion(), "");
    EXPECT_EQ(SystemVersion::current().majorVersion, 0);
}

TEST_F(SystemVersionFile, AVersionThatCannotBeReadIsSaidOnceInTheLog) {
    auto mentions = [&](const std::string& text) {
        return std::count_if(log.begin(), log.end(),
                             [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    writeVersion(NSString::stringWithUTF8String("13.0.0.1"));
    EXPECT_FALSE(SystemVersion::isAtLeast({13, 0, 0}));
    EXPECT_FALSE(SystemVersion::isAtLeast({12, 0, 0}));
    EXPECT_EQ(mentions("cannot read '13.0.0.1'"), 1);
    writeVersion(NSNumber::numberWithLongLong(14));
    SystemVersion::current();
    EXPECT_EQ(mentions("ProductVersion is not a string"), 1);
}
