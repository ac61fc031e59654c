#pragma once

// Blocks that travel through message sends (animation blocks, completion handlers): an object
// holding a callable. What the callable captures, it owns.

#include "runtime/NSObject.h"

#include <functional>

class NSBlock : public NSObject {
public:
    static Class objcClass();
    static Ref<NSBlock> make(std::function<void()> body);

    void invoke() const {
        if (m_body)
            m_body();
    }

private:
    std::function<void()> m_body;
};
