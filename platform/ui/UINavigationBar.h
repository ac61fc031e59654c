#pragma once

// The bar at the top of a navigation controller's view, reaching up under the status bar: the
// status bar's clock, the top page's title in the middle, a back button at the left when there is
// a page to go back to, and the top page's right bar button item. Its colours are the platform's
// until a page sets them (nil restores the default).
//
// Large titles: the bar also keeps the top page's title in large type, in a view of its own that
// the page puts at the top of its content so that it scrolls away with it. While that view is in
// sight, the bar shows no small title and no hairline, as if the bar went on down to it.

#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIView.h"

#include <optional>
#include <string>

class UINavigationBar : public UIView {
public:
    static Class objcClass();
    // A bar for a screen of the given width; the status bar is statusHeight points high.
    static Ref<UINavigationBar> barWithWidth(double width, double statusHeight);
    static constexpr double barHeight = 44;
    static constexpr double largeTitleHeight = 52;

    enum class Part { None, Back, Right };

    // --- look (nil / nullopt: the platform's default) ---
    void setBarTintColor(UIColor* colour);
    void setTintColor(UIColor* colour);
    void setTitleColor(UIColor* colour);
    void setStatusBarColor(UIColor* colour);
    void setTranslucent(std::optional<bool> translucent);
    void resetAppearance();

    // --- the status bar's clock ("9:41" until set) ---
    void setStatusTime(const std::string& text) { m_clock->setText(text); }
    const std::string& statusTime() const { return m_clock->text(); }

    // --- content ---
    // backTitle: nullopt when there is nothing to go back to.
    void show(const std::string& title, std::optional<std::string> backTitle, UIBarButtonItem* right);
    const std::string& title() const { return m_titleText; }
    UIBarButtonItem* rightItem() const { return m_rightItem.get(); }
    // What lies under a point of the bar's own coordinates.
    Part partAt(CGPoint point) const;
    // The views that show the back button and the right item (a person taps them as buttons).
    UIView* backButtonView() const { return m_back.get(); }
    UIView* rightButtonView() const { return m_right.get(); }

    // --- large titles ---
    bool prefersLargeTitles() const { return m_prefersLargeTitles; }
    void setPrefersLargeTitles(bool prefers) { m_prefersLargeTitles = prefers; }
    // The title in large type, the bar's width and largeTitleHeight points high, in the bar's colours.
    UIView* largeTitleView() const { return m_largeTitle.get(); }
    // Whether the small title (and the hairline) give way to a large title in sight.
    void setLargeTitleInSight(bool inSight);
    bool isSmallTitleShown() const { return !m_title->isHidden(); }

private:
    void layoutContent();
    void recolour();

    double m_statusHeight = 0;
    Ref<UIColor> m_barTint, m_tint, m_titleColour, m_statusColour;
    std::optional<bool> m_translucent;
    bool m_prefersLargeTitles = false;
    std::string m_titleText;
    bool m_hasBack = false;
    Ref<UIBarButtonItem> m_rightItem;
    Ref<UILabel> m_clock, m_title, m_back, m_right;
    Ref<UIView> m_hairline;
    Ref<UIView> m_largeTitle;
    Ref<UILabel> m_largeTitleText;
};
