#include "wave/UUWave.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"
#include "wave/SharedClass.h"

#include <cmath>
#include <limits>

namespace {

UUWave* asWave(id self) {
    return static_cast<UUWave*>(self);
}

// Double to a signed 32-bit integer toward zero, saturating, NaN to 0: the device's conversion,
// where the language would leave an out-of-range value undefined.
int32_t truncateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

} // namespace

Class UUWave::objcClass() {
    static Class const cls = [] {
        // Both product libraries carry this class; in one process the first copy defines it.
        if (Class existing = objc_getClass("UUWave"))
            return sharedWaveClass(existing, "setStyle:");
        Class c = objc_defineClass("UUWave", NSObject::objcClass(), &instance_factory<UUWave>);
        class_addMethod(
            c, "style", +[](id self, SEL) -> long { return asWave(self)->style(); });
        class_addMethod(
            c, "setStyle:", +[](id self, SEL, long v) { asWave(self)->setStyle(v); });
        class_addMethod(
            c, "direction", +[](id self, SEL) -> long { return asWave(self)->direction(); });
        class_addMethod(
            c, "setDirection:", +[](id self, SEL, long v) { asWave(self)->setDirection(v); });
        class_addMethod(
            c, "width", +[](id self, SEL) -> double { return asWave(self)->width(); });
        class_addMethod(
            c, "setWidth:", +[](id self, SEL, double v) { asWave(self)->setWidth(v); });
        class_addMethod(
            c, "amplitude", +[](id self, SEL) -> double { return asWave(self)->amplitude(); });
        class_addMethod(
            c, "setAmplitude:", +[](id self, SEL, double v) { asWave(self)->setAmplitude(v); });
        class_addMethod(
            c, "lineWidth", +[](id self, SEL) -> double { return asWave(self)->lineWidth(); });
        class_addMethod(
            c, "setLineWidth:", +[](id self, SEL, double v) { asWave(self)->setLineWidth(v); });
        class_addMethod(
            c, "offsetX", +[](id self, SEL) -> double { return asWave(self)->offsetX(); });
        class_addMethod(
            c, "setOffsetX:", +[](id self, SEL, double v) { asWave(self)->setOffsetX(v); });
        class_addMethod(
            c, "stepX", +[](id self, SEL) -> double { return asWave(self)->stepX(); });
        class_addMethod(
            c, "setStepX:", +[](id self, SEL, double v) { asWave(self)->setStepX(v); });
        class_addMethod(
            c, "moveX", +[](id self, SEL) -> double { return asWave(self)->moveX(); });
        class_addMethod(
            c, "setMoveX:", +[](id self, SEL, double v) { asWave(self)->setMoveX(v); });
        class_addMethod(
            c, "layer", +[](id self, SEL) -> id { return asWave(self)->layer(); });
        class_addMethod(
            c, "setLayer:", +[](id self, SEL, id layer) {
                asWave(self)->setLayer(objc_cast<CAShapeLayer>(layer));
            });
        class_addMethod(
            c, "moveOneStep", +[](id self, SEL) { asWave(self)->moveOneStep(); });
        class_addMethod(
            c, "initWithStyle:direction:amplitude:width:lineWidth:offsetX:stepX:layerCreator:",
            +[](id self, SEL, long style, long direction, double amplitude, double width, double lineWidth,
                double offsetX, double stepX, UUWave::LayerCreator creator) -> id {
                return asWave(self)->initWithStyle(style, direction, amplitude, width, lineWidth, offsetX,
                                                   stepX, std::move(creator));
            });
        class_addMethod(
            object_getMetaclass(c),
            "waveWithStyle:direction:amplitude:width:lineWidth:offsetX:stepX:layerCreator:",
            +[](id, SEL, long style, long direction, double amplitude, double width, double lineWidth,
                double offsetX, double stepX, UUWave::LayerCreator creator) -> id {
                return objc_autorelease(UUWave::waveWithStyle(style, direction, amplitude, width, lineWidth,
                                                              offsetX, stepX, std::move(creator)));
            });
        class_addMethod(
            c, "layerCreator",
            +[](id self, SEL) -> UUWave::LayerCreator { return asWave(self)->layerCreator(); });
        class_addMethod(
            c, "setLayerCreator:", +[](id self, SEL, UUWave::LayerCreator creator) {
                asWave(self)->setLayerCreator(std::move(creator));
            });
        class_addMethod(
            c, "clearLayer", +[](id self, SEL) { asWave(self)->clearLayer(); });
        class_addMethod(
            c, "createLayerWithFrame:", +[](id self, SEL, CGRect frame) -> id {
                return objc_autorelease(asWave(self)->createLayerWithFrame(frame));
            });
        return c;
    }();
    return cls;
}

Ref<UUWave> UUWave::waveWithStyle(int64_t style, int64_t direction, double amplitude, double width,
                                  double lineWidth, double offsetX, double stepX, LayerCreator layerCreator) {
    // Allocated and initialized through the runtime, so that a replaced initializer sees the call.
    Ref<NSObject> instance = class_createInstance(objcClass());
    id made = msg_send<id>(instance.get(),
                           "initWithStyle:direction:amplitude:width:lineWidth:offsetX:stepX:layerCreator:",
                           static_cast<long>(style), static_cast<long>(direction), amplitude, width,
                           lineWidth, offsetX, stepX, std::move(layerCreator));
    return Ref<UUWave>(objc_cast<UUWave>(made));
}

UUWave* UUWave::initWithStyle(int64_t style, int64_t direction, double amplitude, double width,
                              double lineWidth, double offsetX, double stepX, LayerCreator layerCreator) {
    m_style = style;
    m_direction = direction;
    m_amplitude = amplitude;
    m_width = width;
    m_lineWidth = lineWidth;
    m_offsetX = offsetX;
    m_stepX = stepX;
    m_layerCreator = std::move(layerCreator);
    m_moveX = 0;
    m_layer = nullptr;
    return this;
}

Ref<CALayer> UUWave::createLayerWithFrame(CGRect frame) {
    Ref<CAShapeLayer> shape = CAShapeLayer::layer();
    setLayer(shape.get());
    shape->setFrame(frame);
    shape->setLineWidth(m_lineWidth);
    if (m_layerCreator) {
        // A copy: the creator may replace the wave's creator while it runs.
        LayerCreator creator = m_layerCreator;
        if (Ref<CALayer> shown = creator(shape.get()))
            return shown;
    }
    return shape;
}

void UUWave::moveOneStep() {
    int32_t n = truncateToInt32(m_moveX * 10 + m_stepX * 10);
    int32_t m = truncateToInt32(m_width * 10);
    int32_t r;
    if (m == 0)
        r = n;
    else if (m == -1)
        r = 0; // n % -1 is 0; spelled out because INT32_MIN % -1 overflows
    else
        r = n % m;
    float tenths = static_cast<float>(r) / 10.0f;
    // Through the runtime: a replacement of setMoveX: sees every step.
    msg_send(this, "setMoveX:", static_cast<double>(tenths));
}

void UUWave::clearLayer() {
    if (m_layer)
        m_layer->removeFromSuperlayer();
    setLayer(nullptr);
}
