#pragma once

// Makes the interface classes known to the runtime by name, with their class methods
// (UIScreen mainScreen, UIApplication sharedApplication, UIView animateWithDuration:animations:,
// UIView addGestureRecognizer:), as the device's frameworks are when a process starts. A host calls
// it once before loading anything that looks classes up by name.

void UIKitRegisterClasses();
