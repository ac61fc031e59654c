#pragma once

// The settings bundle's process-wide state: plain globals with C names, exported from the bundle so
// that the Settings application finds them by name.

#include "platform/graphics/UIColor.h"
#include "platform/prefs/HBPreferences.h"
#include "platform/ui/UIView.h"
#include "runtime/Runtime.h"

constexpr const char* zorviDomain = "com.vantrel.zorvi";
constexpr const char* reloadNotification = "com.vantrel.zorvi/reloadprefs";

extern "C" {
extern Ref<HBPreferences> pfs;
extern bool enablecustom;
extern bool enableblend;
extern Ref<UIColor> color;
extern Ref<UIColor> color2;
extern Ref<UIColor> color3;
extern Ref<UIColor> corona;
// The wallpaper header built last. It does not own the header, and reads as nil once the header has
// gone away, so that a reload never reaches a header that no longer exists.
extern Weak<UIView> reloadview;

// Redraws the wallpaper header named by reloadview in the colours stored now.
void reload();
}

// Makes a plain bar button item with the title, aimed at the page's action, stores it with the
// page's setRespringButton:, tints the stored button and makes it the page's right bar button item.
void setRightBarButton(id page, const char* title, const char* action, UIColor* tint);

// The palette of the pages and headers.
Ref<UIColor> purpleColour();
Ref<UIColor> invisibleSeparatorColour();
