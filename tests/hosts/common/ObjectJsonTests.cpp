#include "hosts/common/Json.h"
#include "hosts/common/ObjectJson.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

#include <gtest/gtest.h>

// Options and other objects in a trace: null, an object for a dictionary (nested values as JSON),
// and an object naming the class for anything else, so that a reader always gets null or an object.
TEST(ObjectJson, ObjectsAreNullOrJsonObjects) {
    EXPECT_EQ(objectJson(nullptr).text(), "null");
    auto inner = NSMutableDictionary::dictionary();
    inner->setObject(NSNumber::numberWithBool(true), "animated");
    auto options = NSMutableDictionary::dictionary();
    options->setObject(NSString::stringWithUTF8String("home \"button\""), "source");
    options->setObject(NSNumber::numberWithDouble(0.5), "delay");
    options->setObject(inner, "transition");
    options->setObject(
        NSArray::arrayWithObjects({NSNumber::numberWithDouble(1), NSString::stringWithUTF8String("x")}),
        "list");
    EXPECT_EQ(objectJson(options).text(),
              R"({"delay":0.5,"list":[1,"x"],"source":"home \"button\"","transition":{"animated":true}})");
    EXPECT_EQ(objectJson(NSString::stringWithUTF8String("text")).text(), R"({"class":"NSString"})");

    // Nesting deeper than any options go is cut off, not followed without end.
    Ref<NSMutableDictionary> deep = NSMutableDictionary::dictionary();
    for (int i = 0; i < 20; ++i) {
        auto outer = NSMutableDictionary::dictionary();
        outer->setObject(deep, "d");
        deep = outer;
    }
    EXPECT_NE(objectJson(deep).text().find("\"NSMutableDictionary\""), std::string::npos);
}

// A trace line is JSON whatever text it carries: controls escaped, text kept as it is, and bytes
// that are not UTF-8 (a stray byte, a cut sequence, an overlong form, a surrogate) read back as the
// replacement character, one for each.
TEST(ObjectJson, StringsAreAlwaysValidJsonText) {
    EXPECT_EQ(Json::string("a\"b\\c\n\x01").text(), R"("a\"b\\c\n\u0001")");
    EXPECT_EQ(Json::string("\xc3\xa9t\xc3\xa9 \xf0\x9f\x8c\x8a").text(),
              "\"\xc3\xa9t\xc3\xa9 \xf0\x9f\x8c\x8a\"");
    EXPECT_EQ(Json::string("x\xffy").text(), R"("x\ufffdy")");
    EXPECT_EQ(Json::string("cut \xe2\x82").text(), R"("cut \ufffd\ufffd")");
    EXPECT_EQ(Json::string("\xc0\xaf").text(), R"("\ufffd\ufffd")");
    EXPECT_EQ(Json::string("\xed\xa0\x80").text(), R"("\ufffd\ufffd\ufffd")");
}
