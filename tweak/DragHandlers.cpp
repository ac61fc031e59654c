// Dragging an app button: it follows the finger inside the controller's view; below the launch
// line the waves stop and one haptic tick plays; letting go there launches the button's app and
// asks for the unlock, letting go above springs the button home and restarts the waves.

#include "platform/foundation/DeviceLog.h"
#include "tweak/HookSet.h"
#include "tweak/LockScreenServices.h"
#include "tweak/TweakState.h"

namespace {

constexpr long recognizerEnded = 3;

struct DragButton {
    const char* buttonGetter;
    Ref<NSString>* identifier;
    double (*edgeMargin)(double height);
    double dx;
};

const DragButton dragButtons[] = {
    {"button", &app1, [](double h) { return h * 0.5; }, -120},
    {"button2", &app2, [](double h) { return h * 0.5; }, -40},
    {"button3", &app3, [](double h) { return h / 3.0; }, 40},
    {"button4", &app4, [](double h) { return h * 0.25; }, 120},
};

// Lower bound first, so a view narrower than two margins gives the margin. The centre and margin
// are compared as single-precision copies; the upper bound is formed in double precision.
float clampCentre(double centre, double margin, double extent) {
    float c = static_cast<float>(centre);
    float m = static_cast<float>(margin);
    double upper = extent - m;
    if (c < m)
        return m;
    if (upper < c)
        return static_cast<float>(upper);
    return c;
}

void sendToWaveViews(id controller, const char* selector) {
    for (const char* getter : {"waveView", "waveView2", "waveView3"})
        msg_send(msg_send<id>(controller, getter), selector);
}

void springBack(id controller, const DragButton& which) {
    Ref<NSObject> owner = controller;
    const char* getter = which.buttonGetter;
    double dx = which.dx;
    animateWithDuration(0.2, [owner, getter, dx] {
        id button = msg_send<id>(owner, getter);
        msg_send(button, "setFrame:", homeFrame(dx));
        if (lstViewPresent())
            msg_send(button, "setFrame:", tallHomeFrame(dx));
    });
}

void handleDrag(id controller, id recognizer, const DragButton& which) {
    id v = msg_send<id>(recognizer, "view");
    CGPoint translation = msg_send<CGPoint>(recognizer, "translationInView:", v);
    CGPoint centre = msg_send<CGPoint>(v, "center");
    double h = msg_send<CGRect>(v, "frame").size.height;
    double m = which.edgeMargin(h);
    CGRect bounds = msg_send<CGRect>(msg_send<id>(controller, "view"), "frame");
    float x = clampCentre(centre.x, m, bounds.size.width);
    float y = clampCentre(centre.y, m, bounds.size.height);
    msg_send(v, "setCenter:", CGPointMake(translation.x + x, translation.y + y));
    msg_send(recognizer, "setTranslation:inView:", CGPointMake(0, 0), v);

    double line = static_cast<double>(devicesensitivity);
    if (msg_send<CGPoint>(v, "center").y > line) {
        sendToWaveViews(controller, "stop");
        if (!hapticplayed) {
            playSystemSound(1520);
            hapticplayed = true;
        }
        if (msg_send<long>(recognizer, "state") == recognizerEnded) {
            msg_send(teachable, "setHidden:", false);
            openstring = *which.identifier;
            launchApplication(*which.identifier);
            unlockFromLockScreen();
        }
    }
    if (msg_send<long>(recognizer, "state") == recognizerEnded) {
        hapticplayed = false;
        if (msg_send<CGPoint>(v, "center").y < line) {
            springBack(controller, which);
            msg_send(teachable, "setHidden:", true);
            sendToWaveViews(controller, "start");
        }
    }
}

} // namespace

void dragButton(id self, SEL, id recognizer) {
    handleDrag(self, recognizer, dragButtons[0]);
}
void dragButton2(id self, SEL, id recognizer) {
    handleDrag(self, recognizer, dragButtons[1]);
}
void dragButton3(id self, SEL, id recognizer) {
    handleDrag(self, recognizer, dragButtons[2]);
}
void dragButton4(id self, SEL, id recognizer) {
    handleDrag(self, recognizer, dragButtons[3]);
}

void buttontapEvent(id, SEL) {
    NSLog("buttontapEvent");
}
