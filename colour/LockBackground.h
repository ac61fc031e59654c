#pragma once

// The lock-screen wallpaper as the system stores it.

#include "platform/graphics/UIImage.h"

#include <cstddef>

constexpr const char* lockBackgroundPath = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
// Far above any screen's wallpaper (a 2732 x 2048 pixel one is 22 MB), far below trouble.
constexpr size_t lockBackgroundMaxBytes = 128u << 20;

// The first image of the wallpaper file, read afresh, at scale 1. nil when the file is missing,
// unreadable, too large or cannot be decoded; each of those writes one line to the device log.
Ref<UIImage> loadLockBackgroundImage();
