#pragma once

// Buttons: a view showing an image per state, sending its actions to targets through the runtime
// when a control event happens (the host fires UIControlEventPrimaryActionTriggered for a tap).

#include "platform/graphics/UIImage.h"
#include "platform/ui/UIView.h"

#include <map>
#include <vector>

using UIControlEvents = unsigned long;
constexpr UIControlEvents UIControlEventTouchUpInside = 1ul << 6;
constexpr UIControlEvents UIControlEventPrimaryActionTriggered = 1ul << 13;

using UIControlState = unsigned long;
constexpr UIControlState UIControlStateNormal = 0;

enum UIButtonType : long { UIButtonTypeCustom = 0, UIButtonTypeSystem = 1 };

class UIButton : public UIView {
public:
    static Class objcClass();
    static Ref<UIButton> buttonWithType(UIButtonType type);

    UIButtonType buttonType() const { return m_type; }

    // Targets are not owned, as on the device.
    void addTarget(NSObject* target, SEL action, UIControlEvents events);
    void sendActionsForControlEvents(UIControlEvents events);

    // The normal state's image is the one shown (nil shows nothing).
    void setImage(UIImage* image, UIControlState state);
    UIImage* imageForState(UIControlState state) const;

private:
    struct TargetAction {
        Weak<NSObject> target;
        SEL action;
        UIControlEvents events;
    };

    UIButtonType m_type = UIButtonTypeCustom;
    std::vector<TargetAction> m_actions;
    std::map<UIControlState, Ref<UIImage>> m_images;
};
