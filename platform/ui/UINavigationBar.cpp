#include "platform/ui/UINavigationBar.h"

namespace {

constexpr double sideMargin = 8;
constexpr double largeTitleMargin = 16;

CGColor colourOr(const UIColor* colour, CGColor fallback) {
    return colour ? colour->cgColor() : fallback;
}

} // namespace

Class UINavigationBar::objcClass() {
    static Class const cls =
        objc_defineClass("UINavigationBar", UIView::objcClass(), &instance_factory<UINavigationBar>);
    return cls;
}

Ref<UINavigationBar> UINavigationBar::barWithWidth(double width, double statusHeight) {
    Ref<UINavigationBar> bar =
        makeViewWithFrame<UINavigationBar>(CGRectMake(0, 0, width, statusHeight + barHeight));
    bar->m_statusHeight = statusHeight;
    bar->m_clock =
        UILabel::labelWithFrame(CGRectMake(0, 0, width, statusHeight), "9:41", "DejaVu Sans Bold 15px");
    bar->m_clock->setTextAlignment(NSTextAlignment::Center);
    bar->m_title =
        UILabel::labelWithFrame(CGRectMake(0, statusHeight, width, barHeight), "", "DejaVu Sans Bold 17px");
    bar->m_title->setTextAlignment(NSTextAlignment::Center);
    bar->m_back = UILabel::labelWithFrame(CGRectMake(sideMargin, statusHeight, width / 3, barHeight), "",
                                          "DejaVu Sans 17px");
    bar->m_right = UILabel::labelWithFrame(
        CGRectMake(width * 2 / 3 - sideMargin, statusHeight, width / 3, barHeight), "", "DejaVu Sans 17px");
    bar->m_right->setTextAlignment(NSTextAlignment::Right);
    bar->m_hairline = makeViewWithFrame<UIView>(CGRectMake(0, statusHeight + barHeight - 0.5, width, 0.5));
    for (UIView* part : {static_cast<UIView*>(bar->m_clock.get()), static_cast<UIView*>(bar->m_title.get()),
                         static_cast<UIView*>(bar->m_back.get()), static_cast<UIView*>(bar->m_right.get()),
                         bar->m_hairline.get()})
        bar->addSubview(part);
    bar->m_largeTitle = makeViewWithFrame<UIView>(CGRectMake(0, 0, width, largeTitleHeight));
    bar->m_largeTitleText = UILabel::labelWithFrame(
        CGRectMake(largeTitleMargin, 0, width - 2 * largeTitleMargin, largeTitleHeight), "",
        "DejaVu Sans Bold 34px");
    bar->m_largeTitle->addSubview(bar->m_largeTitleText);
    bar->recolour();
    return bar;
}

void UINavigationBar::setBarTintColor(UIColor* colour) {
    m_barTint = colour;
    recolour();
}
void UINavigationBar::setTintColor(UIColor* colour) {
    m_tint = colour;
    recolour();
}
void UINavigationBar::setTitleColor(UIColor* colour) {
    m_titleColour = colour;
    recolour();
}
void UINavigationBar::setStatusBarColor(UIColor* colour) {
    m_statusColour = colour;
    recolour();
}
void UINavigationBar::setTranslucent(std::optional<bool> translucent) {
    m_translucent = translucent;
    recolour();
}

void UINavigationBar::resetAppearance() {
    m_barTint = m_tint = m_titleColour = m_statusColour = nullptr;
    m_translucent.reset();
    recolour();
}

void UINavigationBar::show(const std::string& title, std::optional<std::string> backTitle,
                           UIBarButtonItem* right) {
    m_titleText = title;
    m_title->setText(title);
    m_largeTitleText->setText(title);
    m_hasBack = backTitle.has_value();
    m_back->setText(m_hasBack ? "\u2039 " + (backTitle->empty() ? std::string("Back") : *backTitle)
                              : std::string());
    m_rightItem = right;
    m_right->setText(right ? right->title() : std::string());
    recolour();
}

UINavigationBar::Part UINavigationBar::partAt(CGPoint point) const {
    if (point.y < m_statusHeight || point.y >= m_statusHeight + barHeight)
        return Part::None;
    double width = bounds().size.width;
    if (m_hasBack && point.x < width / 3)
        return Part::Back;
    if (m_rightItem && point.x >= width * 2 / 3)
        return Part::Right;
    return Part::None;
}

void UINavigationBar::setLargeTitleInSight(bool inSight) {
    m_title->setHidden(inSight);
    m_hairline->setHidden(inSight);
}

void UINavigationBar::recolour() {
    // A translucent bar lets a little of the page show through, as the device's frosted bar does.
    double alpha = m_translucent.value_or(true) ? 0.94 : 1.0;
    CGColor colour = colourOr(m_barTint.get(), CGColor{0.97, 0.97, 0.97, 1});
    setBackgroundColor(
        UIColor::colorWithRed(colour.red, colour.green, colour.blue, colour.alpha * alpha).get());
    // The large title lies over the page: the bar's colour, without the frosting.
    m_largeTitle->setBackgroundColor(
        UIColor::colorWithRed(colour.red, colour.green, colour.blue, colour.alpha).get());
    CGColor blue{0.0, 0.48, 1.0, 1};
    CGColor tint = colourOr(m_tint.get(), blue);
    m_back->setTextColor(tint);
    UIColor* rightTint = m_rightItem ? m_rightItem->tintColor() : nullptr;
    m_right->setTextColor(colourOr(rightTint, tint));
    CGColor titleColour = colourOr(m_titleColour.get(), CGColor{0, 0, 0, 1});
    m_title->setTextColor(titleColour);
    m_largeTitleText->setTextColor(titleColour);
    m_clock->setTextColor(colourOr(m_statusColour.get(), CGColor{0, 0, 0, 1}));
    m_hairline->setBackgroundColor(UIColor::colorWithWhite(0, 0.2).get());
}
