#pragma once

// Views: a rectangle of the screen with its own layer, subviews in order (later ones above) and a
// superview. Geometry lives in the layer: frame and center are the layer's frame and position (in
// the superview's coordinates), bounds are the layer's bounds.
//
// Layout is deferred as on the device: a change of size marks the view as needing layout, and the
// layout pass (layoutPendingViews, run by the main run loop after every pass of work, and by a
// renderer before it draws) sends it layoutSubviews through the runtime, so that subclasses,
// including ones made at run time, and replaced methods take part. layoutIfNeeded runs the pass
// for one view and its subviews at once.
//
// Ownership: a view owns its layer and its subviews; the superview link is not an owner.
// Everything is for the main thread.

#include "platform/graphics/Geometry.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/CALayer.h"
#include "runtime/MessageSend.h"
#include "runtime/NSObject.h"
#include "runtime/Weak.h"

#include <optional>
#include <vector>

class UIView : public NSObject {
public:
    static Class objcClass();

    UIView();
    ~UIView() override;

    // While an animation moves the view, frame and center answer where it is going (the model);
    // only what is drawn moves. Setting either ends the animation there: the new value wins.
    CGRect frame() const { return m_modelFrame ? *m_modelFrame : m_layer->frame(); }
    void setFrame(CGRect frame);
    CGRect bounds() const { return m_layer->bounds(); }
    void setBounds(CGRect bounds);
    CGPoint center() const;
    void setCenter(CGPoint center);
    // For the animator: where the view is drawn, and the frame it is going to (nullopt: none).
    void setPresentationFrame(CGRect frame);
    void setModelFrame(std::optional<CGRect> frame);
    bool isHidden() const { return m_layer->isHidden(); }
    void setHidden(bool hidden) { m_layer->setHidden(hidden); }
    double alpha() const { return m_layer->opacity(); }
    void setAlpha(double alpha) { m_layer->setOpacity(static_cast<float>(alpha)); }
    UIColor* backgroundColor() const { return m_layer->backgroundColor(); }
    void setBackgroundColor(UIColor* color) { m_layer->setBackgroundColor(color); }
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    CALayer* layer() const { return m_layer.get(); }

    UIView* superview() const { return m_superview; }
    const std::vector<Ref<UIView>>& subviews() const { return m_subviews; }
    // Adds on top of the other subviews; a view that has a superview is moved. A view cannot
    // become a subview of itself or of one of its own subviews (nothing happens).
    void addSubview(UIView* view);
    void insertSubview(UIView* view, size_t index);
    void bringSubviewToFront(UIView* view);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;

    // Between this view's coordinates and another view's in the same tree (nil: the top view's).
    CGPoint convertPointToView(CGPoint point, const UIView* view) const;
    CGPoint convertPointFromView(CGPoint point, const UIView* view) const;

    // Whether opaque views above this one (later subviews of its superview or of theirs) cover all
    // of it, so that nothing it draws can show. Only a view that clips to its bounds can be known to
    // be covered, and only what a view paints opaquely by itself covers. Asked on every refresh, so
    // the answer is kept until a layer or a model frame changes in a way that may alter it.
    bool isCoveredFromSight() const;

    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    void layoutIfNeeded();
    // Lays out every view that needs it, top views first.
    static void layoutPendingViews();

protected:
    // Rectangles of the view's own coordinates that it paints opaquely by itself, whatever its
    // subviews do: its bounds when its background is opaque. A view that draws more adds it.
    virtual void addOwnOpaqueRects(std::vector<CGRect>& rects) const;

private:
    // The same as its layer lets them show: none when hidden or translucent, cut to the bounds when
    // it clips, to the mask when that is a plain rectangle, and none for any other mask.
    std::vector<CGRect> opaqueRects() const;
    // The top-left of the bounds' origin in the top view's coordinates.
    CGPoint originInRoot() const;
    bool coveredFromSightNow() const;

    Ref<CALayer> m_layer;
    std::optional<CGRect> m_modelFrame;
    UIView* m_superview = nullptr;
    std::vector<Ref<UIView>> m_subviews;
    bool m_needsLayout = false;
    bool m_userInteractionEnabled = true;
    // The last answer of isCoveredFromSight, and the counts of changes it was given at.
    struct CoverAnswer {
        uint64_t arrangement, modelFrames;
        bool covered;
    };
    mutable std::optional<CoverAnswer> m_coverAnswer;
    static uint64_t s_modelFrameChanges;
};

// A new view of type T (of class cls when given, a subclass of T's class made at run time), sent
// initWithFrame: through the runtime as the device's alloc/initWithFrame: would.
template <typename T = UIView> Ref<T> makeViewWithFrame(CGRect frame, Class cls = nullptr) {
    Ref<T> view = cls ? make_object_of_class<T>(cls) : make_object<T>();
    msg_send<id>(view.get(), "initWithFrame:", frame);
    return view;
}
