#pragma once

// View controllers: own a view that is loaded on first use. Loading makes the view (loadView) and
// then sends viewDidLoad through the runtime, so that subclasses made at run time and replaced
// methods take part; the host sends viewDidAppear: when the view has come on screen.

#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIView.h"

#include <optional>
#include <string>

class UINavigationController;

class UIViewController : public NSObject {
public:
    static Class objcClass();

    UIViewController() = default;

    // Loads the view first when it is not loaded yet.
    UIView* view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // For loadView implementations: the view the controller is to own.
    void setView(UIView* view) { m_view = view; }
    // The frame a loaded view gets: the main screen's bounds unless set before loading.
    void setInitialFrame(CGRect frame) { m_initialFrame = frame; }

    // A person's input that reached this controller's view: a tap that did not become a drag (in
    // the view's coordinates), and a typed character. Answer whether it was used.
    virtual bool tapped(CGPoint) { return false; }
    virtual bool typed(char) { return false; }

    // The title a navigation bar falls back on when the navigation item has none.
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    // Made on first use; the controller owns it.
    UINavigationItem* navigationItem();
    // The navigation controller whose stack holds this controller, or nil; not owned.
    UINavigationController* navigationController() const;
    void setNavigationController(UINavigationController* controller);

private:
    std::string m_title;
    Ref<UINavigationItem> m_navigationItem;
    WeakSlot m_navigationController;
    Ref<UIView> m_view;
    std::optional<CGRect> m_initialFrame;
    bool m_loading = false;
};
