#include "platform/foundation/NSString.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/Weak.h"
#include "wave/UUWave.h"
#include "wave/UUWaveView.h"
#include "wave/UUWaveWeakProxy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

Ref<UUWave> wave(int64_t style, int64_t direction, double amplitude, double width, double lineWidth,
                 double offsetX = 0, double stepX = 3, UUWave::LayerCreator creator = nullptr) {
    return UUWave::waveWithStyle(style, direction, amplitude, width, lineWidth, offsetX, stepX,
                                 std::move(creator));
}

Ref<UUWaveView> viewWithFrame(CGRect frame) {
    return makeViewWithFrame<UUWaveView>(frame);
}

Ref<NSArray> listOf(std::vector<Ref<NSObject>> items) {
    return NSArray::arrayWithObjects(std::move(items));
}

const std::vector<CGPathElement>& elementsOf(const UIBezierPath* path) {
    return path->elements();
}

std::vector<CGPoint> pointsOf(const CGPath* path) {
    std::vector<CGPoint> points;
    if (path)
        for (const CGPathElement& e : path->elements())
            points.push_back(e.point);
    return points;
}

// The main run loop on a fresh virtual clock: every test starts at 0.
void freshClock() {
    RunLoop::main()->useVirtualClock();
}

} // namespace

// ---- path geometry ---------------------------------------------------------------------------

TEST(WavePath, SamplesEveryTenPointsToTheWidthPlusHalfTheLine) {
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 150));
    Ref<UIBezierPath> path = view->createWavePath(0, 0, 20, 375, 2, 0, 0, 22);
    const auto& e = elementsOf(path.get());
    ASSERT_EQ(e.size(), 39u + 2u);
    EXPECT_EQ(e[0].type, CGPathElementType::MoveToPoint);
    EXPECT_EQ(e[0].point, (CGPoint{0, 22})) << "sine of 0 lies on the centre line";
    EXPECT_EQ(e[37].point.x, 370);
    EXPECT_EQ(e[38].point.x, 376) << "the last sample lies exactly at the end";
    EXPECT_EQ(e[39].point, (CGPoint{376, 151}));
    EXPECT_EQ(e[40].point, (CGPoint{0, 151}));
    for (size_t i = 1; i < e.size(); ++i)
        EXPECT_EQ(e[i].type, CGPathElementType::AddLineToPoint);
    // A quarter wavelength in, the sine is at its crest (below the centre: y grows downward).
    Ref<UIBezierPath> quarter = view->createWavePath(0, 0, 20, 40, 2, 0, 0, 22);
    EXPECT_NEAR(elementsOf(quarter.get())[1].point.y, 42, 1e-5);

    Ref<UIBezierPath> cosine = view->createWavePath(1, 0, 20, 375, 2, 0, 0, 22);
    EXPECT_EQ(elementsOf(cosine.get())[0].point, (CGPoint{0, 42})) << "cosine of 0 is 1";
}

TEST(WavePath, SineAndCosineAreTakenInSinglePrecisionOfTheRoundedAngle) {
    // The lock screen's first wave, part way along its travel, in both styles and directions.
    const double amplitude = 20, width = 375, offsetX = 100, moveX = 37.5, offsetY = 22;
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 150));
    for (int64_t style : {0, 1}) {
        for (int64_t direction : {0, 1}) {
            SCOPED_TRACE("style " + std::to_string(style) + ", direction " + std::to_string(direction));
            auto e = elementsOf(
                view->createWavePath(style, direction, amplitude, width, 2, offsetX, moveX, offsetY).get());
            ASSERT_EQ(e.size(), 41u);
            const double k = 6.283185307179586 / width;
            for (size_t i = 0; i < 39; ++i) {
                double x = e[i].point.x;
                double u = offsetX / k + x + (direction == 0 ? moveX : -moveX);
                float theta = static_cast<float>(k * u);
                float single = style == 0 ? ::sinf(theta) : ::cosf(theta);
                double wide =
                    style == 0 ? std::sin(static_cast<double>(theta)) : std::cos(static_cast<double>(theta));
                double expected = static_cast<double>(single) * amplitude + offsetY;
                ASSERT_NE(expected, wide * amplitude + offsetY)
                    << "x = " << x << " tells the precisions apart";
                ASSERT_NE(expected, (style == 0 ? std::sin(k * u) : std::cos(k * u)) * amplitude + offsetY)
                    << "x = " << x;
                EXPECT_EQ(e[i].point.y, expected) << "x = " << x;
            }
        }
    }
}

TEST(WavePath, DirectionDecidesWhichWayTheTravelShiftsTheCurve) {
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 60));
    auto still = elementsOf(view->createWavePath(0, 0, 20, 375, 2, 1.3, 0, 24).get());
    auto leftward = elementsOf(view->createWavePath(0, 0, 20, 375, 2, 1.3, 30, 24).get());
    auto rightward = elementsOf(view->createWavePath(0, 1, 20, 375, 2, 1.3, 30, 24).get());
    // Travel 30 in direction 0 shows at x what the still curve shows at x + 30; direction 1 at x - 30.
    for (size_t i = 3; i + 6 < 38; ++i) {
        EXPECT_NEAR(leftward[i].point.y, still[i + 3].point.y, 2e-5) << "x = " << leftward[i].point.x;
        EXPECT_NEAR(rightward[i + 3].point.y, still[i].point.y, 2e-5) << "x = " << rightward[i + 3].point.x;
    }
    EXPECT_GT(std::fabs(leftward[5].point.y - still[5].point.y), 1) << "and it really moved";
}

TEST(WavePath, DegenerateSizesGiveSoundPaths) {
    auto empty = viewWithFrame(CGRectMake(0, 0, 0, 80));
    auto e = elementsOf(empty->createWavePath(0, 0, 20, 375, 0, 0, 0, 22).get());
    ASSERT_EQ(e.size(), 3u) << "one curve point, then the bottom edge twice";
    EXPECT_EQ(e[0].point, (CGPoint{0, 22}));
    EXPECT_EQ(e[1].point, (CGPoint{0, 80}));
    EXPECT_EQ(e[2].point, (CGPoint{0, 80}));

    // No end to reach (negative), no wavelength, a wavelength that is not a number, and a view too
    // wide to sample: no curve, and the bottom edge has nothing to start from.
    EXPECT_TRUE(empty->createWavePath(0, 0, 20, 375, -4, 0, 0, 22)->isEmpty());
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    EXPECT_TRUE(view->createWavePath(0, 0, 20, 0, 2, 100, 0, 22)->isEmpty());
    EXPECT_TRUE(view->createWavePath(0, 0, 20, NAN, 2, 100, 0, 22)->isEmpty());
    auto huge = viewWithFrame(CGRectMake(0, 0, 1e12, 55));
    EXPECT_TRUE(huge->createWavePath(0, 0, 20, 375, 2, 0, 0, 22)->isEmpty());
    // A negative wavelength is a wavelength all the same.
    EXPECT_EQ(elementsOf(view->createWavePath(0, 0, 20, -375, 2, 0, 0, 22).get()).size(), 41u);
}

// ---- the wave --------------------------------------------------------------------------------

TEST(Wave, MoveOneStepWrapsInTenthsKeepingTheSign) {
    auto w = wave(0, 0, 20, 375, 2, 0, 3);
    w->setMoveX(372);
    w->moveOneStep();
    EXPECT_EQ(w->moveX(), 0);
    w->setMoveX(0);
    for (int i = 0; i < 125; ++i)
        w->moveOneStep();
    EXPECT_EQ(w->moveX(), 0) << "back to 0 on the 125th step";

    auto backward = wave(0, 0, 20, 375, 2, 0, -3);
    backward->moveOneStep();
    EXPECT_EQ(backward->moveX(), -3);
    backward->setMoveX(-373);
    backward->moveOneStep();
    EXPECT_EQ(backward->moveX(), -1) << "the remainder takes the travel's sign";

    // The stored value is a single-precision tenth; one just below a tenth truncates a tenth lower.
    auto slow = wave(0, 0, 20, 375, 2, 0, 0.7);
    std::vector<double> seen;
    for (int i = 0; i < 6; ++i) {
        slow->moveOneStep();
        seen.push_back(slow->moveX());
    }
    std::vector<double> expected;
    for (float f : {0.7f, 1.3f, 1.9f, 2.5f, 3.2f, 3.9f})
        expected.push_back(static_cast<double>(f));
    EXPECT_EQ(seen, expected);
}

TEST(Wave, MoveOneStepSurvivesHostileValues) {
    auto tiny = wave(0, 0, 20, 0.05, 2, 0, 2.5);
    for (int i = 0; i < 4; ++i)
        tiny->moveOneStep();
    EXPECT_EQ(tiny->moveX(), 10) << "no tenths to wrap at: it just grows";

    auto far = wave(0, 0, 20, -0.1, 2, 0, 0);
    far->setMoveX(-3e9); // tenths beyond 32 bits saturate; the remainder by -1 is 0, not a trap
    far->moveOneStep();
    EXPECT_EQ(far->moveX(), 0);
    auto broken = wave(0, 0, 20, 375, 2, 0, NAN);
    broken->moveOneStep();
    EXPECT_EQ(broken->moveX(), 0);
    auto big = wave(0, 0, 20, std::numeric_limits<double>::infinity(), 2, 0, 1e300);
    big->moveOneStep();
    EXPECT_TRUE(std::isfinite(big->moveX()));
}

TEST(Wave, CreateLayerWithFrameLetsTheCreatorStyleAndChoose) {
    auto plain = wave(0, 0, 20, 375, 2);
    Ref<CALayer> shown = plain->createLayerWithFrame(CGRectMake(0, 0, 375, 55));
    ASSERT_TRUE(plain->layer());
    EXPECT_EQ(shown.get(), plain->layer());
    EXPECT_EQ(plain->layer()->frame(), CGRectMake(0, 0, 375, 55));
    EXPECT_EQ(plain->layer()->lineWidth(), 2);
    ASSERT_TRUE(plain->layer()->fillColor()) << "the platform's defaults: black fill, no stroke";
    EXPECT_EQ(plain->layer()->fillColor()->cgColor(), (CGColor{0, 0, 0, 1}));
    EXPECT_FALSE(plain->layer()->strokeColor());

    auto silent = wave(0, 0, 20, 375, 2, 0, 3, [](CAShapeLayer* layer) -> Ref<CALayer> {
        layer->setStrokeColor(CGColor{1, 1, 1, 1});
        return nullptr;
    });
    Ref<CALayer> made = silent->createLayerWithFrame(CGRectZero);
    EXPECT_EQ(made.get(), silent->layer()) << "nothing returned: the shape layer";
    EXPECT_TRUE(silent->layer()->strokeColor());

    Ref<CALayer> holder = CALayer::layer();
    auto wrapping = wave(0, 0, 20, 375, 2, 0, 3, [&](CAShapeLayer* layer) -> Ref<CALayer> {
        holder->addSublayer(layer);
        return holder;
    });
    EXPECT_EQ(wrapping->createLayerWithFrame(CGRectZero).get(), holder.get());
    CAShapeLayer* first = wrapping->layer();
    EXPECT_NE(first, nullptr);
    wrapping->createLayerWithFrame(CGRectZero);
    EXPECT_NE(wrapping->layer(), first) << "a new layer each time";
    EXPECT_EQ(holder->sublayers().size(), 2u) << "the old one is not removed";
    wrapping->clearLayer();
    EXPECT_EQ(wrapping->layer(), nullptr);
    EXPECT_EQ(holder->sublayers().size(), 1u);
    wrapping->clearLayer();
    EXPECT_EQ(wrapping->layer(), nullptr) << "clearing no layer does nothing";
}

// ---- the view --------------------------------------------------------------------------------

TEST(WaveView, SharesOneCentreLineAndNeverLowersIt) {
    for (bool reversed : {false, true}) {
        auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
        EXPECT_TRUE(view->layer()->masksToBounds());
        auto a = wave(0, 0, 20, 375, 2), b = wave(0, 0, 22, 375, 2);
        view->addWaves(reversed ? listOf({b, a}) : listOf({a, b}));
        EXPECT_EQ(view->maxWaveAmplitude(), 24);
        EXPECT_EQ(view->layer()->sublayers().size(), 2u);
        // Drawn at once, on the shared centre line.
        EXPECT_EQ(pointsOf(a->layer()->path()).front(), (CGPoint{0, 24}));
        EXPECT_EQ(pointsOf(b->layer()->path()).front(), (CGPoint{0, 24}));
        view->clear();
        EXPECT_EQ(view->maxWaveAmplitude(), 24) << "clear keeps the centre line";
        EXPECT_EQ(view->waves()->count(), 2u) << "and the list";
        auto small = wave(0, 0, 5, 375, 1);
        view->addWaves(listOf({small}));
        EXPECT_EQ(view->maxWaveAmplitude(), 24) << "smaller waves share the old centre line";
        EXPECT_EQ(pointsOf(small->layer()->path()).front(), (CGPoint{0, 24}));
    }
}

TEST(WaveView, EveryOtherTickAdvancesAndParitySurvivesStopAndStart) {
    freshClock();
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    auto w = wave(0, 0, 20, 375, 2, 0, 3);
    view->addWaves(listOf({w}));
    view->start();
    EXPECT_TRUE(view->displayLink());
    RunLoop::main()->tick();
    EXPECT_EQ(w->moveX(), 3) << "the first tick draws";
    RunLoop::main()->tick();
    EXPECT_EQ(w->moveX(), 3) << "the second does not";
    RunLoop::main()->tick();
    EXPECT_EQ(w->moveX(), 6);
    EXPECT_EQ(pointsOf(w->layer()->path()).front().y,
              pointsOf(view->createWavePath(0, 0, 20, 375, 2, 0, 6, 22)->cgPath().get()).front().y);
    view->stop();
    EXPECT_FALSE(view->displayLink());
    RunLoop::main()->tick(4);
    EXPECT_EQ(w->moveX(), 6) << "stopped";
    view->stop();
    view->start();
    CADisplayLink* link = view->displayLink();
    view->start();
    EXPECT_EQ(view->displayLink(), link) << "start while running does nothing";
    RunLoop::main()->tick();
    EXPECT_EQ(w->moveX(), 6) << "three ticks so far: this fourth one does not draw";
    RunLoop::main()->tick();
    EXPECT_EQ(w->moveX(), 9) << "and the travel goes on from where it stopped";
    view->stop();
}

TEST(WaveView, KeepsMovingWhileTheFingerTracks) {
    freshClock();
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    auto w = wave(0, 0, 20, 375, 2, 0, 2);
    view->addWaves(listOf({w}));
    view->start();
    RunLoop::main()->setCurrentMode(UITrackingRunLoopMode);
    RunLoop::main()->advance(1000);
    RunLoop::main()->setCurrentMode(NSDefaultRunLoopMode);
    EXPECT_EQ(w->moveX(), 60) << "30 drawn frames a second at 60 Hz, 2 points each";
    view->stop();
}

TEST(WaveView, ReplacingTheWavesLeavesTheOldLayersBehind) {
    freshClock();
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    auto old = wave(0, 0, 20, 375, 2), fresh = wave(0, 0, 18, 375, 2);
    view->addWaves(listOf({old}));
    view->start();
    view->addWaves(listOf({fresh}));
    ASSERT_EQ(view->waves()->count(), 1u);
    EXPECT_EQ(view->waves()->objectAtIndex(0), fresh.get());
    EXPECT_EQ(view->layer()->sublayers().size(), 2u) << "the old layer stays in the view";
    CGPath* oldPath = old->layer()->path();
    RunLoop::main()->tick();
    EXPECT_EQ(old->layer()->path(), oldPath) << "no longer updated";
    EXPECT_EQ(fresh->moveX(), 3) << "the view kept running with the new waves";

    view->clear();
    EXPECT_TRUE(view->layer()->sublayers().empty());
    view->addWaves(listOf({old}));
    EXPECT_EQ(view->layer()->sublayers().size(), 1u) << "clear first, and only the new layers remain";

    view->addWaves(listOf({}));
    EXPECT_EQ(view->waves()->count(), 0u);
    RunLoop::main()->tick(2);
    // Something that is not a wave in the list is passed over, not sent wave messages.
    view->addWaves(listOf({NSString::stringWithUTF8String("not a wave"), fresh}));
    RunLoop::main()->tick(2);
    view->stop();
}

TEST(WaveView, ResetAndTicksTouchOnlyWavesWithLayers) {
    freshClock();
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    auto shown = wave(0, 0, 20, 375, 2), cleared = wave(0, 0, 18, 375, 2);
    view->addWaves(listOf({shown, cleared}));
    view->start();
    RunLoop::main()->tick(3);
    cleared->clearLayer();
    RunLoop::main()->tick(2);
    EXPECT_EQ(shown->moveX(), 9);
    EXPECT_EQ(cleared->moveX(), 6) << "a wave without a layer is skipped";
    view->reset();
    EXPECT_EQ(shown->moveX(), 0);
    EXPECT_EQ(cleared->moveX(), 6) << "reset only puts back waves that have a layer";
    EXPECT_EQ(pointsOf(shown->layer()->path()).front(), (CGPoint{0, 22})) << "and redraws them";
    EXPECT_TRUE(view->displayLink()) << "a running view keeps running";
    view->stop();
}

TEST(WaveView, LayoutFollowsTheSize) {
    freshClock();
    // Before any wave: layout does nothing, not even a redraw of a wave that has a layer elsewhere.
    auto bare = viewWithFrame(CGRectMake(0, 0, 100, 50));
    auto loose = wave(0, 0, 20, 375, 2);
    loose->createLayerWithFrame(CGRectZero);
    bare->setWaves(NSMutableArray::arrayWithArray(listOf({loose}).get()).get());
    bare->setFrame(CGRectMake(0, 0, 200, 50));
    bare->layoutIfNeeded();
    EXPECT_EQ(loose->layer()->path(), nullptr);

    auto view = viewWithFrame(CGRectMake(0, 757, 375, 55));
    auto w = wave(0, 0, 20, 375, 2);
    view->addWaves(listOf({w}));
    view->start();
    RunLoop::main()->tick();
    view->setFrame(CGRectMake(0, 700, 414, 80));
    RunLoop::main()->advance(0); // the layout pass runs after the run loop's work
    EXPECT_TRUE(view->needsLayout()) << "nothing ran yet";
    view->layoutIfNeeded();
    EXPECT_EQ(w->layer()->frame(), CGRectMake(0, 0, 414, 80));
    for (const Ref<CALayer>& sublayer : view->layer()->sublayers())
        EXPECT_EQ(sublayer->frame(), CGRectMake(0, 0, 414, 80));
    auto points = pointsOf(w->layer()->path());
    ASSERT_GE(points.size(), 3u);
    EXPECT_EQ(points[points.size() - 2], (CGPoint{415, 81})) << "redrawn at once at the new size";
    EXPECT_EQ(points.front().y,
              pointsOf(view->createWavePath(0, 0, 20, 375, 2, 0, 3, 22)->cgPath().get()).front().y)
        << "with the current travel, and the wave's own wavelength";
    // Left to the run loop, the pass happens on its own after the next piece of work.
    view->setFrame(CGRectMake(0, 700, 375, 55));
    RunLoop::main()->tick();
    EXPECT_FALSE(view->needsLayout());
    EXPECT_EQ(w->layer()->frame(), CGRectMake(0, 0, 375, 55));
    view->stop();
}

TEST(WaveView, ADestroyedRunningViewGetsNoFurtherTick) {
    freshClock();
    Ref<CADisplayLink> link;
    Ref<UUWave> w = wave(0, 0, 20, 375, 2);
    {
        auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
        view->addWaves(listOf({w}));
        view->start();
        link = view->displayLink();
        RunLoop::main()->tick();
        EXPECT_EQ(w->moveX(), 3);
    }
    EXPECT_FALSE(link->isValid()) << "going away stops the link";
    EXPECT_EQ(link->target(), nullptr);
    RunLoop::main()->tick(4);
    EXPECT_EQ(w->moveX(), 3);
}

TEST(WaveView, TheProxyNeitherKeepsNorReachesAGoneView) {
    Ref<UUWaveWeakProxy> proxy;
    Weak<UUWaveView> watch;
    {
        auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
        proxy = UUWaveWeakProxy::proxyWithTarget(view.get());
        watch = view.get();
        EXPECT_EQ(proxy->target().get(), view.get());
        // Forwarded: the proxy does not answer drawWave: itself.
        auto w = wave(0, 0, 20, 375, 2);
        view->addWaves(listOf({w}));
        msg_send(proxy.get(), "drawWave:", static_cast<id>(nullptr));
        EXPECT_EQ(w->moveX(), 3);
    }
    EXPECT_FALSE(watch.load()) << "the proxy did not keep the view";
    EXPECT_EQ(proxy->target(), nullptr);
    EXPECT_NO_THROW(msg_send(proxy.get(), "drawWave:", static_cast<id>(nullptr))) << "swallowed";
}

TEST(WaveView, WorksByNameThroughTheRuntime) {
    freshClock();
    // As a product library that only knows names would use it.
    Ref<NSObject> view = class_createInstance(objc_getClass("UUWaveView"));
    ASSERT_TRUE(view);
    EXPECT_EQ(msg_send<id>(view.get(), "initWithFrame:", CGRectMake(0, 0, 375, 55)), view.get());
    Ref<NSObject> w = class_createInstance(objc_getClass("UUWave"));
    msg_send(w.get(), "setAmplitude:", 20.0);
    msg_send(w.get(), "setWidth:", 375.0);
    msg_send(w.get(), "setLineWidth:", 2.0);
    msg_send(w.get(), "setStepX:", 2.5);
    msg_send(view.get(), "addWaves:", listOf({w}).get());
    EXPECT_EQ(msg_send<double>(view.get(), "maxWaveAmplitude"), 22);
    msg_send(view.get(), "start");
    RunLoop::main()->tick();
    EXPECT_EQ(msg_send<double>(w.get(), "moveX"), 2.5);
    EXPECT_NE(msg_send<id>(view.get(), "displayLink"), nullptr);
    EXPECT_TRUE(msg_send<bool>(view.get(), "doUpdate"));
    msg_send(view.get(), "stop");
    EXPECT_EQ(msg_send<id>(view.get(), "displayLink"), nullptr);
    id layer = msg_send<id>(w.get(), "layer");
    EXPECT_NE(msg_send<id>(layer, "path"), nullptr);
    EXPECT_EQ(msg_send<id>(layer, "strokeColor"), nullptr);
}

// What the waves answer through the runtime is the caller's to keep: once the pass (here, the
// pool) is over, nothing but the caller's own reference holds it.
TEST(WaveView, AnswersThroughTheRuntimeAreNotKeptByTheirReceivers) {
    freshClock();
    Class waveClass = UUWave::objcClass();
    Ref<UUWave> made;
    Weak<CALayer> layer;
    Weak<UIBezierPath> path;
    Weak<UUWaveWeakProxy> proxy;
    auto view = viewWithFrame(CGRectMake(0, 0, 375, 55));
    {
        AutoreleasePool pool;
        made = objc_cast<UUWave>(
            msg_send<id>(objc_classObject(waveClass),
                         "waveWithStyle:direction:amplitude:width:lineWidth:offsetX:stepX:layerCreator:", 0L,
                         1L, 20.0, 375.0, 2.0, 100.0, 3.0, UUWave::LayerCreator()));
        ASSERT_TRUE(made);
        EXPECT_EQ(made->offsetX(), 100);
        EXPECT_EQ(made->direction(), 1);
        layer =
            objc_cast<CALayer>(msg_send<id>(made.get(), "createLayerWithFrame:", CGRectMake(0, 0, 375, 55)));
        path = objc_cast<UIBezierPath>(msg_send<id>(
            view.get(), "createWavePath:direction:amplitude:width:lineWidth:offsetX:moveX:offsetY:", 0L, 0L,
            20.0, 375.0, 2.0, 0.0, 0.0, 22.0));
        proxy = objc_cast<UUWaveWeakProxy>(msg_send<id>(objc_classObject(UUWaveWeakProxy::objcClass()),
                                                        "proxyWithTarget:", static_cast<id>(view.get())));
        ASSERT_TRUE(proxy.load());
        EXPECT_EQ(proxy.load()->target().get(), view.get());
        EXPECT_TRUE(path.load());
    }
    EXPECT_FALSE(path.load()) << "the view keeps no path it answered";
    EXPECT_FALSE(proxy.load());
    ASSERT_TRUE(layer.load()) << "the wave keeps its own layer";
    EXPECT_EQ(made->layer(), layer.load().get());
    msg_send(made.get(), "clearLayer");
    EXPECT_FALSE(layer.load()) << "and nothing else once it lets go of it";
}

// The factory allocates and initializes through the runtime: a replaced initializer sees it.
TEST(Wave, TheFactoryInitializesThroughTheRuntime) {
    Class waveClass = UUWave::objcClass();
    SEL init =
        sel_registerName("initWithStyle:direction:amplitude:width:lineWidth:offsetX:stepX:layerCreator:");
    static IMP original = nullptr;
    static int calls = 0;
    using Init = id (*)(id, SEL, long, long, double, double, double, double, double, UUWave::LayerCreator);
    original = class_replaceMethod(
        waveClass, init,
        imp_cast(+[](id self, SEL cmd, long style, long direction, double amplitude, double width,
                     double lineWidth, double offsetX, double stepX, UUWave::LayerCreator creator) -> id {
            ++calls;
            return reinterpret_cast<Init>(original)(self, cmd, style, direction, amplitude * 2, width,
                                                    lineWidth, offsetX, stepX, std::move(creator));
        }),
        nullptr);
    Ref<UUWave> w = wave(0, 0, 20, 375, 2);
    class_replaceMethod(waveClass, init, original, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(w->amplitude(), 40) << "the replacement's arguments were used";
    EXPECT_EQ(wave(0, 0, 20, 375, 2)->amplitude(), 20);
}
