#pragma once

// Zeroing weak references. A Weak<T> refers to an object without owning it and reads as nullptr
// from the moment the object begins to go away. Safe to read from any thread.

#include "runtime/NSObject.h"
#include "runtime/Ref.h"

// The untyped slot the runtime clears; Weak<T> is its typed face.
class WeakSlot {
public:
    WeakSlot() = default;
    explicit WeakSlot(NSObject* object) { store(object); }
    WeakSlot(const WeakSlot& other) { store(other.loadRaw().get()); }
    WeakSlot& operator=(const WeakSlot& other) {
        if (this != &other)
            store(other.loadRaw().get());
        return *this;
    }
    ~WeakSlot() { store(nullptr); }

    void store(NSObject* object);
    // A strong reference to the object, or nullptr once it has begun to go away.
    Ref<NSObject> loadRaw() const;

private:
    friend void weak_clear_references_to(NSObject*);
    NSObject* m_object = nullptr;
};

template <typename T> class Weak {
public:
    Weak() = default;
    Weak(T* object) : m_slot(object) {}
    Weak& operator=(T* object) {
        m_slot.store(object);
        return *this;
    }
    Ref<T> load() const { return Ref<T>(static_cast<T*>(m_slot.loadRaw().get())); }

private:
    WeakSlot m_slot;
};

// Called by the runtime when an object starts to go away.
void weak_clear_references_to(NSObject* object);
