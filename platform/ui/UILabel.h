#pragma once

// A view that shows one line of text in a font and colour, placed inside its bounds by its
// alignment and centred vertically. The text is drawn at the main screen's scale when it changes,
// not at every frame.

#include "platform/ui/UIView.h"

#include <string>

enum class NSTextAlignment { Left, Center, Right };

class UILabel : public UIView {
public:
    static Class objcClass();
    static Ref<UILabel> labelWithFrame(CGRect frame, const std::string& text, const std::string& font,
                                       CGColor colour = CGColor{0, 0, 0, 1});

    UILabel();

    const std::string& text() const { return m_text; }
    void setText(const std::string& text);
    const std::string& font() const { return m_font; }
    void setFont(const std::string& font);
    CGColor textColor() const { return m_colour; }
    void setTextColor(CGColor colour);
    NSTextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(NSTextAlignment alignment);
    // The drawn text's size in points (zero for no text).
    CGSize textSize() const;
    // Places the text in the bounds; the layout pass calls it after a change of size.
    void placeText();

private:
    void redraw();

    std::string m_text;
    std::string m_font = "DejaVu Sans 17px";
    CGColor m_colour{0, 0, 0, 1};
    NSTextAlignment m_alignment = NSTextAlignment::Left;
    Ref<CALayer> m_textLayer;
};
