#include "colour/AverageColor.h"
#include "colour/LockBackground.h"
#include "colour/WaveColors.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/graphics/ImageImport.h"
#include "platform/graphics/PNGEncoder.h"
#include "tests/support/SamePixels.h"
#include "tests/support/TempDevice.h"
#include "tools/drawing/DefaultWallpaper.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace {

// Collects the device log lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        DeviceLog::setObserver([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~LogCapture() { DeviceLog::setObserver(nullptr); }
    std::vector<std::string> lines;
};

void writeWallpaperBytes(const TempDevice& device, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(device.host("/var/mobile/Library/SpringBoard"));
    std::ofstream(device.host(lockBackgroundPath), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bitmap photo(int width, int height) {
    auto bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y,
                            premultiplied_pixel(static_cast<uint8_t>(x * 3), static_cast<uint8_t>(y * 2),
                                                static_cast<uint8_t>((x + y) * 5), 255));
    return bitmap;
}

} // namespace

TEST(Wallpaper, ImportExportRoundTripKeepsEveryPixel) {
    TempDevice device;
    Bitmap original = photo(75, 61);
    // Import: a PNG file as the user hands it over, installed as the device's wallpaper.
    auto imported = ImageImport::decode(encodePNG(original));
    ASSERT_TRUE(imported);
    std::string error;
    ASSERT_TRUE(installWallpaper(*imported, error)) << error;
    // The product's loader sees it...
    Ref<UIImage> loaded = loadLockBackgroundImage();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->scale(), 1);
    EXPECT_TRUE(samePixels(loaded->cgImage()->bitmap(), original));
    // ...and exporting writes the same pixels back out as PNG.
    ASSERT_TRUE(writePNGFile(loaded->cgImage()->bitmap(), device.host("/exported.png"), &error)) << error;
    std::ifstream file(device.host("/exported.png"), std::ios::binary);
    std::vector<uint8_t> png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto exported = ImageImport::decode(png);
    ASSERT_TRUE(exported);
    EXPECT_TRUE(samePixels(*exported, original));
}

TEST(Wallpaper, MissingOrDamagedFilesGiveNoImageAndOneLogLine) {
    TempDevice device;
    Bitmap good = photo(20, 10);
    auto file = CPBitmap::encode(std::span<const Bitmap>(&good, 1));
    std::vector<uint8_t> truncated(file.begin(), file.end() - 1);
    std::vector<uint8_t> hugeClaim(64, 0);
    for (uint32_t field : {0u, 0u, 16384u, 16384u, 0u, 16u, CPBitmap::magic})
        for (int shift = 0; shift < 32; shift += 8)
            hugeClaim.push_back(static_cast<uint8_t>(field >> shift));

    struct Case {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"missing", [] {}},
        {"truncated", [&] { writeWallpaperBytes(device, truncated); }},
        {"garbage",
         [&] {
             writeWallpaperBytes(device, {'h', 'e', 'l', 'l', 'o'});
         }},
        {"a trailer claiming a huge picture", [&] { writeWallpaperBytes(device, hugeClaim); }},
        {"a folder in its place",
         [&] { std::filesystem::create_directories(device.host(lockBackgroundPath)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(device.host(lockBackgroundPath));
        c.prepare();
        LogCapture log;
        Ref<UIColor> color = UIColor::whiteColor(), color2, color3;
        resolveWaveColors(true, false, loadLockBackgroundImage, nullptr, color, color2, color3);
        EXPECT_EQ(color, nullptr);
        EXPECT_EQ(color2, nullptr);
        EXPECT_EQ(color3, nullptr);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_NE(log.lines[0].find(lockBackgroundPath), std::string::npos) << log.lines[0];
    }
}

TEST(Wallpaper, DefaultWallpaperIsAScreenSizedColourfulGradient) {
    TempDevice device;
    ASSERT_TRUE(installDefaultWallpaper(1170, 2532));
    Ref<UIImage> image = loadLockBackgroundImage();
    ASSERT_TRUE(image);
    const Bitmap& pixels = image->cgImage()->bitmap();
    EXPECT_EQ(pixels.width(), 1170);
    EXPECT_EQ(pixels.height(), 2532);
    std::set<uint32_t> corners{pixels.pixel(0, 0), pixels.pixel(1169, 0), pixels.pixel(0, 2531),
                               pixels.pixel(1169, 2531)};
    EXPECT_EQ(corners.size(), 4u) << "not a flat colour";
    for (uint32_t p : corners) {
        EXPECT_EQ(p >> 24, 0xFFu) << "opaque";
        int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        EXPECT_GT(std::max({r, g, b}) - std::min({r, g, b}), 60) << "colourful, not grey: " << std::hex << p;
    }
    EXPECT_FALSE(installDefaultWallpaper(0, 100));
    EXPECT_FALSE(installDefaultWallpaper(100, 100000));
}

TEST(Wallpaper, SettingsBundleReadsCustomValuesStraightFromTheFile) {
    TempDevice device;
    EXPECT_EQ(customColorValueFromFile("line1"), nullptr) << "no file reads as empty";
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSString::stringWithUTF8String("FF00FF00"), "line1");
    values->setObject(NSNumber::numberWithBool(true), "line3");
    ASSERT_TRUE(PropertyList::writeDictionary("/User/Library/Preferences/com.vantrel.zorvi.plist", values));
    Ref<UIColor> color, color2, color3;
    resolveWaveColors(false, true, nullptr, customColorValueFromFile, color, color2, color3);
    ASSERT_TRUE(color);
    EXPECT_EQ(color->cgColor(), (CGColor{0, 1, 0, 1}));
    EXPECT_EQ(color2, nullptr);
    EXPECT_EQ(color3, nullptr) << "a boolean under line3 is no colour";
}
