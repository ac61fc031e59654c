#pragma once

// A property of the lock-screen controller that a library may have added (its app buttons and
// wave views): nil when nobody added it.

#include "runtime/MessageSend.h"
#include "runtime/NSObject.h"

inline id controllerProperty(NSObject* controller, const char* getter) {
    SEL selector = sel_registerName(getter);
    return controller && controller->respondsToSelector(selector) ? msg_send<id>(controller, selector)
                                                                  : nullptr;
}
