#pragma once

// The two hook sets: one for system 13.0 and later, one for earlier systems. They install the same
// replacements on different classes; each set keeps the implementations it replaces in slots of
// its own, and only the installed set's slots are ever filled.

#include "platform/graphics/Geometry.h"
#include "runtime/Runtime.h"

enum class HookSet { Modern, Legacy };

template <HookSet S> struct Kept {
    static inline void (*viewDidLoad)(id, SEL) = nullptr;
    static inline void (*viewDidAppear)(id, SEL, bool) = nullptr;
    static inline void (*setAuthenticated)(id, SEL, bool) = nullptr;
    static inline void (*layoutQuickActionButtons)(id, SEL) = nullptr;
    static inline double (*insetY)(id, SEL) = nullptr;
    static inline id (*initWithFrame)(id, SEL, CGRect) = nullptr;
};

// Replacements.
template <HookSet S> void replacedViewDidLoad(id self, SEL _cmd);
template <HookSet S> void replacedViewDidAppear(id self, SEL _cmd, bool animated);
template <HookSet S> void replacedSetAuthenticated(id self, SEL _cmd, bool authenticated);
template <HookSet S> void replacedLayoutQuickActionButtons(id self, SEL _cmd);
template <HookSet S> double replacedInsetY(id self, SEL _cmd);
template <HookSet S> id replacedInitWithFrame(id self, SEL _cmd, CGRect frame);

// Methods added to the lock-screen controller.
void dragButton(id self, SEL _cmd, id recognizer);
void dragButton2(id self, SEL _cmd, id recognizer);
void dragButton3(id self, SEL _cmd, id recognizer);
void dragButton4(id self, SEL _cmd, id recognizer);
void buttontapEvent(id self, SEL _cmd);
// The twelve object properties, getter then setter of each, in their order.
void addControllerProperties(Class controller);
