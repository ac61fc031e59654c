#include "platform/ui/UISwitch.h"
#include "platform/graphics/UIBezierPath.h"

Class UISwitch::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UISwitch", UIView::objcClass(), &instance_factory<UISwitch>);
        class_addMethod(
            c, "isOn", +[](id self, SEL) -> bool { return static_cast<UISwitch*>(self)->isOn(); });
        class_addMethod(
            c, "setOn:", +[](id self, SEL, bool on) { static_cast<UISwitch*>(self)->setOn(on); });
        class_addMethod(
            c, "setOnTintColor:", +[](id self, SEL, id colour) {
                static_cast<UISwitch*>(self)->setOnTintColor(objc_cast<UIColor>(colour));
            });
        return c;
    }();
    return cls;
}

Ref<UISwitch> UISwitch::switchAt(CGPoint origin) {
    return makeViewWithFrame<UISwitch>(CGRectMake(origin.x, origin.y, size.width, size.height));
}

UISwitch::UISwitch() : m_track(CAShapeLayer::layer()), m_knob(CAShapeLayer::layer()) {
    m_track->setPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, size.width, size.height), size.height / 2)
            ->cgPath()
            .get());
    layer()->addSublayer(m_track);
    m_knob->setFillColor(UIColor::whiteColor().get());
    layer()->addSublayer(m_knob);
    redraw();
}

void UISwitch::setOn(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    redraw();
}

void UISwitch::setOnTintColor(UIColor* colour) {
    m_onTint = colour;
    redraw();
}

void UISwitch::redraw() {
    Ref<UIColor> green = UIColor::colorWithRed(0.20, 0.78, 0.35, 1);
    Ref<UIColor> off = UIColor::colorWithWhite(0.89, 1);
    m_track->setFillColor(m_on ? (m_onTint ? m_onTint : green).get() : off.get());
    double knob = size.height - 4;
    double x = m_on ? size.width - 2 - knob : 2;
    m_knob->setPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(x, 2, knob, knob), knob / 2)->cgPath().get());
}
