#include "runtime/AutoreleasePool.h"

#include <vector>

namespace {

struct ThreadPools {
    std::vector<Ref<NSObject>> objects; // the base pool first, then each open scope's, in order
    size_t openScopes = 0;
};

ThreadPools& pools() {
    thread_local ThreadPools instance;
    return instance;
}

// Releases the objects from mark on, newest first; releasing may add objects, which go as well.
void releaseFrom(size_t mark) {
    auto& objects = pools().objects;
    while (objects.size() > mark) {
        Ref<NSObject> last = std::move(objects.back());
        objects.pop_back();
        last = nullptr;
    }
}

} // namespace

AutoreleasePool::AutoreleasePool() : m_mark(pools().objects.size()) {
    ++pools().openScopes;
}

AutoreleasePool::~AutoreleasePool() {
    releaseFrom(m_mark);
    --pools().openScopes;
}

void AutoreleasePool::drainBase() {
    if (pools().openScopes == 0)
        releaseFrom(0);
}

size_t AutoreleasePool::pendingCount() {
    return pools().objects.size();
}

id objc_autorelease(Ref<NSObject> object) {
    id answer = object.get();
    if (object)
        pools().objects.push_back(std::move(object));
    return answer;
}
