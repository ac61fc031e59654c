#include "platform/foundation/NSData.h"
#include "platform/graphics/ImageImport.h"
#include "platform/graphics/PNGEncoder.h"
#include "platform/graphics/UIImage.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <fstream>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

Bitmap sample(int width, int height, uint8_t alpha) {
    auto bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y,
                            premultiplied_pixel(static_cast<uint8_t>(x * 11), static_cast<uint8_t>(y * 13),
                                                static_cast<uint8_t>(x ^ y), alpha));
    return bitmap;
}

void collect(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

void putBE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

TEST(ImageFiles, PNGRoundTripKeepsOpaquePixelsExactly) {
    Bitmap original = sample(23, 17, 255);
    auto png = encodePNG(original);
    ASSERT_GT(png.size(), 8u);
    std::string error;
    auto decoded = ImageImport::decode(png, &error);
    ASSERT_TRUE(decoded) << error;
    ASSERT_EQ(decoded->width(), 23);
    ASSERT_EQ(decoded->height(), 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            ASSERT_EQ(decoded->pixel(x, y), original.pixel(x, y)) << x << "," << y;
}

TEST(ImageFiles, ImportsJPEG) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16 * 16; ++i)
        rgb.insert(rgb.end(), {200, 40, 90});
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(collect, &jpeg, 16, 16, 3, rgb.data(), 95));
    auto decoded = ImageImport::decode(jpeg);
    ASSERT_TRUE(decoded);
    uint32_t p = decoded->pixel(8, 8);
    EXPECT_EQ(p >> 24, 0xFFu) << "a JPEG is opaque";
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 200, 4);
    EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 40, 4);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 90, 4);
}

TEST(ImageFiles, RefusesGarbageAndHugeClaimsBeforeDecoding) {
    std::string error;
    EXPECT_FALSE(ImageImport::decode({}, &error));
    const uint8_t garbage[] = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3};
    EXPECT_FALSE(ImageImport::decode(garbage, &error));
    EXPECT_FALSE(error.empty());
    // A PNG signature and a header claiming 60000 x 60000 pixels, and nothing else.
    std::vector<uint8_t> claim = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putBE32(claim, 13);
    claim.insert(claim.end(), {'I', 'H', 'D', 'R'});
    putBE32(claim, 60000);
    putBE32(claim, 60000);
    claim.insert(claim.end(), {8, 6, 0, 0, 0});
    putBE32(claim, 0);
    EXPECT_FALSE(ImageImport::decode(claim, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    // A real PNG cut short is damaged, not a crash.
    auto png = encodePNG(sample(40, 40, 255));
    png.resize(png.size() / 2);
    EXPECT_FALSE(ImageImport::decode(png, &error));
}

TEST(ImageFiles, ImagesFromDeviceFilesAndPNGOut) {
    TempDevice device;
    Bitmap original = sample(6, 4, 255);
    std::string error;
    ASSERT_TRUE(writePNGFile(original, device.host("/icon@2x.png"), &error)) << error;
    auto image = UIImage::imageWithContentsOfFile("/icon@2x.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2) << "the @2x name gives the scale";
    EXPECT_EQ(image->size(), (CGSize{3, 2}));
    EXPECT_EQ(UIImage::imageWithContentsOfFile("/missing.png"), nullptr);
    auto data = UIImagePNGRepresentation(image);
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->isEqualToData(NSData::dataWithBytes(encodePNG(original))));
    EXPECT_FALSE(writePNGFile(original, device.host("/icon@2x.png/out.png"), &error))
        << "a file is in the way";
    EXPECT_FALSE(error.empty());
}
