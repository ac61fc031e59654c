#pragma once

// The wave classes are carried by every library that draws waves (the tweak, a settings bundle), so
// a process may hold two copies. The first copy registers each class; later copies use it, since
// their instances are laid out alike. A class of the same name from anything else (another
// library's, or a host's placeholder) is refused with a clear error rather than used.

#include "runtime/Class.h"
#include "runtime/RuntimeError.h"
#include "runtime/Selector.h"

#include <string>

inline Class sharedWaveClass(Class existing, const char* ownSelector) {
    if (!class_getInstanceMethod(existing, sel_registerName(ownSelector)))
        throw RuntimeError(std::string("the class name ") + class_getName(existing) +
                           " is taken by a class of another library");
    return existing;
}
