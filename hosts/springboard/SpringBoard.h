#pragma once

// The lock-screen process. It plays the device's lock screen for the device root's system
// version: it loads the libraries whose filter names it before the lock-screen controller's view is
// loaded, loads that view once, shows it over the wallpaper with the time and date, and calls the
// controller, quick-action view, hint class and authentication at the moments the device does.
// Everything it is asked to do (launches, unlocks, sounds, log lines) goes to its trace.

#include "hosts/common/ScriptedHost.h"
#include "hosts/common/Trace.h"
#include "hosts/springboard/LockClock.h"
#include "hosts/springboard/LockScreenClasses.h"
#include "hosts/springboard/Overlays.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIViewController.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SpringBoardOptions {
    std::string root;
    bool virtualClock = true;
    std::vector<std::string> withClasses;
    // Set after a crash: no library of DynamicLibraries is loaded, and the screen says which library
    // was loaded last ("" when none was).
    std::optional<std::string> safeMode;
    // On the virtual clock: the moment the clock shows at the start (seconds since 1970, UTC); by default
    // Tuesday 8 December 2026, 9:41.
    std::optional<std::time_t> clockStart;
};

enum class PanPhase { Begin, Move, End, Cancel };

class SpringBoard : public ScriptedHost {
public:
    // Starts the lock screen; nullptr with a message when the device cannot be used.
    static std::unique_ptr<SpringBoard> start(const SpringBoardOptions& options, Trace& trace,
                                              std::string& error);
    ~SpringBoard();

    // --- what happens on the device -------------------------------------------------------
    void appear();                     // the lock screen has come on screen
    void showNewHint();                // the host makes and shows a new hint view
    void layoutQuickActions();         // the quick-action view lays out its buttons
    void authenticate(bool succeeded); // the person authenticated (or failed to)
    // The pan recognizer of app button 1..4; false with a message when there is none.
    bool pan(int button, PanPhase phase, CGPoint delta, std::string& error);
    bool tap(int button, std::string& error);
    // The app button (1..4) shown under a point of the screen, topmost first; 0 for none.
    int appButtonAt(CGPoint screenPoint) const;
    void lock(); // the device locks again: the lock screen comes back
    // The safe-mode banner's Restart: ends the device's backboardd, as a Respring does.
    void respring();
    bool inSafeMode() const { return m_safeMode.has_value(); }
    // The safe-mode banner across the top of the screen, in points.
    static constexpr double safeModeBannerHeight = 112;

    // --- what a person or a script sees -----------------------------------------------------
    // Shows or removes the authentication prompt and the launched app as the state asks.
    void updateOverlays() { m_overlays.update(); }
    void prepareScreen() override { updateOverlays(); }
    Json state() const override;
    UIView* screenView() const override { return m_screen.get(); }
    void describeView(UIView* view, ScreenElement& element) const override;
    // The app brought to the foreground after authentication, or "" while locked.
    const std::string& foregroundApp() const { return m_foregroundApp; }
    bool unlockRequested() const { return m_unlockRequested; }
    bool locked() const { return m_locked; }

private:
    SpringBoard(Trace& trace) : m_trace(trace), m_overlays(*this) {}
    bool setUp(const SpringBoardOptions& options, std::string& error);
    void buildScreen();
    UIView* appButton(int index) const;
    UIPanGestureRecognizer* panRecognizer(int index) const;
    bool launchRequested(NSObject* identifier, bool suspended);
    void unlockRequested(int source, NSObject* options);
    Json viewState(UIView* view) const;
    Json waveViewState(NSObject* waveView) const;
    Json globalsState() const;

    Trace& m_trace;
    LockScreenClasses m_classes;
    std::string m_system;
    Ref<UIViewController> m_controller;
    Ref<NSObject> m_authentication; // receives setAuthenticated:
    Ref<NSObject> m_lockScreenManager;
    Ref<UIView> m_screen; // the whole screen: wallpaper, clock, then the controller's view
    Ref<UIView> m_clockFace;
    std::unique_ptr<LockClock> m_clock;
    int m_overrideObserver = 0;
    Ref<UIView> m_quickActions;
    Ref<UIView> m_hint;
    Overlays m_overlays;
    std::string m_foregroundApp;
    std::string m_pendingLaunch;
    bool m_unlockRequested = false;
    bool m_locked = true;
    std::optional<std::string> m_safeMode;

    friend struct SpringBoardServices;
};
