#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cmath>

Class UIScrollView::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIScrollView", UIView::objcClass(), &instance_factory<UIScrollView>);
        class_addMethod(
            c, "contentOffset",
            +[](id self, SEL) -> CGPoint { return static_cast<UIScrollView*>(self)->contentOffset(); });
        class_addMethod(
            c, "setContentOffset:", +[](id self, SEL, CGPoint p) {
                static_cast<UIScrollView*>(self)->setContentOffset(p);
            });
        class_addMethod(
            c, "contentSize",
            +[](id self, SEL) -> CGSize { return static_cast<UIScrollView*>(self)->contentSize(); });
        class_addMethod(
            c, "setContentSize:", +[](id self, SEL, CGSize s) {
                static_cast<UIScrollView*>(self)->setContentSize(s);
            });
        return c;
    }();
    return cls;
}

UIScrollView::UIScrollView() {
    layer()->setMasksToBounds(true);
}

void UIScrollView::setContentSize(CGSize size) {
    m_contentSize = size;
    setContentOffset(contentOffset());
}

double UIScrollView::maximumOffsetY() const {
    return std::max(0.0, m_contentSize.height - bounds().size.height);
}

void UIScrollView::setContentOffset(CGPoint offset) {
    double y = std::isfinite(offset.y) ? std::clamp(offset.y, 0.0, maximumOffsetY()) : 0.0;
    double scale = UIScreen::mainScreen()->scale();
    y = std::round(y * scale) / scale;
    CGRect b = bounds();
    if (b.origin.y == y && b.origin.x == 0)
        return;
    b.origin = {0, y};
    setBounds(b);
    // A copy: the observer may replace itself.
    if (std::function<void()> observer = m_scrollObserver)
        observer();
}

void UIScrollView::scrollBy(double dy) {
    setContentOffset({0, contentOffset().y + dy});
}
