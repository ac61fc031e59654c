#pragma once

// One wave: a sine or cosine line with its amplitude, wavelength (width), phase (offsetX), line
// width and speed (stepX), its current travel (moveX), and the shape layer that shows it.
//
// moveOneStep advances moveX by stepX in tenths of a point, wrapping at the wavelength: the
// products and their sum are taken in double precision, truncated to 32-bit integers (saturating,
// as the device's conversion does), the remainder keeps the sign of the travel, and the result is
// divided by ten in single precision. A wavelength under 0.1 point has no tenths to wrap at, so the
// travel then just grows.

#include "platform/graphics/Geometry.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/CAShapeLayer.h"
#include "runtime/NSObject.h"

#include <cstdint>
#include <functional>

class UUWave : public NSObject {
public:
    // Styles the wave's new shape layer and answers the layer to show (nil: the shape layer).
    using LayerCreator = std::function<Ref<CALayer>(CAShapeLayer*)>;

    static Class objcClass();
    static Ref<UUWave> waveWithStyle(int64_t style, int64_t direction, double amplitude, double width,
                                     double lineWidth, double offsetX, double stepX,
                                     LayerCreator layerCreator);

    UUWave() = default;
    UUWave* initWithStyle(int64_t style, int64_t direction, double amplitude, double width, double lineWidth,
                          double offsetX, double stepX, LayerCreator layerCreator);

    // Makes a new shape layer with the frame and the line width, lets the creator style it, and
    // answers the layer to add to the view. The previous layer is let go of, not removed.
    Ref<CALayer> createLayerWithFrame(CGRect frame);
    void moveOneStep();
    // Removes the layer from its superlayer and lets go of it.
    void clearLayer();

    const LayerCreator& layerCreator() const { return m_layerCreator; }
    void setLayerCreator(LayerCreator creator) { m_layerCreator = std::move(creator); }
    CAShapeLayer* layer() const { return m_layer.get(); }
    void setLayer(CAShapeLayer* layer) { m_layer = layer; }
    int64_t style() const { return m_style; }
    void setStyle(int64_t style) { m_style = style; }
    int64_t direction() const { return m_direction; }
    void setDirection(int64_t direction) { m_direction = direction; }
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    double amplitude() const { return m_amplitude; }
    void setAmplitude(double amplitude) { m_amplitude = amplitude; }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double lineWidth) { m_lineWidth = lineWidth; }
    double offsetX() const { return m_offsetX; }
    void setOffsetX(double offsetX) { m_offsetX = offsetX; }
    double stepX() const { return m_stepX; }
    void setStepX(double stepX) { m_stepX = stepX; }
    double moveX() const { return m_moveX; }
    void setMoveX(double moveX) { m_moveX = moveX; }

private:
    LayerCreator m_layerCreator;
    Ref<CAShapeLayer> m_layer;
    int64_t m_style = 0;
    int64_t m_direction = 0;
    double m_width = 0;
    double m_amplitude = 0;
    double m_lineWidth = 0;
    double m_offsetX = 0;
    double m_stepX = 0;
    double m_moveX = 0;
};

// A layer creator travels through message sends as a block does.
template <> struct objc_encoding<UUWave::LayerCreator> { static constexpr const char* value = "@?"; };
