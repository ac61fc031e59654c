#pragma once

// An on/off switch: a rounded track, filled with the on tint when on (green unless set) and light
// grey when off, and a white knob at the end the value names. 51 x 31 points.

#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIView.h"

class UISwitch : public UIView {
public:
    static Class objcClass();
    static Ref<UISwitch> switchAt(CGPoint origin);
    static constexpr CGSize size{51, 31};

    UISwitch();
    bool isOn() const { return m_on; }
    void setOn(bool on);
    // nil for the platform's green.
    void setOnTintColor(UIColor* colour);

private:
    void redraw();

    bool m_on = false;
    Ref<UIColor> m_onTint;
    Ref<CAShapeLayer> m_track;
    Ref<CAShapeLayer> m_knob;
};
