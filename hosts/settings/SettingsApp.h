#pragma once

// The Settings application of the simulated device. Its first page lists the device's settings
// entries; opening one loads the entry's settings bundle (its library, once, the first time: its
// start-up runs then) and pushes the bundle's root page, which the list machinery then drives.
// Every value a row stores, notification posted and program started goes to the trace.

#include "hosts/common/ScriptedHost.h"
#include "hosts/common/Trace.h"
#include "hosts/settings/SettingsAlert.h"
#include "hosts/settings/SettingsEntries.h"
#include "hosts/settings/SettingsPages.h"
#include "hosts/settings/SettingsStatusBar.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UINavigationController.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

struct SettingsOptions {
    std::string root;
    bool virtualClock = true;
    // A process of a booted device keeps its page stack in the device (SettingsPages.h), and one
    // the supervisor starts again opens the pages it had.
    bool keepPages = false;
    bool reopenPages = false;
};

class SettingsApp : public ScriptedHost {
public:
    // Starts the application; nullptr with a message when the device cannot be used.
    static std::unique_ptr<SettingsApp> start(const SettingsOptions& options, Trace& trace,
                                              std::string& error);
    ~SettingsApp() override;

    UIView* screenView() const override { return m_navigation->view(); }
    Json state() const override;
    void describeView(UIView* view, ScreenElement& element) const override;

    UINavigationController* navigation() const { return m_navigation.get(); }
    PSListController* topPage() const;
    // Opens the settings entry with that index: answers "" or why it could not be done.
    std::string openEntry(size_t index);
    // Delivers the notifications that have reached this process (its own posts among them).
    void deliverNotifications();
    // What the screen shows over the pages when something a tap asked for could not be done.
    SettingsAlert& alert() { return m_alert; }

private:
    explicit SettingsApp(Trace& trace) : m_trace(trace) {}
    bool setUp(const SettingsOptions& options, std::string& error);
    void observeEffects();
    // Takes the answer of every launch of a program, which the code that asks for one need not read,
    // and shows an alert when the program could not be started.
    void watchLaunches();
    void launchFailed(const std::string& path);
    // The bundle's library, loaded once; nullptr with a message when it cannot be.
    void* loadBundle(const std::string& bundle, std::string& error);
    Json pageState(UIViewController* controller) const;
    // The entry and links the page stack was opened by, as far as they can be told.
    SettingsPages::Stack pageStack() const;
    void keepPageStack();
    // Opens the stack's entry and follows its links while rows of those labels are there.
    void reopen(const SettingsPages::Stack& stack);
    Json globalsState() const;

    Trace& m_trace;
    std::vector<SettingsEntry> m_entries;
    Ref<UINavigationController> m_navigation;
    std::map<std::string, void*> m_bundles; // bundle name -> library handle, in load order of names
    std::map<std::string, std::string> m_refusedBundles; // bundle name -> why it is not used
    std::vector<std::string> m_loadOrder;
    SettingsAlert m_alert;
    std::unique_ptr<SettingsStatusBar> m_statusBar;
    IMP m_platformLaunch = nullptr;
    std::optional<SettingsPages::Stack> m_keptPages; // what the device holds

    friend class SettingsRootListController;
};
