// The lock-screen scene, built when the lock-screen controller loads its view.

#include "tweak/HookSet.h"

template <HookSet S> void replacedViewDidLoad(id self, SEL _cmd) {
    if (Kept<S>::viewDidLoad)
        Kept<S>::viewDidLoad(self, _cmd);
}

template void replacedViewDidLoad<HookSet::Modern>(id, SEL);
template void replacedViewDidLoad<HookSet::Legacy>(id, SEL);
