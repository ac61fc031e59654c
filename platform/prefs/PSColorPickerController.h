#pragma once

// The editor of a colour row: a field of hues (across) and brightness (down) to tap, a swatch of the
// chosen colour and its hex value, which can also be typed (hex digits, then Return; Backspace
// deletes). Each choice is stored at once, as AARRGGBB, through the page that owns the row.

#include "platform/prefs/PSListController.h"
#include "platform/ui/UILabel.h"

class PSColorPickerController : public UIViewController {
public:
    static Class objcClass();
    static Ref<PSColorPickerController> pickerFor(PSListController* owner, PSSpecifier* row);

    // The colour at a point of the field (its own coordinates), at full saturation and opacity.
    static CGColor colourInField(CGPoint point, CGSize field);
    // A colour as stored: "AARRGGBB", upper case.
    static std::string hexString(const UIColor* colour);

    bool tapped(CGPoint point) override;
    bool typed(char character) override;
    // Stores the colour and shows it.
    void choose(UIColor* colour);
    const std::string& typedHex() const { return m_typed; }

private:
    void build();
    void showValue();

    Weak<PSListController> m_owner;
    Ref<PSSpecifier> m_row;
    Ref<UIView> m_field;
    Ref<UIView> m_swatch;
    Ref<UILabel> m_hex;
    std::string m_typed;
};
