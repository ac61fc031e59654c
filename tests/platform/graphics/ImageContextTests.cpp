#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

Ref<UIImage> imageOf(int width, int height, uint32_t (*pixelAt)(int x, int y), double scale = 1) {
    auto bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y, pixelAt(x, y));
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(bitmap)), scale);
}

Ref<UIImage> uniform(uint32_t argb) {
    static uint32_t colour;
    colour = argb;
    return imageOf(37, 23, [](int, int) { return colour; });
}

// The current context's pixel at x, y as the bytes in memory.
std::array<int, 4> bytesAt(int x, int y) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    const uint8_t* p = data + y * CGBitmapContextGetBytesPerRow(context) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

struct ContextScope {
    explicit ContextScope(CGSize size) { UIGraphicsBeginImageContext(size); }
    ~ContextScope() { UIGraphicsEndImageContext(); }
};

} // namespace

TEST(ImageContext, OnePixelHoldsRedGreenBlueAlphaPremultiplied) {
    {
        ContextScope scope({1, 1});
        uniform(0xFF336699)->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeCopy, 1);
        EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{0x33, 0x66, 0x99, 0xFF}))
            << "bytes 0 to 2 are red, green, blue";
    }
    {
        // Premultiplied: a half-transparent white image reads as mid grey with half alpha.
        ContextScope scope({1, 1});
        uniform(0x80808080)->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeCopy, 1);
        EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{128, 128, 128, 128}));
    }
}

TEST(ImageContext, AreaAverageScalesDownAndUpAndCoversPartialPixels) {
    ContextScope scope({3, 2});
    // A 4x4 image into the left 2x2 pixels: each takes the mean of its 2x2 quadrant.
    imageOf(4, 4, [](int x, int y) -> uint32_t {
        return 0xFF000000u | static_cast<uint32_t>((x / 2) * 200 + (y / 2) * 40 + (x % 2) * 2 + (y % 2) * 4);
    })->drawInRect(CGRectMake(0, 0, 2, 2), kCGBlendModeCopy, 1);
    EXPECT_EQ(bytesAt(0, 0)[2], 3);
    EXPECT_EQ(bytesAt(1, 0)[2], 203);
    EXPECT_EQ(bytesAt(0, 1)[2], 43);
    EXPECT_EQ(bytesAt(1, 1)[2], 243);
    // An opaque white pixel over the right half of pixel (2, 0): half covered.
    uniform(0xFFFFFFFF)->drawInRect(CGRectMake(2.5, 0, 0.5, 1), kCGBlendModeCopy, 1);
    EXPECT_EQ(bytesAt(2, 0), (std::array<int, 4>{128, 128, 128, 128}));
    EXPECT_EQ(bytesAt(2, 1), (std::array<int, 4>{0, 0, 0, 0})) << "outside the rectangle nothing changes";
}

TEST(ImageContext, BlendModesAndAlpha) {
    ContextScope scope({1, 1});
    uniform(0xFF0000FF)->drawInRect(CGRectMake(0, 0, 1, 1)); // opaque blue
    uniform(0xFFFF0000)->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeNormal, 0.5);
    EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{128, 0, 128, 255}))
        << "half red over blue (127.5 rounds up)";
    uniform(0xFFFF0000)->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeCopy, 0.5);
    EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{128, 0, 0, 128})) << "copy replaces, alpha included";
    uniform(0xFFFFFFFF)->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeClear, 1);
    EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{0, 0, 0, 0}));
}

TEST(ImageContext, NoInterpolationTakesThePixelUnderTheCentre) {
    ContextScope scope({1, 1});
    CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
    imageOf(3, 3, [](int x, int y) {
        return x == 1 && y == 1 ? 0xFF00FF00u : 0xFF000000u;
    })->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeCopy, 1);
    EXPECT_EQ(bytesAt(0, 0), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST(ImageContext, ContextsStackPerThreadAndBadSizesKeepBeginAndEndPaired) {
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    UIGraphicsEndImageContext(); // nothing open: nothing happens
    ASSERT_TRUE(UIGraphicsBeginImageContext({2.2, 1}));
    CGContextRef outer = UIGraphicsGetCurrentContext();
    EXPECT_EQ(CGBitmapContextGetWidth(outer), 3u) << "fractional sizes round up";
    for (CGSize bad : {CGSize{0, 1}, CGSize{-4, 4}, CGSize{1e9, 1}, CGSize{NAN, 1}}) {
        EXPECT_FALSE(UIGraphicsBeginImageContext(bad));
        EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
        EXPECT_EQ(CGBitmapContextGetData(nullptr), nullptr);
        CGContextSetInterpolationQuality(nullptr, kCGInterpolationHigh);
        uniform(0xFFFFFFFF)->drawInRect(CGRectMake(0, 0, 1, 1)); // into no context: nothing
        UIGraphicsEndImageContext();
        EXPECT_EQ(UIGraphicsGetCurrentContext(), outer)
            << "the outer context is current again and still valid";
    }
    uniform(0xFF102030)->drawInRect(CGRectMake(0, 0, 3, 1), kCGBlendModeCopy, 1);
    Ref<UIImage> snapshot = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->cgImage()->bitmap().pixel(2, 0), 0xFF102030u)
        << "the snapshot is back in image layout";
    // Drawing rectangles that are empty, inverted or not finite does nothing harmful.
    ContextScope scope({2, 2});
    for (CGRect odd : {CGRectMake(0, 0, 0, 5), CGRectMake(2, 2, -2, -2), CGRectMake(NAN, 0, 1, 1),
                       CGRectMake(-1e300, 0, 1e300, 1e300)})
        uniform(0xFFFFFFFF)->drawInRect(odd, kCGBlendModeCopy, 1);
    EXPECT_EQ(bytesAt(0, 0)[3], 255) << "an inverted rectangle is the same area";
}
