#include "hosts/settings/SettingsApp.h"
#include "hosts/common/ObjectJson.h"
#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTask.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/HBListController.h"
#include "platform/runloop/RunLoop.h"
#include "platform/substrate/Loader.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"
#include "runtime/Class.h"

#include <dlfcn.h>
#include <filesystem>

// The first page: one link row per settings entry, with the entry's icon.
class SettingsRootListController : public PSListController {
public:
    static Class objcClass() {
        static Class const cls = objc_defineClass("PSRootListController", PSListController::objcClass(),
                                                  &instance_factory<SettingsRootListController>);
        return cls;
    }

    void showEntries(SettingsApp* app) {
        m_app = app;
        setTitle("Settings");
        std::vector<Ref<NSObject>> rows{PSSpecifier::preferenceSpecifierNamed("", this, PSGroupCell)};
        for (size_t i = 0; i < app->m_entries.size(); ++i) {
            const SettingsEntry& entry = app->m_entries[i];
            Ref<PSSpecifier> row = PSSpecifier::preferenceSpecifierNamed(entry.label, this, PSLinkCell);
            row->setProperty(NSNumber::numberWithLongLong(static_cast<int64_t>(i)), "entryIndex");
            if (!entry.icon.empty() && entry.icon.find('/') == std::string::npos && entry.icon != "..")
                row->setProperty(
                    UIImage::imageWithContentsOfFile(bundleFolder(entry.bundle) + "/" + entry.icon).get(),
                    "iconImage");
            rows.push_back(row);
        }
        setStoredSpecifiers(NSArray::arrayWithObjects(std::move(rows)));
    }

    std::string selectRow(PSSpecifier* row) override {
        auto* index = row ? objc_cast<NSNumber>(row->propertyForKey("entryIndex")) : nullptr;
        if (!index || !m_app)
            return PSListController::selectRow(row);
        return m_app->openEntry(static_cast<size_t>(index->longLongValue()));
    }

private:
    SettingsApp* m_app = nullptr;
};

std::unique_ptr<SettingsApp> SettingsApp::start(const SettingsOptions& options, Trace& trace,
                                                std::string& error) {
    std::unique_ptr<SettingsApp> app(new SettingsApp(trace));
    try {
        if (!app->setUp(options, error))
            return nullptr;
    } catch (const std::exception& thrown) {
        error = std::string("Settings could not start: ") + thrown.what();
        NSLog("Settings: " + error);
        return nullptr;
    }
    return app;
}

namespace {

// The application whose launches are watched; there is one a process.
SettingsApp* watching = nullptr;

} // namespace

SettingsApp::~SettingsApp() {
    if (watching == this) {
        class_replaceMethod(NSTask::objcClass(), sel_registerName("launch"), m_platformLaunch, "v@:");
        watching = nullptr;
    }
    ProcessTable::unregisterSelf();
    DeviceLog::setObserver(nullptr);
    NSTask::setLaunchObserver(nullptr);
    PSListController::setWriteObserver(nullptr);
    DarwinNotificationCenter::shared().setPostObserver(nullptr);
    if (m_navigation)
        m_navigation->setPushObserver(nullptr);
}

bool SettingsApp::setUp(const SettingsOptions& options, std::string& error) {
    DeviceRoot::setCurrent(options.root);
    if (DeviceRoot::current().empty()) {
        error = "no device root";
        return false;
    }
    RunLoop* loop = RunLoop::main();
    if (options.virtualClock)
        loop->useVirtualClock();
    m_trace.setClock([loop] { return loop->nowMilliseconds(); });
    DeviceLog::setProcessName("Preferences");
    observeEffects();
    // Once the log reaches the trace: a table that cannot be written is heard of even when the
    // device's log cannot be written either (a full disk).
    if (std::string why; !ProcessTable::registerSelf("Preferences", why))
        NSLog(why);
    watchLaunches();

    UIScreen* screen = UIScreen::mainScreen();
    screen->configureFromDevice();
    loop->setRefreshRate(screen->refreshRate());
    UIKitRegisterClasses();
    HBRootListController::objcClass();
    HBAppearanceSettings::objcClass();
    // The Settings application loads the libraries whose filters name it, as any host does.
    Substrate::loadLibrariesForHost({"com.apple.Preferences", "Preferences"});

    m_entries = readSettingsEntries();
    m_navigation = UINavigationController::make();
    // The first page's title shows large, as the device's Settings shows it.
    m_navigation->navigationBar()->setPrefersLargeTitles(true);
    m_statusBar = std::make_unique<SettingsStatusBar>(m_navigation->navigationBar(), !options.virtualClock);
    m_navigation->setPushObserver([this](UIViewController* page) {
        m_trace.write("page", Json::Object()
                                  .add("class", Json::string(page->className()))
                                  .add("title", Json::string(page->title())));
    });
    Ref<SettingsRootListController> root = make_object<SettingsRootListController>();
    root->showEntries(this);
    m_navigation->pushViewController(root);
    if (options.keepPages) {
        std::optional<SettingsPages::Stack> kept = options.reopenPages ? SettingsPages::load() : std::nullopt;
        m_navigation->setStackObserver([this] { keepPageStack(); });
        if (kept)
            reopen(*kept);
        keepPageStack();
    }
    makeRenderer();
    m_trace.write("ready");
    return true;
}

SettingsPages::Stack SettingsApp::pageStack() const {
    SettingsPages::Stack stack;
    const auto& pages = m_navigation->viewControllers();
    for (size_t i = 1; i < pages.size(); ++i) {
        auto* page = objc_cast<PSListController>(pages[i].get());
        // An editor (a colour field, the app list) is no page a link opens: the path ends there.
        if (!page)
            break;
        const std::string& label = page->specifier() ? page->specifier()->name() : page->title();
        if (i == 1)
            stack.entry = label;
        else if (page->specifier())
            stack.links.push_back(label);
        else
            break;
    }
    return stack;
}

void SettingsApp::keepPageStack() {
    SettingsPages::Stack stack = pageStack();
    if (stack == m_keptPages)
        return;
    m_keptPages = stack;
    if (std::string error; !SettingsPages::save(stack, error))
        NSLog("Settings: cannot keep the page stack: " + error);
}

void SettingsApp::reopen(const SettingsPages::Stack& stack) {
    size_t index = 0;
    while (index < m_entries.size() && m_entries[index].label != stack.entry)
        ++index;
    if (stack.entry.empty() || index == m_entries.size() || !openEntry(index).empty())
        return;
    size_t followed = 0;
    for (const std::string& label : stack.links) {
        PSListController* page = topPage();
        PSSpecifier* row = page ? page->rowLabelled(label) : nullptr;
        if (!row || row->cellType() != PSLinkCell || !page->selectRow(row).empty())
            break;
        ++followed;
    }
    m_trace.write("reopen", Json::Object()
                                .add("entry", Json::string(stack.entry))
                                .add("links", Json::number(static_cast<double>(followed))));
}

void SettingsApp::observeEffects() {
    DeviceLog::setObserver([this](std::string_view message) {
        m_trace.write("log", Json::Object().add("message", Json::string(message)));
    });
    NSTask::setLaunchObserver([this](const std::string& path, const std::vector<std::string>& arguments) {
        std::vector<Json> words;
        for (const auto& word : arguments)
            words.push_back(Json::string(word));
        m_trace.write("task",
                      Json::Object().add("path", Json::string(path)).add("arguments", Json::array(words)));
    });
    DarwinNotificationCenter::shared().setPostObserver([this](const std::string& name) {
        m_trace.write("post", Json::Object().add("name", Json::string(name)));
    });
    PSListController::setWriteObserver(
        [this](const std::string& domain, const std::string& key, NSObject* value) {
            m_trace.write("write", Json::Object()
                                       .add("domain", Json::string(domain))
                                       .add("key", Json::string(key))
                                       .add("value", plistJson(value)));
        });
}

void SettingsApp::watchLaunches() {
    watching = this;
    m_platformLaunch = class_replaceMethod(NSTask::objcClass(), sel_registerName("launch"),
                                           reinterpret_cast<IMP>(+[](id self, SEL) {
                                               auto* task = objc_cast<NSTask>(self);
                                               if (task && !task->launch() && watching)
                                                   watching->launchFailed(task->launchPath());
                                           }),
                                           "v@:");
}

void SettingsApp::launchFailed(const std::string& path) {
    // The launch has said why in the log; the person sees that it failed, and where to look.
    std::string name = path.substr(path.rfind('/') + 1);
    std::string message = path + " could not be started.\nThe device log says why.";
    m_alert.show(m_navigation->view(), "Cannot start " + name, message);
    m_trace.write(
        "alert",
        Json::Object().add("title", Json::string(m_alert.title())).add("message", Json::string(message)));
}

PSListController* SettingsApp::topPage() const {
    return objc_cast<PSListController>(m_navigation->topViewController());
}

void SettingsApp::deliverNotifications() {
    DarwinNotificationCenter::shared().dispatchPending();
}

void* SettingsApp::loadBundle(const std::string& bundle, std::string& error) {
    if (auto it = m_bundles.find(bundle); it != m_bundles.end())
        return it->second;
    if (auto it = m_refusedBundles.find(bundle); it != m_refusedBundles.end()) {
        error = it->second;
        return nullptr;
    }
    std::string library = bundleFolder(bundle) + "/" + bundle;
    // Its start-up functions run now, once. A class it defines under a name that is taken (a second
    // copy of a bundle) cannot stop them: the bundle is refused once they are done.
    std::string why;
    ClassDefinitionScope definitions;
    void* handle = DeviceFile::loadLibrary(library, RTLD_NOW | RTLD_LOCAL, why);
    if (!handle) {
        error = why == "not installed" ? "the bundle " + bundle + " is not installed (no " + library + ")"
                                       : "the bundle " + bundle + " does not load: " + why;
        return nullptr;
    }
    if (const auto& taken = definitions.takenNames(); !taken.empty()) {
        std::string names;
        for (const auto& name : taken)
            names += (names.empty() ? "" : ", ") + name;
        // It stays loaded (its start-up has run and may have left work behind), but is never used.
        error = "the bundle " + bundle + " defines classes that another bundle defined already (" + names +
                "), as a second copy of a bundle does";
        m_refusedBundles.emplace(bundle, error);
        return nullptr;
    }
    m_bundles.emplace(bundle, handle);
    m_loadOrder.push_back(bundle);
    return handle;
}

std::string SettingsApp::openEntry(size_t index) {
    if (index >= m_entries.size())
        return "no such entry";
    const SettingsEntry& entry = m_entries[index];
    std::string problem;
    Ref<PSListController> page;
    if (loadBundle(entry.bundle, problem)) {
        std::string className = entry.detail;
        if (className.empty()) {
            Ref<NSDictionary> info =
                NSDictionary::dictionaryWithContentsOfFile(bundleFolder(entry.bundle) + "/Info.plist");
            const std::string* principal =
                info ? string_value(info->objectForKey("NSPrincipalClass")) : nullptr;
            className = principal ? *principal : "";
        }
        Class cls = className.empty() ? nullptr : objc_getClass(className.c_str());
        if (!cls) {
            problem = "the bundle " + entry.bundle + " has no page class" +
                      (className.empty() ? "" : " " + className);
        } else if (!class_isSubclassOf(cls, PSListController::objcClass())) {
            problem = className + " is not a list controller";
        } else {
            Ref<NSObject> made = class_createInstance(cls);
            page = objc_cast<PSListController>(msg_send<id>(made.get(), "init"));
            if (!page)
                problem = className + " gave no page";
        }
    }
    if (!page) {
        NSLog("Settings: " + problem);
        page = PSListController::errorPage(entry.label, problem);
    } else {
        page->setBundlePath(bundleFolder(entry.bundle));
        Ref<PSSpecifier> specifier = PSSpecifier::preferenceSpecifierNamed(entry.label, nullptr, PSLinkCell);
        msg_send(page.get(), "setSpecifier:", specifier.get());
    }
    m_navigation->pushViewController(page);
    return "";
}
