#include "tools/drawing/DefaultWallpaper.h"
#include "colour/LockBackground.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/graphics/CPBitmap.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb {
    double red, green, blue;
};

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t};
}

uint8_t channel(double value) {
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

} // namespace

std::optional<Bitmap> makeDefaultWallpaper(int pixelWidth, int pixelHeight) {
    if (pixelWidth <= 0 || pixelHeight <= 0 || static_cast<uint32_t>(pixelWidth) > CPBitmap::maxSide ||
        static_cast<uint32_t>(pixelHeight) > CPBitmap::maxSide)
        return std::nullopt;
    auto bitmap = Bitmap::create(pixelWidth, pixelHeight, CPBitmap::maxDecodedBytes);
    if (!bitmap)
        return std::nullopt;
    // Four corners blended across the screen (violet, coral, azure, amber) with a soft light low in
    // the middle, where the waves run.
    const Rgb topLeft{0.23, 0.11, 0.44}, topRight{0.84, 0.43, 0.47};
    const Rgb bottomLeft{0.12, 0.64, 1.00}, bottomRight{1.00, 0.69, 0.48};
    const double glowX = 0.5, glowY = 0.78, glowRadius = 0.45;
    for (int y = 0; y < pixelHeight; ++y) {
        double v = pixelHeight > 1 ? static_cast<double>(y) / (pixelHeight - 1) : 0.5;
        Rgb left = mix(topLeft, bottomLeft, v), right = mix(topRight, bottomRight, v);
        uint32_t* row = bitmap->row(y);
        for (int x = 0; x < pixelWidth; ++x) {
            double u = pixelWidth > 1 ? static_cast<double>(x) / (pixelWidth - 1) : 0.5;
            Rgb c = mix(left, right, u);
            double distance =
                std::hypot(u - glowX, (v - glowY) * pixelHeight / std::max(pixelWidth, 1) * 0.5);
            double glow = std::max(0.0, 1 - distance / glowRadius);
            c = mix(c, {1, 1, 1}, 0.35 * glow * glow);
            row[x] = 0xFF000000u | (uint32_t{channel(c.red)} << 16) | (uint32_t{channel(c.green)} << 8) |
                     channel(c.blue);
        }
    }
    return bitmap;
}

bool installWallpaper(const Bitmap& image, std::string& error) {
    std::vector<uint8_t> file = CPBitmap::encode(std::span<const Bitmap>(&image, 1));
    if (file.empty()) {
        error = "the image is too large for a wallpaper (at most " + std::to_string(CPBitmap::maxSide) +
                " pixels a side)";
        return false;
    }
    return DeviceFile::write(lockBackgroundPath, file, error);
}

bool installDefaultWallpaper(int pixelWidth, int pixelHeight) {
    auto image = makeDefaultWallpaper(pixelWidth, pixelHeight);
    std::string error;
    return image && installWallpaper(*image, error);
}
