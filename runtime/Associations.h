#pragma once

// Associated objects: per-instance storage under a key (any address unique in the process),
// released when the instance goes away.

#include "runtime/Types.h"

#include <cstdint>

enum objc_AssociationPolicy : uintptr_t {
    OBJC_ASSOCIATION_ASSIGN = 0,           // not owned; the caller keeps the value alive
    OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1, // owned
    OBJC_ASSOCIATION_COPY_NONATOMIC = 3,   // owned; values here are immutable, so a copy is a retain
    OBJC_ASSOCIATION_RETAIN = 01401,
    OBJC_ASSOCIATION_COPY = 01403,
};

// Stores value under key, releasing the value it replaces; nil removes the association.
void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy);
// The value under key, or nil. The answer is not owned by the caller.
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);
