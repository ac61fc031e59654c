#include "platform/ui/UILabel.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIScreen.h"
#include "runtime/Associations.h"

#include <cmath>

namespace {

UILabel* asLabel(id self) {
    return static_cast<UILabel*>(self);
}

} // namespace

Class UILabel::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UILabel", UIView::objcClass(), &instance_factory<UILabel>);
        class_addMethod(
            c, "text", +[](id self, SEL) -> id {
                // The label keeps the string it answers until the text changes again.
                static const char key = 0;
                Ref<NSString> text = NSString::stringWithUTF8String(asLabel(self)->text());
                objc_setAssociatedObject(self, &key, text, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return text.get();
            });
        class_addMethod(
            c, "setText:", +[](id self, SEL, id text) {
                const std::string* value = string_value(text);
                asLabel(self)->setText(value ? *value : std::string());
            });
        class_addMethod(
            c, "setTextColor:", +[](id self, SEL, id colour) {
                if (auto* c = objc_cast<UIColor>(colour))
                    asLabel(self)->setTextColor(c->cgColor());
            });
        class_addMethod(
            c, "layoutSubviews", +[](id self, SEL) { asLabel(self)->placeText(); });
        return c;
    }();
    return cls;
}

Ref<UILabel> UILabel::labelWithFrame(CGRect frame, const std::string& text, const std::string& font,
                                     CGColor colour) {
    Ref<UILabel> label = makeViewWithFrame<UILabel>(frame);
    label->m_font = font;
    label->m_colour = colour;
    label->setText(text);
    return label;
}

UILabel::UILabel() : m_textLayer(CALayer::layer()) {
    layer()->addSublayer(m_textLayer);
}

void UILabel::setText(const std::string& text) {
    if (text == m_text && m_textLayer->contents())
        return;
    m_text = text;
    redraw();
}

void UILabel::setFont(const std::string& font) {
    if (font == m_font)
        return;
    m_font = font;
    redraw();
}

void UILabel::setTextColor(CGColor colour) {
    if (colour == m_colour)
        return;
    m_colour = colour;
    redraw();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    m_alignment = alignment;
    placeText();
}

CGSize UILabel::textSize() const {
    CGImage* image = m_textLayer->contents();
    double scale = UIScreen::mainScreen()->scale();
    if (!image)
        return {};
    return {image->width() / scale, image->height() / scale};
}

void UILabel::redraw() {
    m_textLayer->setContents(textImage(m_text, m_font, UIScreen::mainScreen()->scale(), m_colour).get());
    placeText();
}

void UILabel::placeText() {
    CGSize size = textSize();
    CGRect b = bounds();
    double x = m_alignment == NSTextAlignment::Left     ? 0
               : m_alignment == NSTextAlignment::Center ? (b.size.width - size.width) / 2
                                                        : b.size.width - size.width;
    // Whole points keep the text on the pixel grid, where it is copied rather than resampled.
    m_textLayer->setFrame(CGRectMake(b.origin.x + std::round(x),
                                     b.origin.y + std::round((b.size.height - size.height) / 2), size.width,
                                     size.height));
}
