#include "platform/runloop/RunLoop.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIViewAnimation.h"
#include "runtime/Runtime.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace {

std::vector<std::string> layoutLog;

// A view class made at run time, as a product library makes one: it records each layout.
Class recordingViewClass() {
    static Class const cls = [] {
        Class c = objc_allocateClassPair(UIView::objcClass(), "UIRecordingView");
        class_addMethod(
            c, "layoutSubviews", +[](id self, SEL cmd) {
                msg_send_super<void>(objc_getClass("UIRecordingView"), self, cmd);
                layoutLog.push_back(std::to_string(static_cast<UIView*>(self)->frame().size.width));
            });
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

Ref<UIView> recordingView(CGRect frame) {
    return makeViewWithFrame<UIView>(frame, recordingViewClass());
}

std::vector<CALayer*> layersOf(const UIView* view) {
    std::vector<CALayer*> layers;
    for (const auto& layer : view->layer()->sublayers())
        layers.push_back(layer.get());
    return layers;
}

} // namespace

TEST(View, FrameCenterAndBoundsDescribeOneRectangle) {
    auto view = makeViewWithFrame<UIView>(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(view->center(), (CGPoint{60, 45}));
    EXPECT_EQ(view->bounds(), CGRectMake(0, 0, 100, 50));
    view->setCenter({200, 200});
    EXPECT_EQ(view->frame(), CGRectMake(150, 175, 100, 50));
    view->setBounds(CGRectMake(5, 7, 40, 10));
    EXPECT_EQ(view->frame(), CGRectMake(180, 195, 40, 10)) << "the size changes about the centre";
    view->setFrame(CGRectMake(10, 10, -20, -30));
    EXPECT_EQ(view->frame(), CGRectMake(-10, -20, 20, 30)) << "a negative size describes the same rectangle";
    EXPECT_EQ(view->bounds().origin, (CGPoint{5, 7})) << "the bounds origin stays";
    // And through the runtime, as a product library sends them.
    msg_send(view.get(), "setFrame:", CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(msg_send<CGRect>(view.get(), "frame"), CGRectMake(1, 2, 3, 4));
    msg_send(view.get(), "setHidden:", true);
    EXPECT_TRUE(msg_send<bool>(view.get(), "isHidden"));
    EXPECT_EQ(msg_send<id>(view.get(), "layer"), view->layer());
}

TEST(View, SubviewsAndTheirLayersKeepOneOrder) {
    auto root = makeViewWithFrame<UIView>(CGRectMake(0, 0, 100, 100));
    auto a = makeViewWithFrame<UIView>(CGRectZero), b = makeViewWithFrame<UIView>(CGRectZero),
         c = makeViewWithFrame<UIView>(CGRectZero);
    root->addSubview(a.get());
    root->addSubview(b.get());
    Ref<CALayer> loose = CALayer::layer();
    root->layer()->addSublayer(loose.get());
    root->insertSubview(c.get(), 1);
    EXPECT_EQ(root->subviews(), (std::vector<Ref<UIView>>{a, c, b}));
    EXPECT_EQ(layersOf(root.get()), (std::vector<CALayer*>{a->layer(), c->layer(), b->layer(), loose.get()}));
    root->bringSubviewToFront(a.get());
    EXPECT_EQ(root->subviews(), (std::vector<Ref<UIView>>{c, b, a}));
    EXPECT_EQ(layersOf(root.get()).back(), a->layer());

    // Moving a view to another parent takes it out of the first.
    auto other = makeViewWithFrame<UIView>(CGRectZero);
    other->addSubview(b.get());
    EXPECT_EQ(b->superview(), other.get());
    EXPECT_EQ(root->subviews().size(), 2u);
    EXPECT_EQ(b->layer()->superlayer(), other->layer());
    // No cycles: a view cannot take in its own ancestor.
    b->addSubview(other.get());
    b->addSubview(b.get());
    EXPECT_TRUE(b->subviews().empty());
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(b->layer()->superlayer(), nullptr);

    UIView* orphan = c.get();
    root = nullptr;
    EXPECT_EQ(orphan->superview(), nullptr) << "a parent that goes away leaves no dangling link";
}

TEST(View, ConvertsPointsThroughFramesAndBoundsOrigins) {
    auto root = makeViewWithFrame<UIView>(CGRectMake(0, 0, 375, 812));
    auto scroller = makeViewWithFrame<UIView>(CGRectMake(10, 100, 300, 300));
    scroller->setBounds(CGRectMake(0, 50, 300, 300)); // scrolled down by 50
    auto inner = makeViewWithFrame<UIView>(CGRectMake(20, 60, 40, 40));
    root->addSubview(scroller.get());
    scroller->addSubview(inner.get());
    EXPECT_EQ(inner->convertPointToView({1, 2}, root.get()), (CGPoint{31, 112}));
    EXPECT_EQ(inner->convertPointToView({1, 2}, nullptr), (CGPoint{31, 112}));
    EXPECT_EQ(root->convertPointToView({31, 112}, inner.get()), (CGPoint{1, 2}));
    EXPECT_EQ(inner->convertPointFromView({31, 112}, root.get()), (CGPoint{1, 2}));
}

TEST(View, LayoutRunsOnceASizeChangesAndParentsFirst) {
    layoutLog.clear();
    auto parent = recordingView(CGRectMake(0, 0, 100, 100));
    auto child = recordingView(CGRectMake(0, 0, 10, 10));
    parent->addSubview(child.get());
    UIView::layoutPendingViews();
    EXPECT_EQ(layoutLog, (std::vector<std::string>{"100.000000", "10.000000"}));
    layoutLog.clear();
    child->setCenter({50, 50});
    UIView::layoutPendingViews();
    EXPECT_TRUE(layoutLog.empty()) << "moving does not lay out";
    child->setFrame(CGRectMake(0, 0, 20, 20));
    child->setFrame(CGRectMake(0, 0, 30, 30));
    parent->setFrame(CGRectMake(0, 0, 200, 200));
    UIView::layoutPendingViews();
    EXPECT_EQ(layoutLog, (std::vector<std::string>{"200.000000", "30.000000"}))
        << "once each, the parent first";
    layoutLog.clear();
    child->setFrame(CGRectMake(0, 0, 40, 40));
    child = nullptr;
    parent->setNeedsLayout();
    parent = nullptr;
    UIView::layoutPendingViews();
    EXPECT_TRUE(layoutLog.empty()) << "views gone before the pass are not laid out";
}

TEST(Layers, GeometryAndChangesAreTrackedAsOnTheDevice) {
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(10, 10, 20, 40));
    layer->setAnchorPoint({0, 0});
    EXPECT_EQ(layer->position(), (CGPoint{20, 30})) << "the anchor moves, the position stays";
    EXPECT_EQ(layer->frame(), CGRectMake(20, 30, 20, 40));
    uint64_t generation = layer->generation();
    layer->setOpacity(2);
    EXPECT_EQ(layer->opacity(), 1) << "clamped";
    EXPECT_EQ(layer->generation(), generation) << "no change, no new generation";
    layer->setOpacity(NAN);
    EXPECT_EQ(layer->opacity(), 0);
    EXPECT_GT(layer->generation(), generation);
}

TEST(Screen, ConfiguresFromAProfileAndKeepsSaneValues) {
    UIScreen* screen = UIScreen::mainScreen();
    ScreenProfile before = screen->profile();
    screen->configure({414, 896, 2, 120});
    EXPECT_EQ(screen->bounds(), CGRectMake(0, 0, 414, 896));
    EXPECT_EQ(screen->pixelWidth(), 828);
    id byName = msg_send<id>(objc_classObject(UIScreen::objcClass()), "mainScreen");
    EXPECT_EQ(byName, screen);
    EXPECT_EQ(msg_send<double>(byName, "scale"), 2);
    EXPECT_EQ(RunLoop::main()->refreshRate(), 120) << "the display refresh follows the screen";
    screen->configure({NAN, -3, 0, 1e9});
    EXPECT_EQ(screen->profile(), ScreenProfile{}) << "nonsense reads as the default profile";
    screen->configure(before);
}

TEST(View, AnAnimatedFrameIsTheNewOneAtOnceAndANewValueEndsTheAnimation) {
    RunLoop::main()->useVirtualClock();
    Ref<UIView> root = makeViewWithFrame<UIView>(CGRectMake(0, 0, 300, 600));
    Ref<UIView> button = makeViewWithFrame<UIView>(CGRectMake(10, 500, 60, 60));
    root->addSubview(button.get());
    UIApplication::sharedApplication()->setRootView(root.get());
    UIViewAnimation::animateWithDuration(0.2, [&] { button->setFrame(CGRectMake(10, 400, 60, 60)); });
    EXPECT_EQ(button->frame(), CGRectMake(10, 400, 60, 60)) << "the model takes the new frame at once";
    EXPECT_EQ(button->center(), CGPointMake(40, 430));
    EXPECT_EQ(button->layer()->frame(), CGRectMake(10, 500, 60, 60)) << "drawn where it was";
    RunLoop::main()->advance(100);
    double drawnY = button->layer()->frame().origin.y;
    EXPECT_GT(drawnY, 400);
    EXPECT_LT(drawnY, 500);
    // A finger takes it: the new centre wins and the animation stops there.
    button->setCenter(CGPointMake(40, 300));
    EXPECT_EQ(UIViewAnimation::runningCount(), 0u);
    RunLoop::main()->advance(200);
    EXPECT_EQ(button->frame(), CGRectMake(10, 270, 60, 60));
    EXPECT_EQ(button->layer()->frame(), CGRectMake(10, 270, 60, 60));
    // Left alone, an animation ends with the drawing on the model.
    UIViewAnimation::animateWithDuration(0.2, [&] { button->setFrame(CGRectMake(10, 500, 60, 60)); });
    RunLoop::main()->advance(250);
    EXPECT_EQ(UIViewAnimation::runningCount(), 0u);
    EXPECT_EQ(button->layer()->frame(), CGRectMake(10, 500, 60, 60));
    UIApplication::sharedApplication()->setRootView(nullptr);
}
