#include "runtime/NSObject.h"
#include "runtime/AssociationTable.h"
#include "runtime/Associations.h"
#include "runtime/MessageSend.h"
#include "runtime/Weak.h"

NSObject::~NSObject() {
    objc_removeAssociatedObjects(this);
}

void NSObject::retain() {
    m_retainCount.fetch_add(1, std::memory_order_relaxed);
}

void NSObject::release() {
    if (m_retainCount.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    // Weak references read nil from the moment teardown starts, before any destructor runs.
    if (m_weaklyReferenced.load())
        weak_clear_references_to(this);
    delete this;
}

bool NSObject::tryRetain() {
    uint32_t count = m_retainCount.load();
    while (count > 0) {
        if (m_retainCount.compare_exchange_weak(count, count + 1))
            return true;
    }
    return false;
}

Class NSObject::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSObject", nullptr, &instance_factory<NSObject>);
        class_addMethod(
            c, "init", +[](id self, SEL) -> id { return self; });
        class_addMethod(
            c, "self", +[](id self, SEL) -> id { return self; });
        class_addMethod(
            c, "class", +[](id self, SEL) -> Class { return self->getClass(); });
        class_addMethod(
            c, "respondsToSelector:", +[](id self, SEL, SEL sel) -> bool {
                return self->respondsToSelector(sel);
            });
        class_addMethod(
            c, "isKindOfClass:", +[](id self, SEL, Class cls) -> bool { return self->isKindOfClass(cls); });
        class_addMethod(
            c, "forwardingTargetForSelector:", +[](id, SEL, SEL) -> id { return nullptr; });
        return c;
    }();
    return cls;
}
