#include "hosts/springboard/SpringBoard.h"
#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/SystemVersion.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform/substrate/Loader.h"
#include "platform/ui/AudioServices.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"

#include <ctime>

namespace {

// The lock-screen manager's class methods need the host; there is one per process.
SpringBoard* runningHost = nullptr;

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
    if (m_overrideObserver)
        DarwinNotificationCenter::shared().removeObserver(m_overrideObserver);
    ProcessTable::unregisterSelf();
    DeviceLog::setObserver(nullptr);
    AudioServices::setObserver(nullptr);
    UIApplication::sharedApplication()->setLaunchHandler(nullptr);
    if (runningHost == this)
        runningHost = nullptr;
}

bool SpringBoard::setUp(const SpringBoardOptions& options, std::string& error) {
    DeviceRoot::setCurrent(options.root);
    runningHost = this;
    RunLoop* loop = RunLoop::main();
    if (options.virtualClock)
        loop->useVirtualClock();
    m_trace.setClock([loop] { return loop->nowMilliseconds(); });
    DeviceLog::setProcessName("SpringBoard");
    DeviceLog::setObserver([this](std::string_view message) {
        m_trace.write("log", Json::Object().add("message", Json::string(message)));
    });
    // Once the log reaches the trace: a table that cannot be written is heard of even when the
    // device's log cannot be written either (a full disk).
    if (std::string why; !ProcessTable::registerSelf("SpringBoard", why))
        NSLog(why);
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
    // A status bar override of the device shows instead of the clock's own time, until it is cleared.
    m_clock->pin(StatusBarOverride::read());
    m_overrideObserver = DarwinNotificationCenter::shared().addObserver(
        StatusBarOverride::changedNotification,
        [this](const std::string&) { m_clock->pin(StatusBarOverride::read()); });
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
