#include "hosts/settings/SettingsAlert.h"
#include "platform/ui/UILabel.h"

#include <algorithm>

namespace {

constexpr double boxWidth = 270;
constexpr double boxHeight = 150;

Ref<UILabel> centredLabel(CGRect frame, const std::string& text, const std::string& font, CGColor colour) {
    Ref<UILabel> label = UILabel::labelWithFrame(frame, text, font, colour);
    label->setTextAlignment(NSTextAlignment::Center);
    return label;
}

} // namespace

void SettingsAlert::show(UIView* screen, const std::string& title, const std::string& message) {
    dismiss();
    CGRect bounds = screen->bounds();
    m_view = makeViewWithFrame<UIView>(bounds);
    m_view->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 0.4).get());
    double width = std::min(boxWidth, bounds.size.width - 20);
    Ref<UIView> box = makeViewWithFrame<UIView>(
        CGRectMake((bounds.size.width - width) / 2, (bounds.size.height - boxHeight) / 2, width, boxHeight));
    box->setBackgroundColor(UIColor::colorWithRed(0.97, 0.97, 0.97, 1).get());
    box->addSubview(
        centredLabel(CGRectMake(12, 16, width - 24, 24), title, "DejaVu Sans Bold 17px", {0, 0, 0, 1}));
    // Labels draw one line each: the message is given in lines.
    double top = 50;
    for (size_t start = 0; start <= message.size() && top < boxHeight - 50; top += 18) {
        size_t end = std::min(message.find('\n', start), message.size());
        box->addSubview(centredLabel(CGRectMake(12, top, width - 24, 18), message.substr(start, end - start),
                                     "DejaVu Sans 13px", {0.2, 0.2, 0.2, 1}));
        start = end + 1;
    }
    box->addSubview(centredLabel(CGRectMake(12, boxHeight - 40, width - 24, 28), "OK", "DejaVu Sans 17px",
                                 {0, 0.48, 1, 1}));
    m_view->addSubview(box);
    screen->addSubview(m_view);
    m_title = title;
    m_message = message;
}

bool SettingsAlert::dismiss() {
    if (!m_view)
        return false;
    m_view->removeFromSuperview();
    m_view = nullptr;
    m_title.clear();
    m_message.clear();
    return true;
}
