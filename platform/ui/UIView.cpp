#include "platform/ui/UIView.h"
#include "platform/foundation/NSArray.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/UIViewAnimation.h"
#include "runtime/Associations.h"
#include "runtime/Weak.h"

#include <algorithm>

namespace {

UIView* asView(id self) {
    return static_cast<UIView*>(self);
}

// Views waiting for the layout pass.
std::vector<Weak<UIView>>& pendingLayout() {
    static std::vector<Weak<UIView>> views;
    return views;
}

// A layout that keeps asking for more layout stops after this many rounds.
constexpr int maxLayoutRounds = 16;

void scheduleLayoutPass() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    RunLoop::main()->addPassObserver([] { UIView::layoutPendingViews(); });
}

int depth(const UIView* view) {
    int d = 0;
    for (const UIView* v = view->superview(); v; v = v->superview())
        ++d;
    return d;
}

} // namespace

Class UIView::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIView", NSObject::objcClass(), &instance_factory<UIView>);
        class_addMethod(
            c, "initWithFrame:", +[](id self, SEL, CGRect frame) -> id {
                asView(self)->setFrame(frame);
                return self;
            });
        class_addMethod(
            c, "init", +[](id self, SEL) -> id { return msg_send<id>(self, "initWithFrame:", CGRectZero); });
        class_addMethod(
            c, "frame", +[](id self, SEL) -> CGRect { return asView(self)->frame(); });
        class_addMethod(
            c, "setFrame:", +[](id self, SEL, CGRect r) { asView(self)->setFrame(r); });
        class_addMethod(
            c, "bounds", +[](id self, SEL) -> CGRect { return asView(self)->bounds(); });
        class_addMethod(
            c, "setBounds:", +[](id self, SEL, CGRect r) { asView(self)->setBounds(r); });
        class_addMethod(
            c, "center", +[](id self, SEL) -> CGPoint { return asView(self)->center(); });
        class_addMethod(
            c, "setCenter:", +[](id self, SEL, CGPoint p) { asView(self)->setCenter(p); });
        class_addMethod(
            c, "isHidden", +[](id self, SEL) -> bool { return asView(self)->isHidden(); });
        class_addMethod(
            c, "setHidden:", +[](id self, SEL, bool hidden) { asView(self)->setHidden(hidden); });
        class_addMethod(
            c, "alpha", +[](id self, SEL) -> double { return asView(self)->alpha(); });
        class_addMethod(
            c, "setAlpha:", +[](id self, SEL, double alpha) { asView(self)->setAlpha(alpha); });
        class_addMethod(
            c, "backgroundColor", +[](id self, SEL) -> id { return asView(self)->backgroundColor(); });
        class_addMethod(
            c, "setBackgroundColor:", +[](id self, SEL, id color) {
                asView(self)->setBackgroundColor(objc_cast<UIColor>(color));
            });
        class_addMethod(
            c, "isUserInteractionEnabled",
            +[](id self, SEL) -> bool { return asView(self)->isUserInteractionEnabled(); });
        class_addMethod(
            c, "setUserInteractionEnabled:", +[](id self, SEL, bool enabled) {
                asView(self)->setUserInteractionEnabled(enabled);
            });
        class_addMethod(
            c, "layer", +[](id self, SEL) -> id { return asView(self)->layer(); });
        class_addMethod(
            c, "superview", +[](id self, SEL) -> id { return asView(self)->superview(); });
        class_addMethod(
            c, "subviews", +[](id self, SEL) -> id {
                // Kept by the view until the next call, so that the answer has an owner.
                static const char key = 0;
                const auto& subviews = asView(self)->subviews();
                Ref<NSArray> array =
                    NSArray::arrayWithObjects(std::vector<Ref<NSObject>>(subviews.begin(), subviews.end()));
                objc_setAssociatedObject(self, &key, array, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return array.get();
            });
        class_addMethod(
            c,
            "addSubview:", +[](id self, SEL, id view) { asView(self)->addSubview(objc_cast<UIView>(view)); });
        class_addMethod(
            c, "insertSubview:atIndex:", +[](id self, SEL, id view, long index) {
                asView(self)->insertSubview(objc_cast<UIView>(view),
                                            index < 0 ? 0 : static_cast<size_t>(index));
            });
        class_addMethod(
            c, "bringSubviewToFront:", +[](id self, SEL, id view) {
                asView(self)->bringSubviewToFront(objc_cast<UIView>(view));
            });
        class_addMethod(
            c, "removeFromSuperview", +[](id self, SEL) { asView(self)->removeFromSuperview(); });
        class_addMethod(
            c, "isDescendantOfView:", +[](id self, SEL, id view) -> bool {
                return asView(self)->isDescendantOfView(objc_cast<UIView>(view));
            });
        class_addMethod(
            c, "convertPoint:toView:", +[](id self, SEL, CGPoint p, id view) -> CGPoint {
                return asView(self)->convertPointToView(p, objc_cast<UIView>(view));
            });
        class_addMethod(
            c, "convertPoint:fromView:", +[](id self, SEL, CGPoint p, id view) -> CGPoint {
                return asView(self)->convertPointFromView(p, objc_cast<UIView>(view));
            });
        class_addMethod(
            c, "isCoveredFromSight",
            +[](id self, SEL) -> bool { return asView(self)->isCoveredFromSight(); });
        class_addMethod(
            c, "layoutSubviews", +[](id, SEL) {});
        class_addMethod(
            c, "setNeedsLayout", +[](id self, SEL) { asView(self)->setNeedsLayout(); });
        class_addMethod(
            c, "layoutIfNeeded", +[](id self, SEL) { asView(self)->layoutIfNeeded(); });
        return c;
    }();
    return cls;
}

UIView::UIView() : m_layer(CALayer::layer()) {}

UIView::~UIView() {
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
}

void UIView::setFrame(CGRect frame) {
    if (m_modelFrame)
        UIViewAnimation::cancel(this);
    setPresentationFrame(frame);
}

void UIView::setPresentationFrame(CGRect frame) {
    CGSize before = bounds().size;
    m_layer->setFrame(frame);
    if (bounds().size != before)
        setNeedsLayout();
}

CGPoint UIView::center() const {
    if (!m_modelFrame)
        return m_layer->position();
    return CGPointMake(m_modelFrame->origin.x + m_modelFrame->size.width / 2,
                       m_modelFrame->origin.y + m_modelFrame->size.height / 2);
}

void UIView::setBounds(CGRect bounds) {
    CGSize before = this->bounds().size;
    m_layer->setBounds(bounds);
    if (this->bounds().size != before)
        setNeedsLayout();
}

void UIView::setCenter(CGPoint center) {
    if (m_modelFrame)
        UIViewAnimation::cancel(this);
    m_layer->setPosition(center);
}

void UIView::addSubview(UIView* view) {
    insertSubview(view, m_subviews.size());
}

void UIView::insertSubview(UIView* view, size_t index) {
    if (!view || view == this || isDescendantOfView(view))
        return;
    Ref<UIView> keep(view);
    if (view->m_superview)
        view->removeFromSuperview();
    index = std::min(index, m_subviews.size());
    // The layer goes just below the layer of the subview it is put in front of.
    size_t layerIndex = m_layer->sublayers().size();
    if (index < m_subviews.size()) {
        const auto& sublayers = m_layer->sublayers();
        auto it = std::find_if(sublayers.begin(), sublayers.end(),
                               [&](const Ref<CALayer>& l) { return l.get() == m_subviews[index]->layer(); });
        layerIndex = static_cast<size_t>(it - sublayers.begin());
    }
    m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), keep);
    view->m_superview = this;
    m_layer->insertSublayer(view->layer(), layerIndex);
    setNeedsLayout();
}

void UIView::bringSubviewToFront(UIView* view) {
    if (!view || view->m_superview != this)
        return;
    Ref<UIView> keep(view);
    std::erase_if(m_subviews, [view](const Ref<UIView>& v) { return v.get() == view; });
    m_subviews.push_back(keep);
    m_layer->addSublayer(view->layer());
}

void UIView::removeFromSuperview() {
    UIView* superview = m_superview;
    if (!superview)
        return;
    Ref<UIView> keep(this);
    m_superview = nullptr;
    m_layer->removeFromSuperlayer();
    std::erase_if(superview->m_subviews, [this](const Ref<UIView>& v) { return v.get() == this; });
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v; v = v->m_superview)
        if (v == view)
            return true;
    return false;
}

CGPoint UIView::originInRoot() const {
    // The point (0, 0) of this view's coordinates, in the top view's coordinates.
    CGPoint origin{-bounds().origin.x, -bounds().origin.y};
    for (const UIView* v = this; v->m_superview; v = v->m_superview) {
        CGRect f = v->frame();
        CGRect parentBounds = v->m_superview->bounds();
        origin.x += f.origin.x - parentBounds.origin.x;
        origin.y += f.origin.y - parentBounds.origin.y;
    }
    return origin;
}

CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const {
    CGPoint mine = originInRoot();
    CGPoint theirs{0, 0};
    if (view)
        theirs = view->originInRoot();
    return {point.x + mine.x - theirs.x, point.y + mine.y - theirs.y};
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const {
    CGPoint mine = originInRoot();
    CGPoint theirs{0, 0};
    if (view)
        theirs = view->originInRoot();
    return {point.x + theirs.x - mine.x, point.y + theirs.y - mine.y};
}

void UIView::setNeedsLayout() {
    if (m_needsLayout)
        return;
    m_needsLayout = true;
    pendingLayout().emplace_back(this);
    scheduleLayoutPass();
}

void UIView::layoutIfNeeded() {
    Ref<UIView> keep(this);
    if (m_needsLayout) {
        m_needsLayout = false;
        msg_send(static_cast<id>(this), "layoutSubviews");
    }
    std::vector<Ref<UIView>> subviews = m_subviews;
    for (auto& subview : subviews)
        subview->layoutIfNeeded();
}

void UIView::layoutPendingViews() {
    for (int round = 0; round < maxLayoutRounds && !pendingLayout().empty(); ++round) {
        std::vector<Ref<UIView>> views;
        for (const auto& weak : std::exchange(pendingLayout(), {}))
            if (Ref<UIView> view = weak.load(); view && view->m_needsLayout)
                views.push_back(view);
        std::stable_sort(views.begin(), views.end(),
                         [](const Ref<UIView>& a, const Ref<UIView>& b) { return depth(a) < depth(b); });
        for (auto& view : views)
            RunLoopDetail::guarded("layoutSubviews", [&] { view->layoutIfNeeded(); });
    }
}
