#pragma once

// Putting a wallpaper on the simulated device: the lock-screen wallpaper file in the device root
// that DeviceRoot::current() names.

#include "platform/graphics/Bitmap.h"

#include <optional>
#include <string>

// Makes a colourful gradient of the given pixel size (the screen's size in points times its
// scale) and installs it as the wallpaper. False when the size is unusable or the file cannot be
// written.
bool installDefaultWallpaper(int pixelWidth, int pixelHeight);

// The default wallpaper's pixels (opaque), or nullopt for an unusable size.
std::optional<Bitmap> makeDefaultWallpaper(int pixelWidth, int pixelHeight);

// Writes the bitmap as the device's wallpaper file, atomically, making its folder if needed.
// False with the reason in error on failure.
bool installWallpaper(const Bitmap& image, std::string& error);
