#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIScrollView.h"
#include "runtime/Associations.h"

#include <algorithm>

Class UINavigationController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UINavigationController", UIViewController::objcClass(),
                                   &instance_factory<UINavigationController>);
        class_addMethod(
            c, "pushViewController:animated:", +[](id self, SEL, id controller, bool) {
                static_cast<UINavigationController*>(self)->pushViewController(
                    objc_cast<UIViewController>(controller));
            });
        class_addMethod(
            c, "popViewControllerAnimated:", +[](id self, SEL, bool) -> id {
                // The popped controller stays alive until the current pass of work is over.
                Ref<UIViewController> popped =
                    static_cast<UINavigationController*>(self)->popViewController();
                return popped.get();
            });
        class_addMethod(
            c, "topViewController", +[](id self, SEL) -> id {
                return static_cast<UINavigationController*>(self)->topViewController();
            });
        class_addMethod(
            c, "navigationBar",
            +[](id self, SEL) -> id { return static_cast<UINavigationController*>(self)->navigationBar(); });
        return c;
    }();
    return cls;
}

UINavigationController::~UINavigationController() {
    // The items' and views' observers point at this controller.
    for (auto& controller : m_stack) {
        controller->navigationItem()->setObserver(nullptr);
        watchScrolling(controller.get(), false);
    }
}

Ref<UINavigationController> UINavigationController::make() {
    Ref<UINavigationController> navigation = make_object<UINavigationController>();
    UIView* view = navigation->view();
    CGRect screen = UIScreen::mainScreen()->bounds();
    // Screens with a notch have a taller status bar.
    double status = screen.size.height >= 812 ? 44 : 20;
    navigation->m_bar = UINavigationBar::barWithWidth(screen.size.width, status);
    view->setBackgroundColor(UIColor::colorWithWhite(0.95, 1).get());
    view->addSubview(navigation->m_bar);
    return navigation;
}

CGRect UINavigationController::contentFrame() const {
    CGRect screen = UIScreen::mainScreen()->bounds();
    double top = m_bar ? m_bar->frame().size.height : 0;
    return CGRectMake(0, top, screen.size.width, screen.size.height - top);
}

void UINavigationController::pushViewController(UIViewController* controller) {
    if (!controller || std::find(m_stack.begin(), m_stack.end(), controller) != m_stack.end())
        return;
    if (UIViewController* previous = topViewController()) {
        previous->view()->removeFromSuperview();
        watchScrolling(previous, false);
    }
    m_stack.emplace_back(controller);
    controller->setNavigationController(this);
    showTop();
    if (m_pushObserver)
        m_pushObserver(controller);
    if (m_stackObserver)
        m_stackObserver();
}

Ref<UIViewController> UINavigationController::popViewController() {
    if (m_stack.size() < 2)
        return nullptr;
    Ref<UIViewController> popped = m_stack.back();
    m_stack.pop_back();
    popped->view()->removeFromSuperview();
    popped->setNavigationController(nullptr);
    popped->navigationItem()->setObserver(nullptr);
    watchScrolling(popped.get(), false);
    showTop();
    if (m_stackObserver)
        m_stackObserver();
    return popped;
}

void UINavigationController::showTop() {
    Ref<UIViewController> top = topViewController();
    m_bar->resetAppearance();
    top->navigationItem()->setObserver([this] { refreshBar(); });
    msg_send(top.get(), "viewWillAppear:", true);
    UIView* content = top->view();
    content->setFrame(contentFrame());
    // The page lies under the bar, which stays on top.
    view()->insertSubview(content, 0);
    watchScrolling(top.get(), true);
    refreshBar();
    msg_send(top.get(), "viewDidAppear:", true);
}

void UINavigationController::refreshBar() {
    UIViewController* top = topViewController();
    if (!top)
        return;
    UINavigationItem* item = top->navigationItem();
    std::string title = item->title().empty() ? top->title() : item->title();
    std::optional<std::string> back;
    if (m_stack.size() >= 2) {
        UIViewController* below = m_stack[m_stack.size() - 2].get();
        back = below->navigationItem()->title().empty() ? below->title() : below->navigationItem()->title();
    }
    m_bar->show(title, back, item->rightBarButtonItem());
    followLargeTitle();
}

bool UINavigationController::showsLargeTitle(UIViewController* controller) const {
    if (!controller)
        return false;
    switch (controller->navigationItem()->largeTitleDisplayMode()) {
    case UINavigationItemLargeTitleDisplayMode::Always:
        return true;
    case UINavigationItemLargeTitleDisplayMode::Never:
        return false;
    case UINavigationItemLargeTitleDisplayMode::Automatic:
        break;
    }
    return m_bar->prefersLargeTitles() && !m_stack.empty() && m_stack.front().get() == controller;
}

void UINavigationController::followLargeTitle() {
    UIViewController* top = topViewController();
    UIView* title = m_bar->largeTitleView();
    bool inSight = false;
    if (top && top->isViewLoaded() && showsLargeTitle(top) && title->isDescendantOfView(top->view())) {
        // Its bottom edge, on the screen: in sight while below the bar.
        CGPoint bottom = title->convertPointToView({0, title->bounds().size.height}, view());
        inSight = bottom.y > CGRectGetMaxY(m_bar->frame());
    }
    m_bar->setLargeTitleInSight(inSight);
}

void UINavigationController::watchScrolling(UIViewController* controller, bool watch) {
    if (!controller->isViewLoaded())
        return;
    if (auto* scroll = objc_cast<UIScrollView>(controller->view()))
        scroll->setScrollObserver(watch ? std::function<void()>([this] { followLargeTitle(); }) : nullptr);
}
