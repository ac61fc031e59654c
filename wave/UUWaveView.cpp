#include "wave/UUWaveView.h"
#include "platform/runloop/RunLoop.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"
#include "wave/SharedClass.h"
#include "wave/UUWaveWeakProxy.h"

#include <algorithm>
#include <cmath>

namespace {

UUWaveView* asWaveView(id self) {
    return static_cast<UUWaveView*>(self);
}

// Samples beyond this end of the curve would be millions of points: no curve instead.
constexpr double longestCurve = 1e6;

// The waves of the list, in order, that are waves (anything else in the list is passed over).
std::vector<Ref<UUWave>> wavesOf(const NSArray* list) {
    std::vector<Ref<UUWave>> result;
    if (!list)
        return result;
    for (const Ref<NSObject>& object : list->objects())
        if (auto* wave = objc_cast<UUWave>(object.get()))
            result.emplace_back(wave);
    return result;
}

} // namespace

Class UUWaveView::objcClass() {
    static Class const cls = [] {
        if (Class existing = objc_getClass("UUWaveView"))
            return sharedWaveClass(existing, "addWaves:");
        Class c = objc_defineClass("UUWaveView", UIView::objcClass(), &instance_factory<UUWaveView>);
        class_addMethod(
            c, "initWithFrame:", +[](id self, SEL cmd, CGRect frame) -> id {
                id view = msg_send_super<id>(UUWaveView::objcClass(), self, cmd, frame);
                if (auto* v = objc_cast<UIView>(view))
                    v->layer()->setMasksToBounds(true);
                return view;
            });
        class_addMethod(
            c, "addWaves:", +[](id self, SEL, id waves) {
                asWaveView(self)->addWaves(objc_cast<NSArray>(waves));
            });
        class_addMethod(
            c, "createWaveLayer", +[](id self, SEL) { asWaveView(self)->createWaveLayer(); });
        class_addMethod(
            c, "layoutSubviews", +[](id self, SEL) { asWaveView(self)->layoutSubviews(); });
        class_addMethod(
            c, "drawOnce", +[](id self, SEL) { asWaveView(self)->drawOnce(); });
        class_addMethod(
            c, "drawWave:", +[](id self, SEL, id link) {
                asWaveView(self)->drawWave(objc_cast<CADisplayLink>(link));
            });
        class_addMethod(
            c, "start", +[](id self, SEL) { asWaveView(self)->start(); });
        class_addMethod(
            c, "stop", +[](id self, SEL) { asWaveView(self)->stop(); });
        class_addMethod(
            c, "reset", +[](id self, SEL) { asWaveView(self)->reset(); });
        class_addMethod(
            c, "clear", +[](id self, SEL) { asWaveView(self)->clear(); });
        class_addMethod(
            c, "waves", +[](id self, SEL) -> id { return asWaveView(self)->waves(); });
        class_addMethod(
            c, "setWaves:", +[](id self, SEL, id waves) {
                asWaveView(self)->setWaves(objc_cast<NSMutableArray>(waves));
            });
        class_addMethod(
            c, "maxWaveAmplitude",
            +[](id self, SEL) -> double { return asWaveView(self)->maxWaveAmplitude(); });
        class_addMethod(
            c, "setMaxWaveAmplitude:", +[](id self, SEL, double v) {
                asWaveView(self)->setMaxWaveAmplitude(v);
            });
        class_addMethod(
            c, "displayLink", +[](id self, SEL) -> id { return asWaveView(self)->displayLink(); });
        class_addMethod(
            c, "setDisplayLink:", +[](id self, SEL, id link) {
                asWaveView(self)->setDisplayLink(objc_cast<CADisplayLink>(link));
            });
        class_addMethod(
            c, "doUpdate", +[](id self, SEL) -> bool { return asWaveView(self)->doUpdate(); });
        class_addMethod(
            c, "setDoUpdate:", +[](id self, SEL, bool v) { asWaveView(self)->setDoUpdate(v); });
        class_addMethod(
            c, "createWavePath:direction:amplitude:width:lineWidth:offsetX:moveX:offsetY:",
            +[](id self, SEL, long style, long direction, double amplitude, double width, double lineWidth,
                double offsetX, double moveX, double offsetY) -> id {
                return objc_autorelease(asWaveView(self)->createWavePath(style, direction, amplitude, width,
                                                                         lineWidth, offsetX, moveX, offsetY));
            });
        return c;
    }();
    return cls;
}

UUWaveView::~UUWaveView() {
    // No message to an object being destroyed: its link is ended directly.
    if (m_displayLink)
        m_displayLink->invalidate();
    setDisplayLink(nullptr);
}

void UUWaveView::addWaves(NSArray* waves) {
    if (m_waves) {
        // Emptied first, as the device does: a view handed its own list ends up with none.
        m_waves->removeAllObjects();
        m_waves->addObjectsFromArray(waves);
    } else {
        Ref<NSMutableArray> list = NSMutableArray::arrayWithArray(waves);
        msg_send(this, "setWaves:", static_cast<id>(list.get()));
    }
    createWaveLayer();
    drawOnce();
}

void UUWaveView::createWaveLayer() {
    for (const Ref<UUWave>& wave : wavesOf(m_waves.get())) {
        double sum = wave->amplitude() + wave->lineWidth();
        double highest = m_maxWaveAmplitude;
        if (sum > highest)
            highest = sum;
        msg_send(this, "setMaxWaveAmplitude:", highest);
        Ref<CALayer> shown = wave->createLayerWithFrame(bounds());
        layer()->addSublayer(shown.get());
    }
}

void UUWaveView::layoutSubviews() {
    msg_send_super<void>(UUWaveView::objcClass(), this, sel_registerName("layoutSubviews"));
    if (layer()->sublayers().empty())
        return;
    CGRect frame = bounds();
    for (const Ref<CALayer>& sublayer : std::vector<Ref<CALayer>>(layer()->sublayers()))
        sublayer->setFrame(frame);
    for (const Ref<UUWave>& wave : wavesOf(m_waves.get()))
        if (CAShapeLayer* shape = wave->layer())
            shape->setFrame(frame);
    drawOnce();
}

void UUWaveView::redraw(UUWave* wave) {
    Ref<UIBezierPath> path =
        createWavePath(wave->style(), wave->direction(), wave->amplitude(), wave->width(), wave->lineWidth(),
                       wave->offsetX(), wave->moveX(), m_maxWaveAmplitude);
    wave->layer()->setPath(path->cgPath().get());
}

void UUWaveView::drawOnce() {
    for (const Ref<UUWave>& wave : wavesOf(m_waves.get()))
        if (wave->layer())
            redraw(wave.get());
}

void UUWaveView::drawWave(CADisplayLink*) {
    msg_send(this, "setDoUpdate:", !m_doUpdate);
    if (!m_doUpdate)
        return;
    for (const Ref<UUWave>& wave : wavesOf(m_waves.get())) {
        if (!wave->layer())
            continue;
        wave->moveOneStep();
        redraw(wave.get());
    }
}

void UUWaveView::start() {
    if (m_displayLink)
        return;
    Ref<UUWaveWeakProxy> proxy(objc_cast<UUWaveWeakProxy>(msg_send<id>(
        objc_classObject(UUWaveWeakProxy::objcClass()), "proxyWithTarget:", static_cast<id>(this))));
    Ref<CADisplayLink> link =
        CADisplayLink::displayLinkWithTarget(proxy.get(), sel_registerName("drawWave:"));
    msg_send(this, "setDisplayLink:", static_cast<id>(link.get()));
    link->addToRunLoop(RunLoop::current(), NSRunLoopCommonModes);
}

void UUWaveView::stop() {
    if (m_displayLink)
        m_displayLink->invalidate();
    msg_send(this, "setDisplayLink:", static_cast<id>(nullptr));
}

void UUWaveView::reset() {
    for (const Ref<UUWave>& wave : wavesOf(m_waves.get()))
        if (wave->layer())
            msg_send(wave.get(), "setMoveX:", 0.0);
    drawOnce();
}

void UUWaveView::clear() {
    if (m_waves)
        m_waves->makeObjectsPerformSelector(sel_registerName("clearLayer"));
    for (const Ref<CALayer>& sublayer : std::vector<Ref<CALayer>>(layer()->sublayers()))
        sublayer->removeFromSuperlayer();
}

Ref<UIBezierPath> UUWaveView::createWavePath(int64_t style, int64_t direction, double amplitude, double width,
                                             double lineWidth, double offsetX, double moveX,
                                             double offsetY) const {
    Ref<UIBezierPath> path = UIBezierPath::bezierPath();
    CGRect frame = bounds();
    double viewWidth = CGRectGetWidth(frame), viewHeight = CGRectGetHeight(frame);
    double end = lineWidth * 0.5 + viewWidth;
    double lastX = 0;
    double k = 6.283185307179586 / width;
    if (end >= 0 && end <= longestCurve && std::isfinite(k)) {
        double base = offsetX / k;
        for (double x = 0;;) {
            double u = base + x;
            u = direction == 0 ? u + moveX : u - moveX;
            float theta = static_cast<float>(k * u);
            float s = style == 0 ? std::sin(theta) : std::cos(theta);
            double y = static_cast<double>(s) * amplitude + offsetY;
            if (x == 0)
                path->moveToPoint(CGPointMake(x, y));
            else
                path->addLineToPoint(CGPointMake(x, y));
            lastX = x;
            if (x == end)
                break;
            x = std::min(x + 10, end);
        }
    }
    double bottom = lineWidth * 0.5 + viewHeight;
    path->addLineToPoint(CGPointMake(lastX, bottom));
    path->addLineToPoint(CGPointMake(0, bottom));
    return path;
}
