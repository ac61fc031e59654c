#pragma once

// System sounds and haptics. The host observes them (its trace records each one).

#include <cstdint>
#include <functional>

using SystemSoundID = uint32_t;

void AudioServicesPlaySystemSound(SystemSoundID soundID);

namespace AudioServices {
void setObserver(std::function<void(SystemSoundID)> observer);
}
