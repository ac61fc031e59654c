#include "colour/AverageColor.h"
#include "colour/WaveColors.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"
#include "runtime/Weak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace {

Ref<UIImage> imageOf(int width, int height, const std::function<uint32_t(int, int)>& pixelAt) {
    auto bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y, pixelAt(x, y));
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(bitmap)));
}

Ref<UIImage> uniform(uint32_t argb) {
    return imageOf(31, 17, [argb](int, int) { return argb; });
}

// What the colour routine makes of one context byte: single-precision division, then widened.
double component(int byte) {
    return static_cast<double>(static_cast<float>(byte) / 255.0f);
}

// Sources that count how often the rule asks them.
struct Sources {
    Ref<UIImage> image;
    std::map<std::string, Ref<NSObject>, std::less<>> values;
    int imageRequests = 0;
    std::vector<std::string> keysAsked;

    WallpaperSource wallpaper() {
        return [this] {
            ++imageRequests;
            return image;
        };
    }
    CustomColorSource custom() {
        return [this](std::string_view key) -> Ref<NSObject> {
            keysAsked.emplace_back(key);
            auto found = values.find(key);
            return found == values.end() ? nullptr : found->second;
        };
    }
};

struct Colours {
    Ref<UIColor> color, color2, color3;
};

Colours resolve(bool blend, bool custom, Sources& sources, Colours previous = {}) {
    resolveWaveColors(blend, custom, sources.wallpaper(), sources.custom(), previous.color, previous.color2,
                      previous.color3);
    return previous;
}

} // namespace

TEST(AverageColor, UniformImagesGiveTheirOwnBytesAndAlphaIsAlwaysOne) {
    for (uint32_t argb : {0xFF336699u, 0xFF000000u, 0xFFFFFFFFu, 0xFF01FE80u}) {
        auto color = averageColor(uniform(argb));
        ASSERT_TRUE(color);
        EXPECT_EQ(color->red(), component((argb >> 16) & 0xFF)) << std::hex << argb;
        EXPECT_EQ(color->green(), component((argb >> 8) & 0xFF));
        EXPECT_EQ(color->blue(), component(argb & 0xFF));
        EXPECT_EQ(color->alpha(), 1.0);
    }
    auto translucent = averageColor(uniform(0x40201008)); // premultiplied, a quarter opaque
    ASSERT_TRUE(translucent);
    EXPECT_EQ(translucent->alpha(), 1.0) << "opaque whatever the image's transparency";
    EXPECT_EQ(translucent->red(), component(0x20)) << "translucent parts count as if over black";
    EXPECT_EQ(averageColor(nullptr), nullptr);
}

TEST(AverageColor, IsTheExactMeanOfAScreenSizedImage) {
    // Odd sizes and varied pixels exercise the block sums and the leftover pixels alike.
    const int width = 1171, height = 253;
    auto pixel = [](int x, int y) -> uint32_t {
        uint32_t v = static_cast<uint32_t>(x * 2654435761u ^ y * 40503u);
        return 0xFF000000u | (v & 0x00FFFFFF);
    };
    uint64_t sums[3] = {0, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                sums[c] += (pixel(x, y) >> (16 - 8 * c)) & 0xFF;
    auto color = averageColor(imageOf(width, height, pixel));
    ASSERT_TRUE(color);
    const double count = double(width) * height;
    EXPECT_EQ(color->red(), component(static_cast<int>(std::lround(sums[0] / count))));
    EXPECT_EQ(color->green(), component(static_cast<int>(std::lround(sums[1] / count))));
    EXPECT_EQ(color->blue(), component(static_cast<int>(std::lround(sums[2] / count))));
}

TEST(AverageColor, AnswersThroughTheRuntimeAsACategoryMethod) {
    auto image = uniform(0xFF204060);
    Ref<UIColor> viaSend = objc_cast<UIColor>(msg_send<id>(image.get(), "averageColor"));
    ASSERT_TRUE(viaSend);
    image = nullptr; // the answer must outlive the image once retained
    EXPECT_EQ(viaSend->cgColor(), (CGColor{component(0x20), component(0x40), component(0x60), 1.0}));

    // Not retained, the answer goes with the pass: the image does not keep it.
    auto kept = uniform(0xFF102030);
    Weak<UIColor> answer;
    {
        AutoreleasePool pool;
        answer = objc_cast<UIColor>(msg_send<id>(kept.get(), "averageColor"));
        EXPECT_TRUE(answer.load());
    }
    EXPECT_FALSE(answer.load());
}

TEST(WaveColors, BlendWinsOverCustomAndSharesOneHueAtThreeOpacities) {
    Sources sources;
    sources.image = uniform(0x80402010); // translucent, to show color keeps alpha 1.0
    sources.values["line1"] = NSString::stringWithUTF8String("FFFF0000");
    auto colours = resolve(true, true, sources);
    EXPECT_EQ(sources.imageRequests, 1);
    EXPECT_TRUE(sources.keysAsked.empty()) << "custom values are not read while blending";
    ASSERT_TRUE(colours.color && colours.color2 && colours.color3);
    EXPECT_EQ(colours.color->red(), component(0x40)) << "the wallpaper's colour, not line1's red";
    EXPECT_EQ(colours.color->alpha(), 1.0);
    for (auto [derived, alpha] : {std::pair{colours.color2, 0.8}, std::pair{colours.color3, 0.6}}) {
        EXPECT_EQ(derived->red(), colours.color->red());
        EXPECT_EQ(derived->green(), colours.color->green());
        EXPECT_EQ(derived->blue(), colours.color->blue());
        EXPECT_EQ(derived->alpha(), alpha);
    }
}

TEST(WaveColors, BlendingWithNoWallpaperLeavesNoColoursWhateverElseIsOn) {
    for (bool custom : {false, true}) {
        SCOPED_TRACE(custom ? "custom colours on too" : "custom colours off");
        Sources sources; // no wallpaper image
        sources.values["line1"] = NSString::stringWithUTF8String("FFFF0000");
        Colours previous{UIColor::whiteColor(), UIColor::whiteColor(), UIColor::whiteColor()};
        auto colours = resolve(true, custom, sources, previous);
        EXPECT_EQ(sources.imageRequests, 1);
        EXPECT_TRUE(sources.keysAsked.empty()) << "no fall back to the custom colours";
        EXPECT_EQ(colours.color, nullptr) << "the earlier colours are replaced, not kept";
        EXPECT_EQ(colours.color2, nullptr);
        EXPECT_EQ(colours.color3, nullptr);
    }
}

TEST(WaveColors, CustomColoursReadEachKeyInOrderAndAbsentOrWronglyTypedValuesGiveNoColour) {
    Sources sources;
    sources.values["line1"] = NSString::stringWithUTF8String("FFFF0000");
    sources.values["line3"] = NSString::stringWithUTF8String("#0000FF:0.5");
    auto colours = resolve(false, true, sources);
    EXPECT_EQ(sources.imageRequests, 0) << "the wallpaper is loaded only for blending";
    EXPECT_EQ(sources.keysAsked, (std::vector<std::string>{"line1", "line2", "line3"}));
    ASSERT_TRUE(colours.color && colours.color3);
    EXPECT_EQ(colours.color->cgColor(), (CGColor{1, 0, 0, 1}));
    EXPECT_EQ(colours.color2, nullptr) << "no line2: no colour";
    EXPECT_EQ(colours.color3->cgColor(), (CGColor{0, 0, 1, 0.5}));

    sources.values["line2"] = NSNumber::numberWithLongLong(0xFF00FF00);
    sources.values["line3"] = NSString::stringWithUTF8String("not a colour");
    colours = resolve(false, true, sources);
    EXPECT_TRUE(colours.color);
    EXPECT_EQ(colours.color2, nullptr) << "a number under a colour key reads as absent";
    EXPECT_EQ(colours.color3, nullptr);
}

TEST(WaveColors, BothSwitchesOffGiveWhiteWithoutReadingAnything) {
    Sources sources;
    sources.image = uniform(0xFF123456);
    sources.values["line1"] = NSString::stringWithUTF8String("FFFF0000");
    auto colours = resolve(false, false, sources);
    EXPECT_EQ(sources.imageRequests, 0);
    EXPECT_TRUE(sources.keysAsked.empty());
    for (const auto& color : {colours.color, colours.color2, colours.color3}) {
        ASSERT_TRUE(color);
        EXPECT_EQ(color->cgColor(), (CGColor{1, 1, 1, 1}));
    }
}
