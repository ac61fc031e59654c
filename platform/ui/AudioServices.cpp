#include "platform/ui/AudioServices.h"

#include <mutex>

namespace {

struct State {
    std::mutex lock;
    std::function<void(SystemSoundID)> observer;
};

State& state() {
    static State* const instance = new State;
    return *instance;
}

} // namespace

void AudioServicesPlaySystemSound(SystemSoundID soundID) {
    std::function<void(SystemSoundID)> observer;
    {
        std::lock_guard guard(state().lock);
        observer = state().observer;
    }
    if (observer)
        observer(soundID);
}

namespace AudioServices {

void setObserver(std::function<void(SystemSoundID)> observer) {
    std::lock_guard guard(state().lock);
    state().observer = std::move(observer);
}

} // namespace AudioServices
