#pragma once

// A button of a navigation bar: a title, a style, a tint (nil: the bar's) and an action sent to its
// target through the runtime when it is tapped. The target is not owned, as on the device.

#include "platform/graphics/UIColor.h"
#include "runtime/NSObject.h"
#include "runtime/Weak.h"

#include <string>

enum UIBarButtonItemStyle : long { UIBarButtonItemStylePlain = 0, UIBarButtonItemStyleDone = 2 };

class UIBarButtonItem : public NSObject {
public:
    static Class objcClass();
    // [[UIBarButtonItem alloc] initWithTitle:style:target:action:]
    static Ref<UIBarButtonItem> itemWithTitle(const std::string& title, UIBarButtonItemStyle style,
                                              NSObject* target, SEL action);

    const std::string& title() const { return m_title; }
    UIBarButtonItemStyle style() const { return m_style; }
    Ref<NSObject> target() const { return m_target.load(); }
    SEL action() const { return m_action; }
    UIColor* tintColor() const { return m_tint.get(); }
    void setTintColor(UIColor* colour) { m_tint = colour; }
    // Sends the action to the target, with the item as the sender when the action takes one.
    void tap();

private:
    std::string m_title;
    UIBarButtonItemStyle m_style = UIBarButtonItemStylePlain;
    Weak<NSObject> m_target;
    SEL m_action = nullptr;
    Ref<UIColor> m_tint;
};
