#pragma once

// Ordered collections of objects; the array owns its elements.

#include "runtime/NSObject.h"

#include <functional>
#include <vector>

class NSArray : public NSObject {
public:
    static Class objcClass();
    static Ref<NSArray> arrayWithObjects(std::vector<Ref<NSObject>> objects);

    NSArray() = default;
    size_t count() const { return m_objects.size(); }
    // nil past the end.
    NSObject* objectAtIndex(size_t index) const {
        return index < m_objects.size() ? m_objects[index].get() : nullptr;
    }
    const std::vector<Ref<NSObject>>& objects() const { return m_objects; }
    // Calls block for each element in order; the block may set *stop to end early.
    void enumerateObjectsUsingBlock(const std::function<void(NSObject*, size_t, bool*)>& block) const;
    // Sends selector (taking no arguments, answering nothing) to every element.
    void makeObjectsPerformSelector(SEL selector) const;

protected:
    std::vector<Ref<NSObject>> m_objects;
};

class NSMutableArray : public NSArray {
public:
    static Class objcClass();
    static Ref<NSMutableArray> array();
    static Ref<NSMutableArray> arrayWithArray(const NSArray* other);

    void addObject(NSObject* object);
    void addObjectsFromArray(const NSArray* other);
    void removeAllObjects() { m_objects.clear(); }
};
