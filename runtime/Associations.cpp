#include "runtime/Associations.h"
#include "runtime/AssociationTable.h"
#include "runtime/NSObject.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

// One lock for every object's table; the atomic policies need nothing more.
std::mutex& associationLock() {
    static std::mutex* const lock = new std::mutex; // never destroyed, like the objects' tables
    return *lock;
}

bool owns(objc_AssociationPolicy policy) {
    return policy != OBJC_ASSOCIATION_ASSIGN;
}

} // namespace

void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy) {
    if (!object)
        return;
    NSObject* released = nullptr;
    if (value && owns(policy))
        value->retain();
    {
        std::lock_guard guard(associationLock());
        auto& entries = object->ensureAssociations().entries;
        auto it = entries.find(key);
        if (it != entries.end()) {
            if (owns(it->second.policy))
                released = it->second.value;
            if (value)
                it->second = Association{policy, value};
            else
                entries.erase(it);
        } else if (value) {
            entries.emplace(key, Association{policy, value});
        }
    }
    // Released outside the lock: the old value's teardown may use associations of its own.
    if (released)
        released->release();
}

id objc_getAssociatedObject(id object, const void* key) {
    if (!object)
        return nullptr;
    std::lock_guard guard(associationLock());
    AssociationTable* table = object->associations();
    if (!table)
        return nullptr;
    auto it = table->entries.find(key);
    return it == table->entries.end() ? nullptr : it->second.value;
}

void objc_removeAssociatedObjects(id object) {
    if (!object)
        return;
    std::vector<NSObject*> released;
    {
        std::lock_guard guard(associationLock());
        AssociationTable* table = object->associations();
        if (!table)
            return;
        for (auto& [key, association] : table->entries) {
            if (owns(association.policy))
                released.push_back(association.value);
        }
        table->entries.clear();
    }
    for (NSObject* value : released)
        value->release();
}

void AssociationTableDeleter::operator()(AssociationTable* table) const {
    std::default_delete<AssociationTable>()(table);
}

AssociationTable& NSObject::ensureAssociations() {
    if (!m_associations)
        m_associations.reset(std::make_unique<AssociationTable>().release());
    return *m_associations;
}
