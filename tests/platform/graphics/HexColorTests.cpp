#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/UIColor+Hex.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Components as bytes (alpha scaled the same way), so that expectations read like the strings.
struct Bytes {
    int a, r, g, b;
    bool operator==(const Bytes&) const = default;
};

std::optional<Bytes> parsed(std::string_view text) {
    auto color = parseHexColor(text);
    if (!color)
        return std::nullopt;
    auto byte = [](double v) { return static_cast<int>(std::lround(v * 255)); };
    return Bytes{byte(color->alpha), byte(color->red), byte(color->green), byte(color->blue)};
}

} // namespace

TEST(HexColor, ReadsThePickersForms) {
    struct Case {
        const char* text;
        Bytes expected;
    } cases[] = {
        {"FFFF0000", {255, 255, 0, 0}}, // the picker's stored form: alpha first
        {"80336699", {128, 0x33, 0x66, 0x99}},
        {"#00ff7f", {255, 0, 255, 127}},
        {"00Ff7F", {255, 0, 255, 127}},
        {"f0a", {255, 255, 0, 170}},
        {"8f0a", {136, 255, 0, 170}},
        {"##12#34#56", {255, 0x12, 0x34, 0x56}}, // every '#' goes
        {" #123456\n", {255, 0x12, 0x34, 0x56}},
        {"FF0000:0.5", {128, 255, 0, 0}}, // a ":ALPHA" suffix replaces the alpha
        {"80FF0000:1", {255, 255, 0, 0}},
        {"#0F0:.25", {64, 0, 255, 0}},
        {"0F0:0", {0, 0, 255, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parsed(c.text), c.expected) << c.text;
}

TEST(HexColor, MalformedTextNamesNoColour) {
    for (const char* text : {"",
                             "#",
                             "   ",
                             "12",
                             "12345",
                             "1234567",
                             "123456789",
                             "GG0000",
                             "FF 0000",
                             "0x123456",
                             "FF0000:",
                             "FF0000:1.5",
                             "FF0000:-0.1",
                             "FF0000:+1",
                             "FF0000:1e-1",
                             "FF0000:0.5:0.5",
                             "FF0000:.",
                             "FF0000:0..5",
                             ":0.5",
                             "FF0000:0.5x",
                             "\xC3\xA9\xC3\xA9\xC3\xA9"})
        EXPECT_FALSE(parseHexColor(text)) << '"' << text << '"';
}

TEST(HexColor, ColorFromHexStringTakesOnlyStrings) {
    EXPECT_EQ(colorFromHexString(nullptr), nullptr);
    EXPECT_EQ(colorFromHexString(NSNumber::numberWithLongLong(0xFF0000)), nullptr)
        << "a number is not a hex string";
    EXPECT_EQ(colorFromHexString(NSString::stringWithUTF8String("nope")), nullptr);
    auto red = colorFromHexString(NSString::stringWithUTF8String("FFFF0000"));
    ASSERT_TRUE(red);
    EXPECT_EQ(red->cgColor(), (CGColor{1, 0, 0, 1}));
}
