#pragma once

// Gesture recognizers: attached to a view, they report state changes to their target through the
// runtime (the action takes the recognizer as its one argument). The host decides when a gesture
// begins, changes and ends, from a person's pointer or a script.

#include "platform/graphics/Geometry.h"
#include "platform/ui/UIView.h"

#include <vector>

enum UIGestureRecognizerState : long {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
};

class UIGestureRecognizer : public NSObject {
public:
    static Class objcClass();

    // initWithTarget:action: — the target is not owned, as on the device.
    void initWithTarget(NSObject* target, SEL action);
    UIView* view() const { return m_view.load().get(); }
    UIGestureRecognizerState state() const { return m_state; }
    bool cancelsTouchesInView() const { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(bool cancels) { m_cancelsTouchesInView = cancels; }

    // Sets the state and sends the action to the target (every state change is reported).
    void setStateAndNotify(UIGestureRecognizerState state);

    // The view the recognizer is attached to; UIView's addGestureRecognizer: calls this.
    void attachTo(UIView* view) { m_view = view; }

private:
    Weak<UIView> m_view;
    Weak<NSObject> m_target;
    SEL m_action = nullptr;
    UIGestureRecognizerState m_state = UIGestureRecognizerStatePossible;
    bool m_cancelsTouchesInView = true;
};

// A pan: the finger's movement since the last reset of its translation.
class UIPanGestureRecognizer : public UIGestureRecognizer {
public:
    static Class objcClass();

    // In the coordinates of view (nil: the window's); this stand-in's views do not rotate or
    // scale, so the translation is the same in every view.
    CGPoint translationInView(const UIView*) const { return m_translation; }
    void setTranslationInView(CGPoint translation, const UIView*) { m_translation = translation; }
    // The host moves the finger by delta points.
    void addTranslation(CGPoint delta) {
        m_translation = {m_translation.x + delta.x, m_translation.y + delta.y};
    }

private:
    CGPoint m_translation;
};

// addGestureRecognizer: and the view's recognizers, in the order they were added.
void UIViewAddGestureRecognizer(UIView* view, UIGestureRecognizer* recognizer);
std::vector<UIGestureRecognizer*> UIViewGestureRecognizers(const UIView* view);
