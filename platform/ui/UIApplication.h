#pragma once

// The shared application of a host process: it holds the window's root view (what the screen
// shows) and passes launch requests to the host, which decides what a launch means.

#include "platform/foundation/NSString.h"
#include "platform/ui/UIView.h"

#include <functional>

class UIApplication : public NSObject {
public:
    static Class objcClass();
    static UIApplication* sharedApplication();

    // launchApplicationWithIdentifier:suspended: — identifier may be nil or not a string; the host
    // handler gets what was asked. Answers whether the host accepted the request.
    using LaunchHandler = std::function<bool(NSObject* identifier, bool suspended)>;
    void setLaunchHandler(LaunchHandler handler) { m_launchHandler = std::move(handler); }
    bool launchApplication(NSObject* identifier, bool suspended);

    // The view that fills the screen; animations and touches look for views under it.
    UIView* rootView() const { return m_rootView.get(); }
    void setRootView(UIView* view) { m_rootView = view; }

private:
    LaunchHandler m_launchHandler;
    Ref<UIView> m_rootView;
};
