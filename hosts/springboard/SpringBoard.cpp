#include "hosts/springboard/SpringBoard.h"
#include "hosts/common/ObjectJson.h"
#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTask.h"
#include "platform/foundation/SystemVersion.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/runloop/RunLoop.h"
#include "platform/substrate/Loader.h"
#include "platform/ui/ApplicationIcons.h"
#include "platform/ui/AudioServices.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <dlfcn.h>

namespace {

constexpr const char* wallpaperPath = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
constexpr size_t maxWallpaperBytes = 128u << 20;

// The lock-screen manager's class methods need the host; there is one per process.
SpringBoard* runningHost = nullptr;

// A property of the controller that a library may have added: nil when nobody added it.
id controllerProperty(NSObject* controller, const char* getter) {
    SEL selector = sel_registerName(getter);
    return controller && controller->respondsToSelector(selector) ? msg_send<id>(controller, selector)
                                                                  : nullptr;
}

NSObject* exportedObject(const char* name) {
    void* symbol = dlsym(RTLD_DEFAULT, name);
    return symbol ? *static_cast<NSObject**>(symbol) : nullptr;
}

Json exportedString(const char* name) {
    const std::string* text = string_value(exportedObject(name));
    return text ? Json::string(*text) : Json::null();
}

Json exportedBool(const char* name) {
    void* symbol = dlsym(RTLD_DEFAULT, name);
    return symbol ? Json::boolean(*static_cast<bool*>(symbol)) : Json::null();
}

Ref<UIView> imageView(CGImage* image, CGRect frame) {
    Ref<UIView> view = makeViewWithFrame<UIView>(frame);
    view->layer()->setContents(image);
    return view;
}

} // namespace

// Tuesday 8 December 2026, 9:41 UTC: what a headless lock screen shows at its start.
constexpr std::time_t defaultClockStart = 1796722860;

std::unique_ptr<SpringBoard> SpringBoard::start(const SpringBoardOptions& options, Trace& trace,
                                                std::string& error) {
    std::unique_ptr<SpringBoard> host(new SpringBoard(trace));
    // What a loaded library throws while the screen is built ends the start with its message.
    try {
        if (!host->setUp(options, error))
            return nullptr;
    } catch (const std::exception& thrown) {
        error = std::string("the lock screen could not be built: ") + thrown.what();
        NSLog("SpringBoard: " + error);
        return nullptr;
    }
    return host;
}

SpringBoard::~SpringBoard() {
    ProcessTable::unregisterSelf();
    DeviceLog::setObserver(nullptr);
    AudioServices::setObserver(nullptr);
    UIApplication::sharedApplication()->setLaunchHandler(nullptr);
    if (runningHost == this)
        runningHost = nullptr;
}

bool SpringBoard::setUp(const SpringBoardOptions& options, std::string& error) {
    DeviceRoot::setCurrent(options.root);
    ProcessTable::registerSelf("SpringBoard");
    runningHost = this;
    RunLoop* loop = RunLoop::main();
    if (options.virtualClock)
        loop->useVirtualClock();
    m_trace.setClock([loop] { return loop->nowMilliseconds(); });
    DeviceLog::setProcessName("SpringBoard");
    DeviceLog::setObserver([this](std::string_view message) {
        m_trace.write("log", Json::Object().add("message", Json::string(message)));
    });
    AudioServices::setObserver([this](SystemSoundID sound) {
        m_trace.write("sound", Json::Object().add("id", Json::number(sound)));
    });

    UIScreen* screen = UIScreen::mainScreen();
    screen->configureFromDevice();
    loop->setRefreshRate(screen->refreshRate());
    // The clock's first face is drawn meanwhile (see LockClock).
    if (options.virtualClock)
        m_clock = std::make_unique<LockClock>(options.clockStart.value_or(defaultClockStart), true,
                                              screen->scale());
    else
        m_clock = std::make_unique<LockClock>(std::time(nullptr) -
                                                  static_cast<std::time_t>(loop->nowMilliseconds() / 1000),
                                              false, screen->scale());
    UIKitRegisterClasses();

    m_system = SystemVersion::productVersion();
    if (m_system.empty()) {
        error = "the device has no system version (" + DeviceRoot::current() + ")";
        return false;
    }
    m_classes = registerLockScreenClasses(SystemVersion::isAtLeast({13, 0, 0}));
    class_addMethod(
        object_getMetaclass(m_classes.lockScreenManager), "sharedInstance",
        +[](id, SEL) -> id { return runningHost ? runningHost->m_lockScreenManager.get() : nullptr; });
    class_addMethod(
        m_classes.lockScreenManager,
        "unlockUIFromSource:withOptions:", +[](id, SEL, int32_t source, id options) -> bool {
            if (runningHost)
                runningHost->unlockRequested(source, options);
            return true;
        });
    m_lockScreenManager = class_createInstance(m_classes.lockScreenManager);
    // Classes other installed libraries would bring, registered before anything loads.
    for (const auto& name : options.withClasses) {
        if (objc_getClass(name.c_str())) {
            NSLog("SpringBoard: --with-class " + name +
                  ": a class of that name is registered already; not added");
            continue;
        }
        Class extra = objc_allocateClassPair(NSObject::objcClass(), name.c_str());
        objc_registerClassPair(extra);
    }
    UIApplication::sharedApplication()->setLaunchHandler(
        [this](NSObject* identifier, bool suspended) { return launchRequested(identifier, suspended); });

    m_safeMode = options.safeMode;
    if (m_safeMode)
        NSLog("SpringBoard: safe mode: no tweaks loaded" +
              (m_safeMode->empty() ? std::string()
                                   : "; the last one loaded before the crash was " + *m_safeMode));
    else
        Substrate::loadLibrariesForHost({"com.apple.springboard", "SpringBoard"});

    m_controller = objc_cast<UIViewController>(class_createInstance(m_classes.controller).get());
    m_authentication =
        m_classes.modern ? class_createInstance(m_classes.authentication) : Ref<NSObject>(m_controller);
    buildScreen();
    makeRenderer();
    m_trace.write("ready");
    return true;
}

void SpringBoard::buildScreen() {
    UIScreen* screen = UIScreen::mainScreen();
    CGRect bounds = screen->bounds();
    double scale = screen->scale();
    m_screen = makeViewWithFrame<UIView>(bounds);
    m_screen->setBackgroundColor(UIColor::blackColor());

    if (Ref<NSData> data = NSData::dataWithContentsOfFile(wallpaperPath, maxWallpaperBytes)) {
        Ref<NSArray> images = CPBitmapCreateImagesFromData(data, nullptr, 1, nullptr);
        if (auto* first = images ? objc_cast<CGImage>(images->objectAtIndex(0)) : nullptr)
            m_screen->addSubview(imageView(first, bounds));
    }
    // The time and date: redrawn as each minute turns, on the host's clock.
    m_clockFace = makeViewWithFrame<UIView>(CGRectMake(0, 0, bounds.size.width, 200));
    m_screen->addSubview(m_clockFace);
    m_clock->showIn(m_clockFace);

    UIView* lockScreen = m_controller->view();
    m_screen->addSubview(lockScreen);
    if (m_safeMode) {
        // The banner lies above the lock screen: a crash put the device here, and a Respring leaves.
        Ref<UIView> banner =
            makeViewWithFrame<UIView>(CGRectMake(0, 0, bounds.size.width, safeModeBannerHeight));
        banner->setBackgroundColor(UIColor::colorWithRed(0.85, 0.33, 0.1, 0.95).get());
        std::string culprit = m_safeMode->empty() ? "a tweak" : *m_safeMode;
        if (Ref<CGImage> title = textImage("Safe Mode", "DejaVu Sans Bold 20px", scale))
            banner->addSubview(
                imageView(title, CGRectMake(16, 48, title->width() / scale, title->height() / scale)));
        if (Ref<CGImage> text = textImage(culprit + " stopped the lock screen. Tap here to restart.",
                                          "DejaVu Sans 13px", scale))
            banner->addSubview(
                imageView(text, CGRectMake(16, 78, text->width() / scale, text->height() / scale)));
        m_screen->addSubview(banner);
    }
    for (const auto& subview : lockScreen->subviews()) {
        if (subview->isKindOfClass(m_classes.quickActions))
            m_quickActions = subview;
    }
    UIApplication::sharedApplication()->setRootView(m_screen);
}

void SpringBoard::appear() {
    msg_send(m_controller, "viewDidAppear:", true);
}

void SpringBoard::showNewHint() {
    // An earlier hint view stays where it is; the newest one is the hint the state reports.
    CGRect bounds = m_controller->view()->bounds();
    m_hint = makeViewWithFrame<UIView>(
        CGRectMake(bounds.size.width / 2 - 90, bounds.size.height - 44, 180, 26), m_classes.hint);
    double scale = UIScreen::mainScreen()->scale();
    if (Ref<CGImage> text = textImage("Swipe up to open", "DejaVu Sans 15px", scale)) {
        double width = text->width() / scale, height = text->height() / scale;
        m_hint->addSubview(imageView(text, CGRectMake((180 - width) / 2, (26 - height) / 2, width, height)));
    }
    m_controller->view()->addSubview(m_hint);
}

void SpringBoard::layoutQuickActions() {
    if (m_quickActions)
        msg_send(m_quickActions, "_layoutQuickActionButtons");
}

void SpringBoard::authenticate(bool succeeded) {
    msg_send(m_authentication, "setAuthenticated:", succeeded);
    if (!succeeded)
        return;
    m_locked = false;
    m_unlockRequested = false;
    if (!m_pendingLaunch.empty())
        m_foregroundApp = m_pendingLaunch;
}

void SpringBoard::lock() {
    m_locked = true;
    m_foregroundApp.clear();
    m_pendingLaunch.clear();
    m_unlockRequested = false;
    appear();
}

void SpringBoard::respring() {
    Ref<NSTask> task = NSTask::task();
    task->setLaunchPath("/usr/bin/killall");
    task->setArguments({"backboardd"});
    task->launch();
}

UIView* SpringBoard::appButton(int index) const {
    static const char* getters[] = {"button", "button2", "button3", "button4"};
    if (index < 1 || index > 4)
        return nullptr;
    return objc_cast<UIView>(controllerProperty(m_controller, getters[index - 1]));
}

UIPanGestureRecognizer* SpringBoard::panRecognizer(int index) const {
    UIView* button = appButton(index);
    if (!button)
        return nullptr;
    for (UIGestureRecognizer* recognizer : UIViewGestureRecognizers(button)) {
        if (auto* pan = objc_cast<UIPanGestureRecognizer>(recognizer))
            return pan;
    }
    return nullptr;
}

bool SpringBoard::pan(int button, PanPhase phase, CGPoint delta, std::string& error) {
    Ref<UIPanGestureRecognizer> recognizer = panRecognizer(button);
    if (!recognizer) {
        error = "button " + std::to_string(button) +
                (appButton(button) ? " has no pan recognizer" : " does not exist");
        return false;
    }
    RunLoop* loop = RunLoop::main();
    switch (phase) {
    case PanPhase::Begin:
        // While a finger drags, the main run loop runs in its tracking mode.
        loop->setCurrentMode(UITrackingRunLoopMode);
        recognizer->setTranslationInView({0, 0}, nullptr);
        recognizer->setStateAndNotify(UIGestureRecognizerStateBegan);
        break;
    case PanPhase::Move:
        recognizer->addTranslation(delta);
        recognizer->setStateAndNotify(UIGestureRecognizerStateChanged);
        break;
    case PanPhase::End:
    case PanPhase::Cancel:
        recognizer->setTranslationInView({0, 0}, nullptr);
        recognizer->setStateAndNotify(phase == PanPhase::End ? UIGestureRecognizerStateEnded
                                                             : UIGestureRecognizerStateCancelled);
        loop->setCurrentMode(NSDefaultRunLoopMode);
        break;
    }
    return true;
}

bool SpringBoard::tap(int button, std::string& error) {
    auto* control = objc_cast<UIButton>(appButton(button));
    if (!control) {
        error = "button " + std::to_string(button) + " does not exist";
        return false;
    }
    control->sendActionsForControlEvents(UIControlEventPrimaryActionTriggered);
    return true;
}

int SpringBoard::appButtonAt(CGPoint screenPoint) const {
    CGPoint point = m_controller->view()->convertPointFromView(screenPoint, nullptr);
    // Later buttons lie above earlier ones.
    for (int i = 4; i >= 1; --i) {
        UIView* button = appButton(i);
        if (!button || button->isHidden())
            continue;
        CGRect frame = button->frame();
        if (point.x >= CGRectGetMinX(frame) && point.x < CGRectGetMaxX(frame) &&
            point.y >= CGRectGetMinY(frame) && point.y < CGRectGetMaxY(frame))
            return i;
    }
    return 0;
}

bool SpringBoard::launchRequested(NSObject* identifier, bool suspended) {
    const std::string* bundle = string_value(identifier);
    bool accepted = bundle && installedApp(identifier).has_value();
    m_trace.write("launch", Json::Object()
                                .add("bundle", bundle ? Json::string(*bundle) : Json::null())
                                .add("suspended", Json::boolean(suspended))
                                .add("accepted", Json::boolean(accepted)));
    if (!accepted)
        return false;
    // A locked device brings the app up once the person has authenticated.
    if (m_locked)
        m_pendingLaunch = *bundle;
    else
        m_foregroundApp = *bundle;
    return true;
}

void SpringBoard::unlockRequested(int source, NSObject* options) {
    m_trace.write("unlock",
                  Json::Object().add("source", Json::number(source)).add("options", objectJson(options)));
    if (m_locked)
        m_unlockRequested = true;
}

Json SpringBoard::viewState(UIView* view) const {
    if (!view)
        return Json::null();
    auto* button = objc_cast<UIButton>(view);
    return Json::Object()
        .add("frame", frameJson(view->frame()))
        // Where it is drawn: apart from the frame while an animation moves it.
        .add("drawnFrame", frameJson(view->layer()->frame()))
        .add("hidden", Json::boolean(view->isHidden()))
        .add("hasImage", Json::boolean(button && button->imageForState(UIControlStateNormal)))
        .done();
}

Json SpringBoard::waveViewState(NSObject* waveView) const {
    auto* view = objc_cast<UIView>(waveView);
    if (!view)
        return Json::null();
    std::vector<double> moves;
    Json stroke = Json::null();
    if (auto* waves = objc_cast<NSArray>(msg_send<id>(waveView, "waves"))) {
        for (size_t i = 0; i < waves->count(); ++i) {
            NSObject* wave = waves->objectAtIndex(i);
            moves.push_back(msg_send<double>(wave, "moveX"));
            if (i == 0) {
                if (auto* layer = objc_cast<CAShapeLayer>(msg_send<id>(wave, "layer")))
                    stroke = colourJson(layer->strokeColor());
            }
        }
    }
    return Json::Object()
        .add("frame", frameJson(view->frame()))
        .add("running", Json::boolean(msg_send<id>(waveView, "displayLink") != nullptr))
        .add("moveX", Json::numbers(moves))
        .add("stroke", stroke)
        .done();
}

Json SpringBoard::globalsState() const {
    Json::Object globals;
    void* line = dlsym(RTLD_DEFAULT, "devicesensitivity");
    globals.add("devicesensitivity", line ? Json::number(*static_cast<int32_t*>(line)) : Json::null());
    globals.add("openstring", exportedString("openstring"));
    for (const char* name : {"app1", "app2", "app3", "app4"})
        globals.add(name, exportedString(name));
    for (const char* name : {"enableblend", "enablecustom", "hidequick"})
        globals.add(name, exportedBool(name));
    for (const char* name : {"color", "color2", "color3"})
        globals.add(name, colourJson(objc_cast<UIColor>(exportedObject(name))));
    return globals.done();
}

Json SpringBoard::state() const {
    UIScreen* screen = UIScreen::mainScreen();
    std::vector<Json> buttons, waveViews;
    for (int i = 1; i <= 4; ++i)
        buttons.push_back(viewState(appButton(i)));
    for (const char* getter : {"waveView", "waveView2", "waveView3"})
        waveViews.push_back(waveViewState(controllerProperty(m_controller, getter)));
    Json quick = Json::Object()
                     .add("hidden", Json::boolean(m_quickActions && m_quickActions->isHidden()))
                     .add("insetY", m_quickActions ? Json::number(msg_send<double>(m_quickActions, "_insetY"))
                                                   : Json::null())
                     .done();
    return Json::Object()
        .add("screen", Json::Object()
                           .add("width", Json::number(screen->bounds().size.width))
                           .add("height", Json::number(screen->bounds().size.height))
                           .add("scale", Json::number(screen->scale()))
                           .done())
        .add("system", Json::string(m_system))
        .add("controller", Json::string(m_controller->className()))
        .add("buttons", Json::array(buttons))
        .add("waveViews", Json::array(waveViews))
        .add("hint",
             m_hint ? Json::Object().add("hidden", Json::boolean(m_hint->isHidden())).done() : Json::null())
        .add("quickActions", quick)
        .add("globals", globalsState())
        .add("safeMode", m_safeMode ? Json::string(*m_safeMode) : Json::null())
        .add("locked", Json::boolean(m_locked))
        .add("foreground", m_foregroundApp.empty() ? Json::null() : Json::string(m_foregroundApp))
        .done();
}
