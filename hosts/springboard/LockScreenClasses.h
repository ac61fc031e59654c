#pragma once

// The lock-screen process's own classes, as the device's system version has them: from 13.0 on
// the lock screen is built around CSCombinedListViewController, before that around
// SBDashBoardViewController. Each class has its own implementations of the methods the device
// calls, registered with the runtime so that loaded libraries can find and replace them.

#include "runtime/Runtime.h"

struct LockScreenClasses {
    bool modern = true;
    Class controller = nullptr;     // the lock-screen controller (a UIViewController)
    Class quickActions = nullptr;   // the quick-action view (a UIView)
    Class authentication = nullptr; // where setAuthenticated: is sent
    Class hint = nullptr;           // the hint view (a UIView)
    Class lockScreenManager = nullptr;
};

// Registers the classes of one system version (once per process) and answers them.
LockScreenClasses registerLockScreenClasses(bool modern);

// The host's inset of the quick-action buttons from the bottom, before any library changes it.
constexpr double defaultQuickActionInset = 110.0;
