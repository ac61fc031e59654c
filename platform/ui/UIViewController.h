#pragma once

// View controllers: own a view that is loaded on first use. Loading makes the view (loadView) and
// then sends viewDidLoad through the runtime, so that subclasses made at run time and replaced
// methods take part; the host sends viewDidAppear: when the view has come on screen.

#include "platform/ui/UIView.h"

#include <optional>

class UIViewController : public NSObject {
public:
    static Class objcClass();

    UIViewController() = default;

    // Loads the view first when it is not loaded yet.
    UIView* view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // The frame a loaded view gets: the main screen's bounds unless set before loading.
    void setInitialFrame(CGRect frame) { m_initialFrame = frame; }

private:
    Ref<UIView> m_view;
    std::optional<CGRect> m_initialFrame;
    bool m_loading = false;
};
