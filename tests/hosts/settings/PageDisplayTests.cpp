// What the Settings pages show against what is stored and what the pages asked for: values after
// coming back to a page, colour rows with nothing stored, and large titles. The checks read the
// trace's `state` and the snapshots' pixels (scale 3; the bar ends 88 points down).

#include "tests/hosts/settings/SettingsDevice.h"

#include <gtest/gtest.h>

namespace {

constexpr int scale = 3;
constexpr int barBottom = 88;
constexpr uint32_t purple = 0x8c47d1; // the product's tint, red 0.55, green 0.28, blue 0.82
constexpr uint32_t strike = 0xff3b30; // the line through an empty colour swatch

const JsonValue* rowLabelled(const JsonValue& page, const std::string& label) {
    for (const auto& row : page["rows"].items())
        if (row["label"].string() == label)
            return &row;
    return nullptr;
}

// The points from top to bottom of the screen, across the whole width, as pixel rows.
int countInPoints(const Bitmap& picture, int top, int bottom, uint32_t colour) {
    return countColoured(picture, top * scale, bottom * scale, colour);
}

} // namespace

TEST_F(SettingsTest, APageComingBackShowsWhatWasStoredMeanwhileAndKeepsItsHeader) {
    std::string before = scratch("before.png"), after = scratch("after.png");
    HostTrace trace =
        settings("open Zorvi\nsnapshot " + before +
                 "\nopen Colours\ntoggle enablecustom\nbar-button\nback\nstate\nsnapshot " + after + "\n");
    EXPECT_TRUE(trace.named("error").empty());
    const JsonValue& page = topPage(trace.state(0));
    ASSERT_EQ(page["class"].string(), "ZorviRootListController");
    const JsonValue* custom = rowLabelled(page, "Custom colours");
    ASSERT_TRUE(custom);
    EXPECT_TRUE((*custom)["value"].boolean()) << "the switch shows the value stored on the colour page";
    // The header is the one built when the page first showed, with what the update stacked on it.
    const JsonValue& header = page["headers"][0];
    ASSERT_EQ(header["class"].string(), "headercellorva");
    EXPECT_EQ(header["subviews"].size(), 8u);

    // The "Custom colours" row is the second under the 150-point header: its switch is in the tint
    // once it is on.
    int top = barBottom + 150 + 44, bottom = top + 44;
    auto off = decodePicture(before), on = decodePicture(after);
    ASSERT_TRUE(off && on);
    EXPECT_EQ(countInPoints(*off, top, bottom, purple), 0);
    EXPECT_GT(countInPoints(*on, top, bottom, purple), 500);
}

TEST_F(SettingsTest, AColourRowWithNothingStoredSaysSoInsteadOfShowingItsDefault) {
    // The colour page's rows name "FFFFFFFF" as their default; only line 1 is stored.
    ASSERT_EQ(defaults("write com.vantrel.zorvi line1 -string FFFFFFFF"), "");
    std::string picture = scratch("colours.png");
    HostTrace trace =
        settings("open Zorvi\nopen Colours\nstate\nsnapshot " + picture + "\nset line3 FF00FF00\nstate\n");
    EXPECT_TRUE(trace.named("error").empty());
    const JsonValue& page = topPage(trace.state(0));
    EXPECT_EQ((*rowLabelled(page, "Line 1"))["value"].string(), "FFFFFFFF");
    EXPECT_TRUE((*rowLabelled(page, "Line 3"))["value"].isNull()) << "nothing stored, nothing shown";
    EXPECT_EQ((*rowLabelled(topPage(trace.state(1)), "Line 3"))["value"].string(), "FF00FF00")
        << "and the row still takes a colour";

    // Rows of 44 points under a titled group, a switch, a footer and another titled group.
    int line1 = barBottom + 38 + 44 + 32 + 38, line3 = line1 + 2 * 44;
    auto shown = decodePicture(picture);
    ASSERT_TRUE(shown);
    EXPECT_EQ(countInPoints(*shown, line1, line1 + 44, strike), 0) << "a stored white is a white swatch";
    EXPECT_GT(countInPoints(*shown, line3, line3 + 44, strike), 50) << "no colour: the empty swatch";
}

TEST_F(SettingsTest, TheFirstPageHasALargeTitleAndTheProductsPagesKeepThemOff) {
    std::string first = scratch("first.png"), product = scratch("product.png");
    HostTrace trace = settings("state\nsnapshot " + first + "\nopen Zorvi\nstate\nsnapshot " + product +
                               "\nopen Colours\nstate\nback\nback\nstate\n");
    EXPECT_TRUE(trace.named("error").empty());
    EXPECT_EQ(topPage(trace.state(0))["largeTitle"].string(), "Settings");
    EXPECT_TRUE(topPage(trace.state(1))["largeTitle"].isNull()) << "the root page answers: never";
    EXPECT_TRUE(topPage(trace.state(2))["largeTitle"].isNull()) << "not a bundle's first page";
    EXPECT_EQ(topPage(trace.state(3))["largeTitle"].string(), "Settings") << "back on the first page";

    auto settingsPage = decodePicture(first), productPage = decodePicture(product);
    ASSERT_TRUE(settingsPage && productPage);
    // The first page: the big black title under the bar, reaching into the 22 points that would
    // otherwise be the empty gap before the first group; none in the bar itself.
    EXPECT_GT(countInPoints(*settingsPage, barBottom, barBottom + 22, 0x000000), 300);
    EXPECT_EQ(countInPoints(*settingsPage, 44, barBottom, 0x000000), 0);
    // The product's page: its small white title in the middle of the purple bar.
    EXPECT_GT(countColoured(*productPage, 44 * scale, barBottom * scale, 0xffffff, 140 * scale, 235 * scale),
              100);
}
