#pragma once

// The lock-screen process's services the tweak asks for, all found by name through the runtime.

#include "platform/foundation/NSString.h"
#include "platform/graphics/Geometry.h"
#include "runtime/Runtime.h"

#include <cstdint>

// [[UIScreen mainScreen] bounds]
CGRect mainScreenBounds();
// [[UIApplication sharedApplication] launchApplicationWithIdentifier:identifier suspended:NO]
void launchApplication(NSString* identifier);
// [[SBLockScreenManager sharedInstance] unlockUIFromSource:17 withOptions:nil], the class looked up
// at each use.
void unlockFromLockScreen();
// [UIView animateWithDuration:duration animations:block]
void animateWithDuration(double duration, std::function<void()> animations);
// The haptic tick and other system sounds.
void playSystemSound(uint32_t soundID);

// The "LSTView" probe: once the class is found it is remembered for the life of the process; while
// it is missing every probe looks again.
bool lstViewPresent();

// The home frame of the app button with the given offset from the screen's middle, the 60 x 60 one
// and the tall one used when "LSTView" is present.
CGRect homeFrame(double dx);
CGRect tallHomeFrame(double dx);
