#pragma once

// The three waves both product libraries draw, in order (the lock screen's strip and the settings
// header): sines with amplitudes 20, 18 and 22, line width 2, phases 100, 90 and 90, steps 3, 2
// and 2.5, the first travelling in direction 1 and the others in direction 0. Their wavelength is
// the screen's width.

#include "wave/UUWave.h"

#include <array>
#include <cstdint>

struct WaveParameters {
    int64_t style;
    int64_t direction;
    double amplitude;
    double lineWidth;
    double offsetX;
    double stepX;
};

inline constexpr std::array<WaveParameters, 3> standardWaveSet{{
    {0, 1, 20.0, 2.0, 100.0, 3.0},
    {0, 0, 18.0, 2.0, 90.0, 2.0},
    {0, 0, 22.0, 2.0, 90.0, 2.5},
}};

// Wave `index` (0 to 2) of the set with the given wavelength and layer creator.
inline Ref<UUWave> makeStandardWave(size_t index, double width, UUWave::LayerCreator layerCreator) {
    const WaveParameters& p = standardWaveSet.at(index);
    return UUWave::waveWithStyle(p.style, p.direction, p.amplitude, width, p.lineWidth, p.offsetX, p.stepX,
                                 std::move(layerCreator));
}

// A creator that clears the background and the fill and strokes in the given colour.
inline UUWave::LayerCreator strokeOnlyCreator(CGColor stroke) {
    return [stroke](CAShapeLayer* layer) -> Ref<CALayer> {
        layer->setBackgroundColor(CGColor{0, 0, 0, 0});
        layer->setFillColor(CGColor{0, 0, 0, 0});
        layer->setStrokeColor(stroke);
        return layer;
    };
}
