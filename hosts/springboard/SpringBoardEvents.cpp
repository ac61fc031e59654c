#include "hosts/common/ObjectJson.h"
#include "hosts/springboard/ControllerProperty.h"
#include "hosts/springboard/SpringBoard.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTask.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/ApplicationIcons.h"
#include "platform/ui/UIButton.h"

void SpringBoard::appear() {
    msg_send(m_controller, "viewDidAppear:", true);
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
