// zorvi wallpaper: puts a PNG or JPEG on the device as its lock-screen wallpaper, writes the
// wallpaper back out as PNG, or prints its average colour (the colour blended waves take).

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
#include "tools/CommandLine.h"
#include "tools/DefaultWallpaper.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* name = "wallpaper";
constexpr const char* usageText = "usage: wallpaper [--root DIR] set IMAGE | export OUT.png | average";

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

int set(const std::string& imagePath) {
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

int exportTo(const std::string& outPath) {
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

int average() {
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

} // namespace

int commandWallpaper(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root"}, {}, error);
    if (!line)
        return commandLineError(name, error);
    const auto& words = line->positional();
    bool known = (words.size() == 2 && (words[0] == "set" || words[0] == "export")) ||
                 (words.size() == 1 && words[0] == "average");
    if (!known)
        return commandLineError(name, usageText);
    if (!selectDevice(*line, name, true))
        return 1;
    if (words[0] == "set")
        return set(words[1]);
    if (words[0] == "export")
        return exportTo(words[1]);
    return average();
}
