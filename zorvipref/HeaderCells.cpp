#include "zorvipref/HeaderCells.h"
#include "colour/LockBackground.h"
#include "colour/WaveColors.h"
#include "platform/foundation/NSArray.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIScreen.h"
#include "wave/WaveSet.h"
#include "zorvipref/BundleState.h"

namespace {

double screenWidth() {
    return CGRectGetWidth(UIScreen::mainScreen()->bounds());
}

// Each wave's layer creator clears the background and fill and strokes with its colour global,
// read when the layer is made.
UUWave::LayerCreator strokedWith(Ref<UIColor>* colour) {
    return [colour](CAShapeLayer* layer) -> Ref<CALayer> {
        msg_send(layer, "setBackgroundColor:", UIColor::clearColor());
        msg_send(layer, "setFillColor:", UIColor::clearColor());
        msg_send(layer, "setStrokeColor:", colour->get());
        return layer;
    };
}

// Three wave views with the frame, each holding its one wave, in order.
std::array<Ref<UUWaveView>, 3> makeWaveViews(CGRect frame, const std::array<Ref<UIColor>*, 3>& colours) {
    std::array<Ref<UUWave>, 3> waves;
    for (size_t i = 0; i < 3; ++i)
        waves[i] = makeStandardWave(i, screenWidth(), strokedWith(colours[i]));
    std::array<Ref<UUWaveView>, 3> views;
    for (size_t i = 0; i < 3; ++i) {
        views[i] = makeViewWithFrame<UUWaveView>(frame);
        msg_send(views[i], "addWaves:", NSArray::arrayWithObjects({Ref<NSObject>(waves[i])}));
    }
    return views;
}

// Adds the three views to the header in order, records them in its properties when asked (a build
// does, a reload does not), then starts them in order.
void showWaveViews(id header, const std::array<Ref<UUWaveView>, 3>& views, bool record) {
    for (const auto& view : views)
        msg_send(header, "addSubview:", view);
    if (record) {
        msg_send(header, "setWaveView:", views[0]);
        msg_send(header, "setWaveView2:", views[1]);
        msg_send(header, "setWaveView3:", views[2]);
    }
    for (const auto& view : views)
        msg_send(view, "start");
}

// The wallpaper band: the image scaled to cover W x 150, masked to that rectangle.
Ref<UIImageView> makeWallpaperBand(Ref<UIImage>& image) {
    double w = screenWidth();
    image = loadLockBackgroundImage();
    Ref<UIImageView> band = make_object<UIImageView>();
    msg_send<id>(band, "initWithImage:", image);
    msg_send(band, "setFrame:", CGRectMake(0, 0, w, 150));
    Ref<CAShapeLayer> mask = CAShapeLayer::layer();
    mask->setPath(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, w, 150))->cgPath().get());
    msg_send(msg_send<id>(band, "layer"), "setMask:", mask);
    msg_send(band, "setContentMode:", 2L);
    return band;
}

void resolveColours(const Ref<UIImage>& image) {
    resolveWaveColors(
        enableblend, enablecustom, [&image] { return image; }, customColorValueFromFile, color, color2,
        color3);
}

void reloadCallback(void*, void*, const char*, const void*, const void*) {
    reload();
}

WaveHeaderCell* asCell(id self) {
    return static_cast<WaveHeaderCell*>(self);
}

template <Ref<UUWaveView> WaveHeaderCell::*member>
void addWaveViewProperty(Class c, const char* getter, const char* setter) {
    class_addMethod(
        c, getter, +[](id self, SEL) -> id { return (asCell(self)->*member).get(); });
    class_addMethod(
        c, setter, +[](id self, SEL, id view) { asCell(self)->*member = objc_cast<UUWaveView>(view); });
}

template <Ref<UIView> WaveHeaderCell::*member>
void addViewProperty(Class c, const char* getter, const char* setter) {
    class_addMethod(
        c, getter, +[](id self, SEL) -> id { return (asCell(self)->*member).get(); });
    class_addMethod(
        c, setter, +[](id self, SEL, id view) { asCell(self)->*member = objc_cast<UIView>(view); });
}

void addHeaderMethods(Class c, double height, IMP initImp) {
    class_addMethod(c, sel_registerName("initWithStyle:reuseIdentifier:specifier:"), initImp, "@@:q@@");
    class_addMethod(
        c, "initWithSpecifier:", +[](id self, SEL, id specifier) -> id {
            return msg_send<id>(self, "initWithStyle:reuseIdentifier:specifier:", 0L, nullptr, specifier);
        });
    if (height == 150)
        class_addMethod(
            c, "preferredHeightForWidth:", +[](id, SEL, double) -> double { return 150; });
    else
        class_addMethod(
            c, "preferredHeightForWidth:", +[](id, SEL, double) -> double { return 100; });
    addViewProperty<&WaveHeaderCell::bg>(c, "bg", "setBg:");
    addWaveViewProperty<&WaveHeaderCell::secondWaveView>(c, "secondWaveView", "setSecondWaveView:");
    addWaveViewProperty<&WaveHeaderCell::waveView>(c, "waveView", "setWaveView:");
    addWaveViewProperty<&WaveHeaderCell::waveView2>(c, "waveView2", "setWaveView2:");
    addWaveViewProperty<&WaveHeaderCell::waveView3>(c, "waveView3", "setWaveView3:");
    addViewProperty<&WaveHeaderCell::imgView>(c, "imgView", "setImgView:");
}

id initWallpaperHeader(id self, SEL cmd, long style, id reuseIdentifier, id specifier) {
    self = msg_send_super<id>(headercellorva::objcClass(), self, cmd, style, reuseIdentifier, specifier);
    if (!self)
        return nullptr;
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &reloadCallback,
                                    reloadNotification, nullptr, 0);
    reloadview = objc_cast<UIView>(self);
    Ref<UIImage> image;
    msg_send(self, "addSubview:", makeWallpaperBand(image));
    resolveColours(image);
    auto views = makeWaveViews(CGRectMake(0, 50, screenWidth(), 150), {&color, &color2, &color3});
    showWaveViews(self, views, true);
    return self;
}

id initPlainHeader(id self, SEL cmd, long style, id reuseIdentifier, id specifier) {
    self = msg_send_super<id>(orvaheadercell::objcClass(), self, cmd, style, reuseIdentifier, specifier);
    if (!self)
        return nullptr;
    corona = UIColor::whiteColor();
    msg_send(self, "setBackgroundColor:", purpleColour());
    auto views = makeWaveViews(CGRectMake(0, 15, screenWidth(), 100), {&corona, &corona, &corona});
    showWaveViews(self, views, true);
    return self;
}

} // namespace

Class headercellorva::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("headercellorva", PSTableCell::objcClass(), &instance_factory<headercellorva>);
        addHeaderMethods(c, 150, imp_cast(&initWallpaperHeader));
        return c;
    }();
    return cls;
}

Class orvaheadercell::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("orvaheadercell", PSTableCell::objcClass(), &instance_factory<orvaheadercell>);
        addHeaderMethods(c, 100, imp_cast(&initPlainHeader));
        return c;
    }();
    return cls;
}

extern "C" __attribute__((visibility("default"))) void reload() {
    Ref<UIView> header = reloadview.load();
    if (!header)
        return;
    Ref<UIImage> image;
    msg_send(header, "addSubview:", makeWallpaperBand(image));
    resolveColours(image);
    auto views = makeWaveViews(CGRectMake(0, 50, screenWidth(), 150), {&color, &color2, &color3});
    showWaveViews(header, views, false);
}
