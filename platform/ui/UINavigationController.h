#pragma once

// A stack of view controllers under a navigation bar. The top controller's view fills the screen
// below the bar; pushing and popping send viewWillAppear: and viewDidAppear: through the runtime to
// the controller that comes on top. Before that, the bar's colours go back to the platform's, so
// that each page shows its own look. The stack owns its controllers.

#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UIViewController.h"

#include <functional>
#include <vector>

class UINavigationController : public UIViewController {
public:
    static Class objcClass();
    // A navigation controller filling the main screen.
    static Ref<UINavigationController> make();
    UINavigationController() = default;
    ~UINavigationController() override;

    UINavigationBar* navigationBar() const { return m_bar.get(); }
    const std::vector<Ref<UIViewController>>& viewControllers() const { return m_stack; }
    UIViewController* topViewController() const { return m_stack.empty() ? nullptr : m_stack.back().get(); }
    // The screen below the bar, in the navigation controller's view.
    CGRect contentFrame() const;

    void pushViewController(UIViewController* controller);
    // The controller taken off, or nil when only the root is left.
    Ref<UIViewController> popViewController();
    // Told of every controller pushed, once it is shown.
    void setPushObserver(std::function<void(UIViewController*)> observer) {
        m_pushObserver = std::move(observer);
    }
    // Told after every push and pop, once the new top is shown.
    void setStackObserver(std::function<void()> observer) { m_stackObserver = std::move(observer); }
    // Shows the top item's title (or its controller's), back button and right button again.
    void refreshBar();
    // Whether the controller's title shows large while it is on top.
    bool showsLargeTitle(UIViewController* controller) const;

private:
    void showTop();
    // Tells the bar whether the top's large title is in sight below it.
    void followLargeTitle();
    // Starts or stops hearing of the controller's view scrolling.
    void watchScrolling(UIViewController* controller, bool watch);

    Ref<UINavigationBar> m_bar;
    std::vector<Ref<UIViewController>> m_stack;
    std::function<void(UIViewController*)> m_pushObserver;
    std::function<void()> m_stackObserver;
};
