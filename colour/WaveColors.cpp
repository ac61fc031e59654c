#include "colour/WaveColors.h"
#include "colour/AverageColor.h"
#include "platform/graphics/UIColor+Hex.h"

void resolveWaveColors(bool enableblend, bool enablecustom, const WallpaperSource& wallpaper,
                       const CustomColorSource& customValue, Ref<UIColor>& color, Ref<UIColor>& color2,
                       Ref<UIColor>& color3) {
    if (enableblend) {
        Ref<UIImage> image = wallpaper ? wallpaper() : nullptr;
        color = averageColor(image);
        color2 = color ? color->colorWithAlphaComponent(0.8) : nullptr;
        color3 = color ? color->colorWithAlphaComponent(0.6) : nullptr;
    } else if (enablecustom) {
        auto custom = [&customValue](std::string_view key) -> Ref<UIColor> {
            return customValue ? colorFromHexString(customValue(key)) : nullptr;
        };
        color = custom("line1");
        color2 = custom("line2");
        color3 = custom("line3");
    } else {
        color = UIColor::whiteColor();
        color2 = UIColor::whiteColor();
        color3 = UIColor::whiteColor();
    }
}
