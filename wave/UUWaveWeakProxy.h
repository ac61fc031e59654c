#pragma once

// The display link's target: it forwards every message it does not answer itself to the wave
// view, which it refers to without owning, so that a running animation does not keep the view
// alive. The reference is zeroing: from the moment the view starts to go away, the proxy forwards
// nothing and a message to it is swallowed (answers zero).

#include "runtime/NSObject.h"
#include "runtime/Weak.h"

class UUWaveWeakProxy : public NSObject {
public:
    static Class objcClass();
    static Ref<UUWaveWeakProxy> proxyWithTarget(NSObject* target);

    UUWaveWeakProxy() = default;
    UUWaveWeakProxy* initWithTarget(NSObject* target);
    Ref<NSObject> target() const { return m_target.load(); }

private:
    Weak<NSObject> m_target;
};
