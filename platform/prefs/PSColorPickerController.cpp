#include "platform/prefs/PSColorPickerController.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/UIColor+Hex.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

constexpr double fieldHeight = 240;
constexpr double pickerMargin = 16;
constexpr size_t longestHex = 9; // "AARRGGBB" and a little slack for a leading '#'

CGColor hsv(double hue, double saturation, double value) {
    double h = std::fmod(std::max(hue, 0.0), 1.0) * 6;
    int sector = static_cast<int>(h);
    double f = h - sector;
    double p = value * (1 - saturation), q = value * (1 - saturation * f),
           t = value * (1 - saturation * (1 - f));
    switch (sector) {
    case 0:
        return {value, t, p, 1};
    case 1:
        return {q, value, p, 1};
    case 2:
        return {p, value, t, 1};
    case 3:
        return {p, q, value, 1};
    case 4:
        return {t, p, value, 1};
    default:
        return {value, p, q, 1};
    }
}

// The field as an image, one pixel a point at the screen's scale.
Ref<UIImage> fieldImage(CGSize size) {
    double scale = UIScreen::mainScreen()->scale();
    int width = std::max(1, static_cast<int>(size.width * scale)),
        height = std::max(1, static_cast<int>(size.height * scale));
    auto bitmap = Bitmap::create(width, height);
    if (!bitmap)
        return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            CGColor c = PSColorPickerController::colourInField({x / scale, y / scale}, size);
            bitmap->setPixel(x, y,
                             premultiplied_pixel(static_cast<uint8_t>(std::lround(c.red * 255)),
                                                 static_cast<uint8_t>(std::lround(c.green * 255)),
                                                 static_cast<uint8_t>(std::lround(c.blue * 255)), 255));
        }
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(*bitmap)), scale);
}

} // namespace

Class PSColorPickerController::objcClass() {
    static Class const cls = objc_defineClass("PSColorPickerController", UIViewController::objcClass(),
                                              &instance_factory<PSColorPickerController>);
    return cls;
}

CGColor PSColorPickerController::colourInField(CGPoint point, CGSize field) {
    double hue = field.width > 0 ? std::clamp(point.x / field.width, 0.0, 0.999) : 0;
    double value = field.height > 0 ? 1 - std::clamp(point.y / field.height, 0.0, 1.0) : 1;
    return hsv(hue, 1, value);
}

std::string PSColorPickerController::hexString(const UIColor* colour) {
    auto byte = [](double component) {
        return static_cast<unsigned>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
    };
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", byte(colour->alpha()), byte(colour->red()),
                  byte(colour->green()), byte(colour->blue()));
    return text;
}

Ref<PSColorPickerController> PSColorPickerController::pickerFor(PSListController* owner, PSSpecifier* row) {
    Ref<PSColorPickerController> picker = make_object<PSColorPickerController>();
    picker->m_owner = owner;
    picker->m_row = row;
    picker->setTitle(row->name());
    picker->build();
    return picker;
}

void PSColorPickerController::build() {
    UIView* page = view();
    double width = UIScreen::mainScreen()->bounds().size.width;
    page->setBackgroundColor(UIColor::colorWithRed(0.95, 0.95, 0.97, 1).get());
    CGSize fieldSize{width - 2 * pickerMargin, fieldHeight};
    Ref<UIImageView> field = UIImageView::imageViewWithImage(fieldImage(fieldSize).get());
    field->setFrame(CGRectMake(pickerMargin, pickerMargin, fieldSize.width, fieldSize.height));
    m_field = field;
    page->addSubview(field);
    m_swatch = makeViewWithFrame<UIView>(CGRectMake(pickerMargin, pickerMargin * 2 + fieldHeight, 60, 44));
    page->addSubview(m_swatch);
    m_hex = UILabel::labelWithFrame(
        CGRectMake(pickerMargin + 76, pickerMargin * 2 + fieldHeight, width - 2 * pickerMargin - 76, 44), "",
        "DejaVu Sans Mono 20px");
    page->addSubview(m_hex);
    page->addSubview(UILabel::labelWithFrame(
        CGRectMake(pickerMargin, pickerMargin * 3 + fieldHeight + 44, width - 2 * pickerMargin, 20),
        "Tap a colour, or type its hex value and Return.", "DejaVu Sans 13px", CGColor{0.43, 0.43, 0.45, 1}));
    showValue();
}

void PSColorPickerController::showValue() {
    Ref<PSListController> owner = m_owner.load();
    Ref<NSObject> value = owner ? owner->valueForRow(m_row) : nullptr;
    Ref<UIColor> colour = colorFromHexString(value);
    m_swatch->setBackgroundColor(colour.get());
    std::string shown = colour ? hexString(colour) : "Not set";
    m_hex->setText(m_typed.empty() ? shown : m_typed + "_");
}

void PSColorPickerController::choose(UIColor* colour) {
    Ref<PSListController> owner = m_owner.load();
    if (!colour || !owner)
        return;
    owner->storeValue(m_row, NSString::stringWithUTF8String(hexString(colour)));
    m_typed.clear();
    showValue();
}

bool PSColorPickerController::tapped(CGPoint point) {
    CGRect frame = m_field->frame();
    if (point.x < CGRectGetMinX(frame) || point.x >= CGRectGetMaxX(frame) || point.y < CGRectGetMinY(frame) ||
        point.y >= CGRectGetMaxY(frame))
        return false;
    CGColor c = colourInField({point.x - frame.origin.x, point.y - frame.origin.y}, frame.size);
    choose(UIColor::colorWithRed(c.red, c.green, c.blue, 1).get());
    return true;
}

bool PSColorPickerController::typed(char character) {
    if (character == '\r' || character == '\n') {
        Ref<UIColor> colour = colorFromHexString(NSString::stringWithUTF8String(m_typed));
        if (!colour)
            return false;
        choose(colour);
        return true;
    }
    if (character == '\b') {
        if (!m_typed.empty())
            m_typed.pop_back();
    } else if (std::isxdigit(static_cast<unsigned char>(character)) && m_typed.size() < longestHex) {
        m_typed.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(character))));
    } else {
        return false;
    }
    showValue();
    return true;
}
