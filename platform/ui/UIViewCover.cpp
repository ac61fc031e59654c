// What a view can be known to hide: the opaque rectangles views paint by themselves, and whether
// those above a view cover all of it.

#include "platform/graphics/Region.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIView.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

std::optional<CGRect> intersection(const CGRect& a, const CGRect& b) {
    double left = std::max(CGRectGetMinX(a), CGRectGetMinX(b));
    double top = std::max(CGRectGetMinY(a), CGRectGetMinY(b));
    double right = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b));
    double bottom = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
    if (!(right > left) || !(bottom > top))
        return std::nullopt;
    return CGRectMake(left, top, right - left, bottom - top);
}

// Whole points only: what may show grows outward, what covers shrinks inward, so rounding never
// hides anything that shows.
constexpr double limit = 1 << 28;

IntRect outward(const CGRect& r, CGPoint by) {
    double left = std::floor(CGRectGetMinX(r) + by.x), top = std::floor(CGRectGetMinY(r) + by.y);
    double right = std::ceil(CGRectGetMaxX(r) + by.x), bottom = std::ceil(CGRectGetMaxY(r) + by.y);
    if (!(left > -limit && top > -limit && right < limit && bottom < limit))
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

IntRect inward(const CGRect& r, CGPoint by) {
    double left = std::ceil(CGRectGetMinX(r) + by.x), top = std::ceil(CGRectGetMinY(r) + by.y);
    double right = std::floor(CGRectGetMaxX(r) + by.x), bottom = std::floor(CGRectGetMaxY(r) + by.y);
    if (!(right > left && bottom > top && left > -limit && top > -limit && right < limit && bottom < limit))
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

// The area a mask lets through opaquely, in its layer's coordinates; nullopt when it is anything but
// an opaque-filled rectangle.
std::optional<CGRect> maskRectangle(const CALayer* mask) {
    auto* shape = objc_cast<CAShapeLayer>(const_cast<CALayer*>(mask));
    if (!shape || mask->isHidden() || mask->opacity() != 1 || !mask->sublayers().empty() || !shape->path() ||
        !shape->fillColor() || shape->fillColor()->alpha() != 1)
        return std::nullopt;
    auto rect = shape->path()->rectangle();
    if (!rect)
        return std::nullopt;
    CGRect frame = mask->frame(), bounds = mask->bounds();
    CGRect inLayer =
        CGRectMake(rect->origin.x + frame.origin.x - bounds.origin.x,
                   rect->origin.y + frame.origin.y - bounds.origin.y, rect->size.width, rect->size.height);
    // The mask's own bounds clip nothing, but nothing lies outside its path.
    return inLayer;
}

} // namespace

void UIView::addOwnOpaqueRects(std::vector<CGRect>& rects) const {
    UIColor* background = layer()->backgroundColor();
    if (background && background->alpha() == 1)
        rects.push_back(bounds());
}

std::vector<CGRect> UIView::opaqueRects() const {
    std::vector<CGRect> rects;
    if (isHidden() || alpha() != 1)
        return rects;
    addOwnOpaqueRects(rects);
    std::optional<CGRect> limitTo;
    if (layer()->masksToBounds())
        limitTo = bounds();
    if (CALayer* mask = layer()->mask()) {
        auto through = maskRectangle(mask);
        if (!through)
            return {};
        limitTo = limitTo ? intersection(*limitTo, *through) : through;
        if (!limitTo)
            return {};
    }
    if (limitTo) {
        std::vector<CGRect> cut;
        for (const CGRect& rect : rects)
            if (auto part = intersection(rect, *limitTo))
                cut.push_back(*part);
        rects = std::move(cut);
    }
    return rects;
}

uint64_t UIView::s_modelFrameChanges = 0;

void UIView::setModelFrame(std::optional<CGRect> frame) {
    m_modelFrame = frame;
    ++s_modelFrameChanges;
}

bool UIView::isCoveredFromSight() const {
    uint64_t arrangement = CALayer::arrangementChangesOfAllLayers();
    if (m_coverAnswer && m_coverAnswer->arrangement == arrangement &&
        m_coverAnswer->modelFrames == s_modelFrameChanges)
        return m_coverAnswer->covered;
    bool covered = coveredFromSightNow();
    m_coverAnswer = CoverAnswer{arrangement, s_modelFrameChanges, covered};
    return covered;
}

bool UIView::coveredFromSightNow() const {
    if (!layer()->masksToBounds())
        return false;
    CGPoint origin = originInRoot();
    Region showing(outward(bounds(), origin));
    IntRect stillShowing = showing.bounds();
    // Going up, each level's later subviews lie above everything of the earlier ones.
    for (const UIView* level = this; UIView* parent = level->superview(); level = parent) {
        CGPoint parentOrigin = parent->originInRoot();
        const auto& siblings = parent->subviews();
        auto above = std::find_if(siblings.begin(), siblings.end(),
                                  [level](const Ref<UIView>& view) { return view.get() == level; });
        if (above == siblings.end())
            return false;
        for (++above; above != siblings.end(); ++above) {
            const UIView* cover = above->get();
            CGRect frame = cover->layer()->frame(), bounds = cover->bounds();
            CGPoint coverOrigin{parentOrigin.x + frame.origin.x - bounds.origin.x,
                                parentOrigin.y + frame.origin.y - bounds.origin.y};
            for (const CGRect& rect : cover->opaqueRects()) {
                IntRect covered = inward(rect, coverOrigin);
                // Most views above (a table's cells) lie away from what still shows: no region work.
                if (!covered.intersected(stillShowing).isEmpty()) {
                    showing.subtract(Region(covered));
                    stillShowing = showing.bounds();
                }
            }
            if (showing.isEmpty())
                return true;
        }
    }
    return false;
}
