// What opaque views above a view hide of it, and display links that skip views nobody can see.

#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/graphics/UIImage.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIView.h"
#include "runtime/Runtime.h"

#include <gtest/gtest.h>

namespace {

Ref<UIImage> solidImage(uint8_t alpha) {
    auto bitmap = *Bitmap::create(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            bitmap.setPixel(x, y, premultiplied_pixel(40, 80, 120, alpha));
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(bitmap)).get());
}

Ref<CAShapeLayer> maskOf(UIBezierPath* path) {
    Ref<CAShapeLayer> mask = CAShapeLayer::layer();
    mask->setPath(path->cgPath().get());
    return mask;
}

// A header as a settings page builds one: waves (clipping to their bounds) reaching 50 points below
// the header, a masked wallpaper band stacked above them, and a row below the header.
struct Scene {
    Ref<UIView> page = makeViewWithFrame<UIView>(CGRectMake(0, 0, 100, 400));
    Ref<UIView> header = makeViewWithFrame<UIView>(CGRectMake(0, 0, 100, 150));
    Ref<UIView> waves = makeViewWithFrame<UIView>(CGRectMake(0, 50, 100, 150));
    Ref<UIImageView> band = make_object<UIImageView>();
    Ref<UIView> row = makeViewWithFrame<UIView>(CGRectMake(0, 150, 100, 60));

    Scene() {
        page->addSubview(header.get());
        page->addSubview(row.get());
        waves->layer()->setMasksToBounds(true);
        header->addSubview(waves.get());
        msg_send<id>(band.get(), "initWithImage:", solidImage(255).get());
        band->setFrame(CGRectMake(0, 0, 100, 150));
        band->setContentMode(UIViewContentModeScaleAspectFill);
        band->layer()->setMask(
            maskOf(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 100, 150)).get()).get());
        header->addSubview(band.get());
        row->setBackgroundColor(UIColor::whiteColor());
    }
};

} // namespace

TEST(Cover, AViewIsCoveredOnlyWhereOpaqueViewsAboveItCoverAllOfIt) {
    Scene scene;
    EXPECT_TRUE(scene.waves->isCoveredFromSight()) << "the band hides the top, the row the rest";

    scene.row->setFrame(CGRectMake(0, 160, 100, 60));
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "ten points between band and row show";
    scene.row->setFrame(CGRectMake(0, 150, 100, 60));

    scene.row->setAlpha(0.5);
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "a translucent row hides nothing";
    scene.row->setAlpha(1);
    scene.row->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 0.9).get());
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "nor does a translucent background";
    scene.row->setBackgroundColor(UIColor::whiteColor());

    scene.band->setImage(solidImage(200).get());
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "an image with translucent pixels hides nothing";
    scene.band->setImage(solidImage(255).get());

    auto triangle = UIBezierPath::bezierPath();
    triangle->moveToPoint({0, 0});
    triangle->addLineToPoint({100, 0});
    triangle->addLineToPoint({0, 150});
    triangle->closePath();
    scene.band->layer()->setMask(maskOf(triangle.get()).get());
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "a mask that is no rectangle lets the waves show";
    scene.band->layer()->setMask(
        maskOf(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 100, 100)).get()).get());
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "nor does a mask smaller than the waves' top";
    scene.band->layer()->setMask(
        maskOf(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 100, 150)).get()).get());
    EXPECT_TRUE(scene.waves->isCoveredFromSight());
    auto* mask = static_cast<CAShapeLayer*>(scene.band->layer()->mask());
    mask->setPath(triangle->cgPath().get());
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "the mask's own path changed";
    mask->setPath(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 100, 150))->cgPath().get());
    EXPECT_TRUE(scene.waves->isCoveredFromSight());

    // An animation moving the waves: where they are going is where they are asked about.
    scene.waves->setModelFrame(CGRectMake(0, 300, 100, 150));
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "going below the row";
    scene.waves->setModelFrame(std::nullopt);
    EXPECT_TRUE(scene.waves->isCoveredFromSight());

    scene.header->insertSubview(scene.band.get(), 0);
    EXPECT_FALSE(scene.waves->isCoveredFromSight()) << "a band below the waves covers nothing of them";
    scene.header->addSubview(scene.band.get());

    scene.waves->layer()->setMasksToBounds(false);
    EXPECT_FALSE(scene.waves->isCoveredFromSight())
        << "what a view that does not clip draws may reach anywhere";
}

TEST(Cover, OnlyAShapeThatMasksCountsItsPathAsAChangeOfWhatCovers) {
    // A moving wave redraws its shape on every refresh; were that counted, the answer of every view
    // that asks on each refresh would be worked out again each time.
    Ref<CALayer> layer = CALayer::layer();
    Ref<CAShapeLayer> shape = CAShapeLayer::layer(), other = CAShapeLayer::layer();
    auto path = [](double width) {
        return UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, width, 10))->cgPath();
    };
    uint64_t before = CALayer::arrangementChangesOfAllLayers();
    shape->setPath(path(10).get());
    shape->setLineWidth(3);
    EXPECT_EQ(CALayer::arrangementChangesOfAllLayers(), before);
    layer->setMask(shape.get());
    EXPECT_GT(CALayer::arrangementChangesOfAllLayers(), before);
    before = CALayer::arrangementChangesOfAllLayers();
    shape->setPath(path(20).get());
    EXPECT_GT(CALayer::arrangementChangesOfAllLayers(), before) << "a mask's path";
    layer->setMask(other.get());
    before = CALayer::arrangementChangesOfAllLayers();
    shape->setPath(path(30).get());
    EXPECT_EQ(CALayer::arrangementChangesOfAllLayers(), before) << "a mask no longer";
    other->setPath(path(30).get());
    EXPECT_GT(CALayer::arrangementChangesOfAllLayers(), before);

    // A shape masking two layers is a mask until neither keeps it.
    Ref<CALayer> second = CALayer::layer();
    second->setMask(other.get());
    layer->setMask(shape.get());
    before = CALayer::arrangementChangesOfAllLayers();
    other->setPath(path(40).get());
    EXPECT_GT(CALayer::arrangementChangesOfAllLayers(), before) << "still the second layer's mask";
    second = nullptr;
    before = CALayer::arrangementChangesOfAllLayers();
    other->setPath(path(50).get());
    EXPECT_EQ(CALayer::arrangementChangesOfAllLayers(), before) << "its last owner is gone";
}

namespace {

// A view that counts its refreshes, and a proxy that forwards to it without owning it, as a view
// that animates itself is usually driven.
class CountingView : public UIView {
public:
    static Class objcClass() {
        static Class const cls = [] {
            Class c =
                objc_defineClass("CoverCountingView", UIView::objcClass(), &instance_factory<CountingView>);
            class_addMethod(
                c, "refresh:", +[](id self, SEL, id) { ++static_cast<CountingView*>(self)->refreshes; });
            return c;
        }();
        return cls;
    }
    int refreshes = 0;
};

class Forwarder : public NSObject {
public:
    static Class objcClass() {
        static Class const cls = [] {
            Class c = objc_defineClass("CoverForwarder", NSObject::objcClass(), &instance_factory<Forwarder>);
            class_addMethod(
                c, "forwardingTargetForSelector:", +[](id self, SEL, SEL) -> id {
                    return static_cast<Forwarder*>(self)->view.load().get();
                });
            return c;
        }();
        return cls;
    }
    Weak<UIView> view;
};

} // namespace

TEST(Cover, ADisplayLinkSkipsRefreshesWhileItsViewIsCovered) {
    Scene scene;
    auto counting = makeViewWithFrame<CountingView>(CGRectMake(0, 50, 100, 150));
    counting->layer()->setMasksToBounds(true);
    scene.header->insertSubview(counting.get(), 0);
    auto forwarder = make_object<Forwarder>();
    forwarder->view = counting.get();
    Ref<RunLoop> loop = make_object<RunLoop>();
    loop->useVirtualClock();
    Ref<CADisplayLink> link =
        CADisplayLink::displayLinkWithTarget(forwarder.get(), sel_registerName("refresh:"));
    link->addToRunLoop(loop.get(), NSDefaultRunLoopMode);

    loop->tick(3);
    EXPECT_EQ(counting->refreshes, 0) << "covered by the band and the row";
    scene.band->removeFromSuperview();
    loop->tick(3);
    EXPECT_EQ(counting->refreshes, 3) << "uncovered, it is refreshed again";
    link->invalidate();
}
