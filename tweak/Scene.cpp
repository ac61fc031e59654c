// The lock-screen scene, built when the lock-screen controller loads its view: three moving waves
// in a strip along the bottom, and four app buttons that drag.

#include "colour/LockBackground.h"
#include "colour/WaveColors.h"
#include "platform/foundation/NSArray.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "tweak/HookSet.h"
#include "tweak/LockScreenServices.h"
#include "tweak/Settings.h"
#include "tweak/TweakState.h"
#include "wave/UUWave.h"
#include "wave/UUWaveView.h"
#include "wave/WaveSet.h"

namespace {

constexpr UIControlEvents primaryActionTriggered = 8192;

// Each wave's layer creator clears the background and fill and strokes with its colour, taking
// the colour's value at the moment the layer is made.
UUWave::LayerCreator strokedWith(Ref<UIColor>* colour) {
    return [colour](CAShapeLayer* layer) -> Ref<CALayer> {
        layer->setBackgroundColor(UIColor::clearColor().get());
        layer->setFillColor(UIColor::clearColor().get());
        layer->setStrokeColor(colour->get());
        return layer;
    };
}

void setLaunchLine() {
    double hs = CGRectGetHeight(mainScreenBounds());
    if (hs == 812) {
        devicesensitivity = 750;
        if (lstViewPresent())
            devicesensitivity = 710;
    }
    if (hs > 812) {
        devicesensitivity = 830;
        if (lstViewPresent())
            devicesensitivity = 790;
    }
    if (hs < 812) {
        if (hs > 700) {
            devicesensitivity = 680;
            if (lstViewPresent())
                devicesensitivity = 640;
        } else {
            devicesensitivity = 620;
            if (lstViewPresent())
                devicesensitivity = 580;
        }
    }
}

// The colour of each wave of the standard set, in its order.
Ref<UIColor>* const waveColours[] = {&color, &color2, &color3};

struct ButtonWiring {
    const char* handler;
    const char* setter;
    Ref<NSString>* identifier;
};

const ButtonWiring buttonWiring[] = {
    {"dragButton:", "setButton:", &app1},
    {"dragButton2:", "setButton2:", &app2},
    {"dragButton3:", "setButton3:", &app3},
    {"dragButton4:", "setButton4:", &app4},
};

} // namespace

// The tweak's colour rule: the wallpaper only when blending, custom values through the settings
// file reader.
void resolveWaveColors() {
    resolveWaveColors(
        enableblend, enablecustom, loadLockBackgroundImage,
        [](std::string_view key) { return readPlistSetting(key); }, color, color2, color3);
}

template <HookSet S> void replacedViewDidLoad(id self, SEL _cmd) {
    if (Kept<S>::viewDidLoad)
        Kept<S>::viewDidLoad(self, _cmd);
    resolveWaveColors();
    setLaunchLine();
    loadAppIdentifiers();

    // The icons are asked of the image class, so that whoever provides them on the device can.
    Ref<UIImage> icons[4];
    for (int i = 0; i < 4; ++i)
        icons[i] = objc_cast<UIImage>(msg_send<id>(
            objc_classObject(UIImage::objcClass()), "_applicationIconImageForBundleIdentifier:format:scale:",
            static_cast<id>(buttonWiring[i].identifier->get()), 2, 2.0));

    Ref<UUWave> waves[3];
    for (size_t i = 0; i < 3; ++i)
        waves[i] = makeStandardWave(i, CGRectGetWidth(mainScreenBounds()), strokedWith(waveColours[i]));

    bool lst = lstViewPresent();
    auto* view = objc_cast<UIView>(msg_send<id>(self, "view"));
    if (!view)
        return;
    double h = CGRectGetHeight(view->frame());
    double ws = CGRectGetWidth(mainScreenBounds());
    CGRect strip = lst ? CGRectMake(0, h - 40 - 55, ws, 95) : CGRectMake(0, h - 55, ws, 55);

    Ref<UUWaveView> waveViews[3];
    for (int i = 0; i < 3; ++i) {
        waveViews[i] = makeViewWithFrame<UUWaveView>(strip);
        msg_send(waveViews[i], "addWaves:", NSArray::arrayWithObjects({Ref<NSObject>(waves[i])}));
    }
    for (const auto& waveView : waveViews)
        view->addSubview(waveView);
    msg_send(self, "setWaveView:", waveViews[0]);
    msg_send(self, "setWaveView2:", waveViews[1]);
    msg_send(self, "setWaveView3:", waveViews[2]);
    for (const auto& waveView : waveViews)
        msg_send(waveView, "start");

    for (int i = 0; i < 4; ++i) {
        const auto& wiring = buttonWiring[i];
        auto recognizer = make_object<UIPanGestureRecognizer>();
        msg_send<id>(recognizer, "initWithTarget:action:", self, sel_registerName(wiring.handler));
        msg_send(recognizer, "setCancelsTouchesInView:", true);
        Ref<UIButton> button = UIButton::buttonWithType(UIButtonTypeCustom);
        msg_send(button, "addTarget:action:forControlEvents:", self, sel_registerName("buttontapEvent"),
                 primaryActionTriggered);
        msg_send(button, "setImage:forState:", icons[i], UIControlStateNormal);
        msg_send(button, "addGestureRecognizer:", recognizer);
        msg_send(self, wiring.setter, button);
        view->addSubview(button);
    }
}

template void replacedViewDidLoad<HookSet::Modern>(id, SEL);
template void replacedViewDidLoad<HookSet::Legacy>(id, SEL);
