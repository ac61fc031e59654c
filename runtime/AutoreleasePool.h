#pragma once

// Objects answered without giving the caller ownership. A method reached through the runtime that
// makes a new object (a factory, a path or a colour it computes) hands it to the innermost pool,
// which keeps it alive until the pool drains; a caller that keeps the answer takes a reference of
// its own before then. Pools are per thread. Outside any AutoreleasePool scope objects go to the
// thread's base pool, which the run loop drains after each pass of work, as the device's main run
// loop drains its pool.

#include "runtime/NSObject.h"
#include "runtime/Ref.h"

class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool(); // releases what was added while it was the innermost pool
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

    // Releases what the thread's base pool holds, if no AutoreleasePool scope is open on the
    // thread (objects released may add more; those go too).
    static void drainBase();
    // Objects waiting in the thread's pools, all of them (for tests).
    static size_t pendingCount();

private:
    size_t m_mark;
};

// Hands object to the innermost pool and answers it, not owned by the caller.
id objc_autorelease(Ref<NSObject> object);
