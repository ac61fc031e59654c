#pragma once

// The hooking entry point of the code-injection substrate.
//
// MSHookMessageEx(class, selector, replacement, &original): from now on the selector sent to an
// instance of the class runs the replacement, and *original holds the implementation that ran
// before for that class (its own, or the one it inherited), to be called with the same receiver,
// selector and arguments. The replacement's type must be the method's; a mismatch throws
// RuntimeError. A class or selector that does not exist leaves *original null, writes one line to
// stderr and changes nothing, as the device's substrate does.

#include "runtime/Runtime.h"

void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* original);

template <typename R, typename... A>
void MSHookMessageEx(Class cls, SEL sel, R (*replacement)(id, SEL, A...), R (**original)(id, SEL, A...)) {
    if (cls && sel) {
        if (Method existing = class_getInstanceMethod(cls, sel)) {
            std::string actual = objc_encode_imp(replacement);
            if (existing->encoding != actual)
                throw RuntimeError(std::string("MSHookMessageEx: -[") + class_getName(cls) + " " +
                                   sel_getName(sel) + "] is \"" + existing->types +
                                   "\" but the replacement is \"" + actual + "\"");
        }
    }
    IMP previous = nullptr;
    MSHookMessageEx(cls, sel, reinterpret_cast<IMP>(replacement), &previous);
    if (original)
        *original = reinterpret_cast<R (*)(id, SEL, A...)>(previous);
}
