#pragma once

// The root class. Every object the runtime sees is an NSObject: it knows its class (which may
// be a subclass made at run time), is reference counted, and may carry associated objects and
// be the target of zeroing weak references.

#include "runtime/Class.h"
#include "runtime/Ref.h"
#include "runtime/Types.h"

#include <atomic>
#include <memory>

struct AssociationTable;
struct AssociationTableDeleter {
    void operator()(AssociationTable*) const;
};

class NSObject {
public:
    // Objects are made with make_object<T>() (or a class's own factory), never on the stack.
    NSObject() = default;
    virtual ~NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    static Class objcClass();

    Class getClass() const { return m_isa; }
    const char* className() const { return class_getName(m_isa); }
    bool isKindOfClass(Class cls) const { return class_isSubclassOf(m_isa, cls); }
    bool isMemberOfClass(Class cls) const { return m_isa == cls; }
    bool respondsToSelector(SEL sel) const { return class_respondsToSelector(m_isa, sel); }

    void retain();
    void release();
    // Retains unless the object has already begun to go away; used by weak loads.
    bool tryRetain();
    uint32_t retainCount() const { return m_retainCount.load(); }

    // Runtime bookkeeping; not for product code.
    void setClass(Class cls) { m_isa = cls; }
    AssociationTable* associations() const { return m_associations.get(); }
    AssociationTable& ensureAssociations();
    void markWeaklyReferenced() { m_weaklyReferenced.store(true); }

private:
    Class m_isa = nullptr;
    std::atomic<uint32_t> m_retainCount{1};
    std::atomic<bool> m_weaklyReferenced{false};
    std::unique_ptr<AssociationTable, AssociationTableDeleter> m_associations;
};

// Makes a new object of a C++-backed class, owned by the answer. The object's class is T's own.
template <typename T, typename... Args> Ref<T> make_object(Args&&... args) {
    Ref<T> object = adopt_ref(new T(std::forward<Args>(args)...));
    object->setClass(T::objcClass());
    return object;
}

// Makes a new object of T's C++ type whose class is cls, a subclass of T made at run time.
template <typename T, typename... Args> Ref<T> make_object_of_class(Class cls, Args&&... args) {
    Ref<T> object = make_object<T>(std::forward<Args>(args)...);
    if (cls && class_isSubclassOf(cls, T::objcClass()))
        object->setClass(cls);
    return object;
}

// The factory a C++-backed class registers with the class table.
template <typename T> Ref<NSObject> instance_factory() {
    return make_object<T>();
}

// Casts to T when the object's class is T's or a subclass of it; nullptr otherwise.
template <typename T> T* objc_cast(NSObject* object) {
    if (!object || !object->isKindOfClass(T::objcClass()))
        return nullptr;
    return static_cast<T*>(object);
}
