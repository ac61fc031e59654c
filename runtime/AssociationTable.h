#pragma once

// Private to the runtime: one object's associations.

#include "runtime/Associations.h"

#include <map>

class NSObject;

struct Association {
    objc_AssociationPolicy policy = OBJC_ASSOCIATION_ASSIGN;
    NSObject* value = nullptr; // retained unless the policy is ASSIGN
};

struct AssociationTable {
    std::map<const void*, Association> entries;
};
