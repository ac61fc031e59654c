#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

PropertyList::ParseResult parseText(const std::string& text) {
    return PropertyList::parse({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::string stringAt(NSObject* dictionary, const char* key) {
    auto* d = objc_cast<NSDictionary>(dictionary);
    const std::string* text = d ? string_value(d->objectForKey(key)) : nullptr;
    return text ? *text : "<absent>";
}

} // namespace

TEST(OpenStepParser, FilterFormsTweakAuthorsWriteAllReadAlike) {
    const char* forms[] = {
        R"({ Filter = { Bundles = ( "com.apple.springboard" ); }; })",
        R"({Filter={Bundles=(com.apple.springboard);};})",
        "// loader filter\n{\n  Filter = {\n    /* only the lock screen */\n    Bundles = ( "
        "'com.apple.springboard', );\n  }\n}\n",
        "\xEF\xBB\xBF{ Filter = { Bundles = (\"com.apple.springboard\") } }",
    };
    for (const char* form : forms) {
        auto result = parseText(form);
        ASSERT_TRUE(result.value) << form << ": " << result.error;
        auto* filter =
            objc_cast<NSDictionary>(objc_cast<NSDictionary>(result.value.get())->objectForKey("Filter"));
        ASSERT_TRUE(filter) << form;
        auto* bundles = objc_cast<NSArray>(filter->objectForKey("Bundles"));
        ASSERT_TRUE(bundles) << form;
        ASSERT_EQ(bundles->count(), 1u) << form;
        EXPECT_EQ(*string_value(bundles->objectAtIndex(0)), "com.apple.springboard") << form;
    }
}

TEST(OpenStepParser, EscapesDataAndBarePairs) {
    auto result = parseText(R"({ s = "a\n\"b\\\101\U00e9\ud83d\ude00"; d = <0fBD 77>; e = (); k = "x;y"; })");
    ASSERT_TRUE(result.value) << result.error;
    EXPECT_EQ(stringAt(result.value, "s"), "a\n\"b\\A\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(stringAt(result.value, "k"), "x;y");
    auto* root = objc_cast<NSDictionary>(result.value.get());
    auto* data = objc_cast<NSData>(root->objectForKey("d"));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->isEqualToData(NSData::dataWithBytes({0x0f, 0xbd, 0x77})));
    EXPECT_EQ(objc_cast<NSArray>(root->objectForKey("e"))->count(), 0u);

    // A strings file: pairs without braces.
    auto pairs = parseText("title = \"Zorvi\";\nversion = 1.0;\n");
    ASSERT_TRUE(pairs.value) << pairs.error;
    EXPECT_EQ(stringAt(pairs.value, "title"), "Zorvi");
    EXPECT_EQ(stringAt(pairs.value, "version"), "1.0");
}

TEST(OpenStepParser, MalformedTextIsRejectedWithTheLine) {
    const char* broken[] = {
        "",
        " \n// only a comment\n",
        "{ a = \"open; }",
        "{ a = b; /* open",
        "{ a b; }",
        "{ a = ; }",
        "( a b )",
        "<0fb>",
        "<0fzz>",
        "{ a = b; } extra",
        "{ a = b c; }",
        "( a, ",
        "{ = b; }",
        "{ a = (b; }",
    };
    for (const char* text : broken) {
        auto result = parseText(text);
        EXPECT_FALSE(result.value) << text;
        EXPECT_FALSE(result.error.empty()) << text;
    }
    EXPECT_NE(parseText("{\n  a = ;\n}").error.find("line 2"), std::string::npos);
}

TEST(OpenStepParser, NestingIsBounded) {
    auto nested = [](int levels) { return std::string(levels, '(') + "x" + std::string(levels, ')'); };
    EXPECT_TRUE(parseText(nested(PropertyList::maxDepth)).value);
    auto tooDeep = parseText(nested(PropertyList::maxDepth + 1));
    EXPECT_FALSE(tooDeep.value);
    EXPECT_NE(tooDeep.error.find("nested deeper"), std::string::npos);
    // Far beyond the bound must not exhaust the stack either.
    EXPECT_FALSE(parseText(std::string(200000, '{')).value);
}
