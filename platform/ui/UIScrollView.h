#pragma once

// A view whose content is larger than itself: the content offset is the bounds' origin, so
// scrolling moves every subview at once without touching their frames. The offset stays between
// the top of the content and its end (never past the last point of content), on the screen's pixel
// grid; the view clips its content to its bounds. One observer (its owner's) hears of every change
// of the offset, after it is made.

#include "platform/ui/UIView.h"

#include <functional>

class UIScrollView : public UIView {
public:
    static Class objcClass();

    UIScrollView();
    CGSize contentSize() const { return m_contentSize; }
    void setContentSize(CGSize size);
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    // The largest vertical offset the content allows.
    double maximumOffsetY() const;
    // Moves the content by dy points (positive: towards its end), kept in range.
    void scrollBy(double dy);
    void setScrollObserver(std::function<void()> observer) { m_scrollObserver = std::move(observer); }

private:
    CGSize m_contentSize{};
    std::function<void()> m_scrollObserver;
};
