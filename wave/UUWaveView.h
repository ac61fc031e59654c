#pragma once

// The view that shows and animates a set of waves. Each wave gets a shape layer the size of the
// view; all share one centre line, maxWaveAmplitude (the largest amplitude + line width of the
// waves whose layers the view made; it is never lowered). Once started, a display link in the
// common modes of the current run loop sends drawWave: (through a weak proxy) on every refresh;
// every second one advances each wave by its step and redraws it, so the waves move at half the
// display's rate. The view clips the waves to its bounds.
//
// A path is sampled every 10 points from x = 0 to the view's width plus half the line width, the
// sine or cosine taken in single precision of an argument computed in double precision and then
// rounded to single precision; the path then runs down the right edge and back along the bottom,
// half a line width outside the view. A wavelength of 0 (or one that is not a number) gives no
// curve and so an empty path: the wave draws nothing rather than undefined points. The same holds
// for a view wider than a million points, which would take millions of samples.
//
// The view owns its list of waves and its display link; destroying it stops the link first.

#include "platform/foundation/NSArray.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/runloop/CADisplayLink.h"
#include "platform/ui/UIView.h"
#include "wave/UUWave.h"

#include <cstdint>

class UUWaveView : public UIView {
public:
    static Class objcClass();

    UUWaveView() = default;
    ~UUWaveView() override;

    void addWaves(NSArray* waves);
    void createWaveLayer();
    void layoutSubviews();
    void drawOnce();
    // One display-link tick; the link itself is not used.
    void drawWave(CADisplayLink* displayLink);
    void start();
    void stop();
    void reset();
    void clear();

    Ref<UIBezierPath> createWavePath(int64_t style, int64_t direction, double amplitude, double width,
                                     double lineWidth, double offsetX, double moveX, double offsetY) const;

    NSMutableArray* waves() const { return m_waves.get(); }
    void setWaves(NSMutableArray* waves) { m_waves = waves; }
    double maxWaveAmplitude() const { return m_maxWaveAmplitude; }
    void setMaxWaveAmplitude(double value) { m_maxWaveAmplitude = value; }
    CADisplayLink* displayLink() const { return m_displayLink.get(); }
    void setDisplayLink(CADisplayLink* link) { m_displayLink = link; }
    bool doUpdate() const { return m_doUpdate; }
    void setDoUpdate(bool value) { m_doUpdate = value; }

private:
    // Sets the wave's layer's path from the wave's values.
    void redraw(UUWave* wave);

    Ref<NSMutableArray> m_waves;
    double m_maxWaveAmplitude = 0;
    Ref<CADisplayLink> m_displayLink;
    bool m_doUpdate = false;
};
