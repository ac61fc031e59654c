#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CPBitmap.h"
#include "runtime/Weak.h"
#include "tests/support/SamePixels.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

void putLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// A file laid out by hand (not by the encoder), so that the decoder is checked against the
// layout itself: planes at multiples of the padded plane size, rows padded to rowPixels.
std::vector<uint8_t> handMadeFile(bool legacy, uint32_t width, uint32_t height, uint32_t format,
                                  uint32_t count, uint32_t colourSpaceBytes, uint32_t infoBytes,
                                  uint8_t (*byteAt)(uint32_t image, uint32_t x, uint32_t y, int component)) {
    uint32_t rowPixels = (width + (legacy ? 7 : 15)) / (legacy ? 8 : 16) * (legacy ? 8 : 16);
    size_t plane = size_t{rowPixels} * 4 * height;
    size_t padded = (plane + 4095) / 4096 * 4096;
    std::vector<uint8_t> file((count - 1) * padded + plane, 0xEE); // padding must be ignored
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                for (int c = 0; c < 4; ++c)
                    file[i * padded + (size_t{y} * rowPixels + x) * 4 + c] = byteAt(i, x, y, c);
    file.insert(file.end(), (legacy ? 0 : colourSpaceBytes) + infoBytes, 'p');
    if (!legacy)
        putLE32(file, colourSpaceBytes);
    putLE32(file, infoBytes);
    putLE32(file, width);
    putLE32(file, height);
    putLE32(file, format);
    putLE32(file, count);
    putLE32(file, legacy ? CPBitmap::legacyMagic : CPBitmap::magic);
    return file;
}

uint8_t pattern(uint32_t image, uint32_t x, uint32_t y, int component) {
    // B, G, R, then alpha (or the unused byte): distinct per position and image.
    return component == 3 ? 200 : static_cast<uint8_t>(image * 50 + x * 7 + y * 3 + component);
}

Bitmap gradient(int width, int height, uint8_t alpha) {
    auto bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(
                x, y,
                premultiplied_pixel(static_cast<uint8_t>(x * 9), static_cast<uint8_t>(y * 5), 77, alpha));
    return bitmap;
}

} // namespace

TEST(CPBitmap, ReadsBothTrailerFormsWithTheirRowPaddingAndPlaneAlignment) {
    for (bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "older trailer" : "current trailer");
        // Width 21: rows of 24 pixels (older) or 32 (current); two images, so the second plane
        // starts at the 4096-byte boundary; property lists in between must be skipped.
        auto file = handMadeFile(legacy, 21, 40, 0, 2, 10, 33, pattern);
        std::string error;
        auto images = CPBitmap::decode(file, &error);
        ASSERT_TRUE(images) << error;
        ASSERT_EQ(images->size(), 2u);
        for (uint32_t i = 0; i < 2; ++i) {
            const Bitmap& image = (*images)[i];
            ASSERT_EQ(image.width(), 21);
            ASSERT_EQ(image.height(), 40);
            for (uint32_t y : {0u, 17u, 39u})
                for (uint32_t x : {0u, 5u, 20u}) {
                    uint32_t expected = 0xFF000000u | uint32_t{pattern(i, x, y, 2)} << 16 |
                                        uint32_t{pattern(i, x, y, 1)} << 8 | pattern(i, x, y, 0);
                    EXPECT_EQ(image.pixel(static_cast<int>(x), static_cast<int>(y)), expected)
                        << "image " << i << " at " << x << "," << y << ": format 0 is opaque B, G, R";
                }
        }
    }
}

TEST(CPBitmap, FormatOneKeepsPremultipliedAlphaAndClampsComponentsAboveIt) {
    auto file = handMadeFile(false, 2, 1, 1, 1, 0, 0, [](uint32_t, uint32_t x, uint32_t, int c) -> uint8_t {
        static const uint8_t pixels[2][4] = {{10, 20, 30, 128}, {250, 5, 5, 100}}; // second: blue > alpha
        return pixels[x][c];
    });
    auto images = CPBitmap::decode(file);
    ASSERT_TRUE(images);
    EXPECT_EQ((*images)[0].pixel(0, 0), 0x801E140Au);
    EXPECT_EQ((*images)[0].pixel(1, 0), 0x64050564u) << "a component above its alpha is clamped to it";
}

TEST(CPBitmap, EncoderRoundTripsOpaqueAndTranslucentImages) {
    for (uint8_t alpha : {uint8_t{255}, uint8_t{90}}) {
        std::vector<Bitmap> images{gradient(19, 7, alpha), gradient(19, 7, alpha)};
        images[1].setPixel(3, 3, 0);
        auto file = CPBitmap::encode(images);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(file[file.size() - 12], 1) << "format 1, since the second image has a transparent pixel";
        auto decoded = CPBitmap::decode(file);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->size(), 2u);
        EXPECT_TRUE(samePixels((*decoded)[0], images[0]));
        EXPECT_TRUE(samePixels((*decoded)[1], images[1]));
    }
    Bitmap opaque = gradient(33, 5, 255);
    auto file = CPBitmap::encode(std::span<const Bitmap>(&opaque, 1));
    EXPECT_EQ(file.size(), 48u * 4 * 5 + CPBitmap::trailerBytes)
        << "rows of 48 pixels, no padding after the last plane";
    EXPECT_EQ(file[file.size() - 12], 0) << "format 0 for an opaque image";
    auto decoded = CPBitmap::decode(file);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(samePixels(decoded->front(), opaque));
}

TEST(CPBitmap, RefusesHostileAndDamagedFiles) {
    auto good = handMadeFile(false, 5, 3, 0, 1, 0, 0, pattern);
    ASSERT_TRUE(CPBitmap::decode(good));
    auto withTrailer = [](std::vector<uint32_t> fields, size_t pixelBytes) {
        std::vector<uint8_t> file(pixelBytes, 0);
        for (uint32_t field : fields)
            putLE32(file, field);
        return file;
    };
    const uint32_t m = CPBitmap::magic;
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"empty", {}},
        {"shorter than a trailer", std::vector<uint8_t>(good.end() - 20, good.end())},
        {"one byte short", std::vector<uint8_t>(good.begin() + 1, good.end())},
        {"one byte over",
         [&] {
             auto f = good;
             f.insert(f.begin(), 0);
             return f;
         }()},
        {"unknown magic", withTrailer({0, 0, 5, 3, 0, 1, 0x12345678}, 64 * 3)},
        {"format 2", withTrailer({0, 0, 5, 3, 2, 1, m}, 64 * 3)},
        {"zero width", withTrailer({0, 0, 0, 3, 0, 1, m}, 0)},
        {"zero images", withTrailer({0, 0, 5, 3, 0, 0, m}, 0)},
        {"absurd size", withTrailer({0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 1, m}, 64)},
        {"absurd image count", withTrailer({0, 0, 16, 16, 0, 0xFFFFFFFF, m}, 64)},
        {"list lengths that would wrap", withTrailer({0xFFFFFFFF, 0xFFFFFFFF, 5, 3, 0, 1, m}, 64 * 3)},
        {"a size within bounds that needs far more bytes", withTrailer({0, 0, 16384, 4096, 1, 1, m}, 4096)},
        {"older magic with the current trailer's fields",
         withTrailer({0, 0, 5, 3, 0, 1, CPBitmap::legacyMagic}, 32 * 3)},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(CPBitmap::decode(c.file, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what << ": a refusal says why";
    }
}

TEST(CPBitmap, AnUnchangedFileIsDecodedOnceAndSharedWhileHeld) {
    TempDevice device;
    const std::string path = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
    std::filesystem::create_directories(device.host("/var/mobile/Library/SpringBoard"));
    std::string error;
    auto writeWallpaper = [&](uint8_t alpha) {
        std::vector<Bitmap> images;
        images.push_back(gradient(20, 30, alpha));
        ASSERT_TRUE(AtomicFile::write(device.host(path), CPBitmap::encode(images), error)) << error;
    };
    auto firstImage = [&] {
        Ref<NSArray> images =
            CPBitmapCreateImagesFromData(NSData::dataWithContentsOfFile(path), nullptr, 1, nullptr);
        return images ? Ref<CGImage>(objc_cast<CGImage>(images->objectAtIndex(0))) : Ref<CGImage>();
    };
    writeWallpaper(255);
    Ref<CGImage> first = firstImage();
    ASSERT_TRUE(first);
    EXPECT_EQ(firstImage().get(), first.get()) << "the same unchanged file: one decoded copy";

    writeWallpaper(128);
    Ref<CGImage> changed = firstImage();
    ASSERT_TRUE(changed);
    EXPECT_NE(changed.get(), first.get()) << "a changed file is decoded again";
    EXPECT_TRUE(samePixels(changed->bitmap(), gradient(20, 30, 128)));

    Weak<CGImage> unheld(changed.get());
    changed = nullptr;
    EXPECT_FALSE(unheld.load()) << "the cache alone keeps no image alive";
    EXPECT_TRUE(firstImage()) << "and decodes it again once nobody holds it";

    auto bytes = NSData::dataWithContentsOfFile(path);
    Ref<NSArray> fromBytes = CPBitmapCreateImagesFromData(
        NSData::dataWithBytes({bytes->bytes().begin(), bytes->bytes().end()}), nullptr, 1, nullptr);
    ASSERT_TRUE(fromBytes);
    EXPECT_NE(fromBytes->objectAtIndex(0), static_cast<NSObject*>(first.get()))
        << "bytes of no known file are decoded as they are";
}
