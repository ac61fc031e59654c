// zorvi wallpaper's work: importing a PNG or JPEG as the device's wallpaper, writing it back out as
// PNG, and its average colour (the colour blended waves take).

#include "colour/AverageColor.h"
#include "colour/LockBackground.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/graphics/ImageImport.h"
#include "platform/graphics/PNGEncoder.h"
#include "platform/graphics/UIImage.h"
#include "tools/Commands.h"
#include "tools/DrawingCommands.h"
#include "tools/drawing/DefaultWallpaper.h"

#include <cmath>
#include <cstdio>

namespace {

// The wallpaper's first image, or nullopt after printing why not.
std::optional<Bitmap> readWallpaper() {
    Ref<NSData> data = NSData::dataWithContentsOfFile(lockBackgroundPath, lockBackgroundMaxBytes);
    if (!data) {
        std::fprintf(stderr, "zorvi wallpaper: %s is missing or unreadable\n", lockBackgroundPath);
        return std::nullopt;
    }
    std::string error;
    auto images = CPBitmap::decode(data->bytes(), &error);
    if (!images) {
        std::fprintf(stderr, "zorvi wallpaper: %s cannot be decoded: %s\n", lockBackgroundPath,
                     error.c_str());
        return std::nullopt;
    }
    return std::move(images->front());
}

} // namespace

int zv_setWallpaper(const CLI::App& command, const std::string& root, const std::string& imagePath) {
    if (!selectDevice(root, command))
        return 1;
    std::string error;
    std::vector<uint8_t> bytes;
    std::optional<Bitmap> image;
    switch (AtomicFile::read(imagePath, ImageImport::maxFileBytes, bytes, error)) {
    case AtomicFile::ReadStatus::Missing:
        error = imagePath + ": no such file";
        break;
    case AtomicFile::ReadStatus::Failed:
        error = imagePath + ": " + error;
        break;
    case AtomicFile::ReadStatus::Read:
        if (!(image = ImageImport::decode(bytes, &error)))
            error = imagePath + ": " + error;
        break;
    }
    if (!image || !installWallpaper(*image, error)) {
        std::fprintf(stderr, "zorvi wallpaper: %s\n", error.c_str());
        return 1;
    }
    std::printf("wallpaper set from %s (%dx%d pixels)\n", imagePath.c_str(), image->width(), image->height());
    return 0;
}

int zv_exportWallpaper(const CLI::App& command, const std::string& root, const std::string& outPath) {
    if (!selectDevice(root, command))
        return 1;
    auto image = readWallpaper();
    if (!image)
        return 1;
    std::string error;
    if (!writePNGFile(*image, outPath, &error)) {
        std::fprintf(stderr, "zorvi wallpaper: %s\n", error.c_str());
        return 1;
    }
    std::printf("wallpaper written to %s (%dx%d pixels)\n", outPath.c_str(), image->width(), image->height());
    return 0;
}

int zv_averageWallpaper(const CLI::App& command, const std::string& root) {
    if (!selectDevice(root, command))
        return 1;
    auto image = readWallpaper();
    if (!image)
        return 1;
    Ref<UIColor> color = averageColor(UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(*image))));
    auto byte = [](double component) { return static_cast<unsigned>(std::lround(component * 255)); };
    std::printf("#%02X%02X%02X red %.4f green %.4f blue %.4f alpha %.1f\n", byte(color->red()),
                byte(color->green()), byte(color->blue()), color->red(), color->green(), color->blue(),
                color->alpha());
    return 0;
}
