#include "platform/substrate/MSHook.h"

#include <cstdio>

void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* original) {
    if (original)
        *original = nullptr;
    Method existing = (cls && sel) ? class_getInstanceMethod(cls, sel) : nullptr;
    if (!existing || !replacement) {
        std::fprintf(stderr, "MS:Error: message not found [%s %s]\n", class_getName(cls), sel_getName(sel));
        return;
    }
    IMP previous = class_replaceMethod(cls, sel, replacement, existing->types.c_str());
    if (original)
        *original = previous;
}
