#include "tweak/LockScreenServices.h"
#include "platform/ui/AudioServices.h"

namespace {

id classObject(const char* name) {
    return objc_classObject(objc_getClass(name));
}

Class rememberedLSTView = nullptr;

} // namespace

CGRect mainScreenBounds() {
    id screen = msg_send<id>(classObject("UIScreen"), "mainScreen");
    return msg_send<CGRect>(screen, "bounds");
}

void launchApplication(NSString* identifier) {
    id application = msg_send<id>(classObject("UIApplication"), "sharedApplication");
    msg_send<bool>(application, "launchApplicationWithIdentifier:suspended:", identifier, false);
}

void unlockFromLockScreen() {
    id manager = msg_send<id>(classObject("SBLockScreenManager"), "sharedInstance");
    msg_send<bool>(manager, "unlockUIFromSource:withOptions:", int32_t{17}, nullptr);
}

void animateWithDuration(double duration, std::function<void()> animations) {
    msg_send(classObject("UIView"), "animateWithDuration:animations:", duration,
             NSBlock::make(std::move(animations)));
}

void playSystemSound(uint32_t soundID) {
    AudioServicesPlaySystemSound(soundID);
}

bool lstViewPresent() {
    if (!rememberedLSTView)
        rememberedLSTView = objc_getClass("LSTView");
    return rememberedLSTView != nullptr;
}

CGRect homeFrame(double dx) {
    CGRect screen = mainScreenBounds();
    return CGRectMake(CGRectGetWidth(screen) * 0.5 - 30 + dx, CGRectGetHeight(screen) - 130, 60, 60);
}

CGRect tallHomeFrame(double dx) {
    CGRect screen = mainScreenBounds();
    return CGRectMake(CGRectGetWidth(screen) * 0.5 - 30 + dx, CGRectGetHeight(screen) - 185, 60, 100);
}
