#include "runtime/Weak.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct WeakTable {
    std::mutex lock;
    std::unordered_map<NSObject*, std::vector<WeakSlot*>> slots;
};

// Never destroyed: objects released at exit still clear their weak references here.
WeakTable& weakTable() {
    static WeakTable* const instance = new WeakTable;
    return *instance;
}

void unregisterLocked(WeakTable& t, NSObject* object, WeakSlot* slot) {
    auto it = t.slots.find(object);
    if (it == t.slots.end())
        return;
    auto& list = it->second;
    list.erase(std::remove(list.begin(), list.end(), slot), list.end());
    if (list.empty())
        t.slots.erase(it);
}

} // namespace

void WeakSlot::store(NSObject* object) {
    auto& t = weakTable();
    std::lock_guard guard(t.lock);
    if (m_object == object)
        return;
    if (m_object)
        unregisterLocked(t, m_object, this);
    // An object already going away reads as nil at once.
    m_object = (object && object->retainCount() > 0) ? object : nullptr;
    if (m_object) {
        m_object->markWeaklyReferenced();
        t.slots[m_object].push_back(this);
    }
}

Ref<NSObject> WeakSlot::loadRaw() const {
    auto& t = weakTable();
    std::lock_guard guard(t.lock);
    if (!m_object || !m_object->tryRetain())
        return nullptr;
    return adopt_ref(m_object);
}

void weak_clear_references_to(NSObject* object) {
    auto& t = weakTable();
    std::lock_guard guard(t.lock);
    auto it = t.slots.find(object);
    if (it == t.slots.end())
        return;
    for (WeakSlot* slot : it->second)
        slot->m_object = nullptr;
    t.slots.erase(it);
}
