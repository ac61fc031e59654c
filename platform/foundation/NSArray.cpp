#include "platform/foundation/NSArray.h"
#include "runtime/MessageSend.h"

Class NSArray::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSArray", NSObject::objcClass(), &instance_factory<NSArray>);
        class_addMethod(
            c, "count", +[](id self, SEL) -> unsigned long { return static_cast<NSArray*>(self)->count(); });
        return c;
    }();
    return cls;
}

Ref<NSArray> NSArray::arrayWithObjects(std::vector<Ref<NSObject>> objects) {
    auto array = make_object<NSArray>();
    array->m_objects = std::move(objects);
    return array;
}

void NSArray::enumerateObjectsUsingBlock(const std::function<void(NSObject*, size_t, bool*)>& block) const {
    // A copy, so that the block may change the array it walks.
    std::vector<Ref<NSObject>> snapshot = m_objects;
    bool stop = false;
    for (size_t i = 0; i < snapshot.size() && !stop; ++i)
        block(snapshot[i].get(), i, &stop);
}

void NSArray::makeObjectsPerformSelector(SEL selector) const {
    std::vector<Ref<NSObject>> snapshot = m_objects;
    for (auto& object : snapshot)
        msg_send(object, selector);
}

Class NSMutableArray::objcClass() {
    static Class const cls =
        objc_defineClass("NSMutableArray", NSArray::objcClass(), &instance_factory<NSMutableArray>);
    return cls;
}

Ref<NSMutableArray> NSMutableArray::array() {
    return make_object<NSMutableArray>();
}

Ref<NSMutableArray> NSMutableArray::arrayWithArray(const NSArray* other) {
    auto array = make_object<NSMutableArray>();
    array->addObjectsFromArray(other);
    return array;
}

void NSMutableArray::addObject(NSObject* object) {
    if (object)
        m_objects.emplace_back(object);
}

void NSMutableArray::addObjectsFromArray(const NSArray* other) {
    if (!other)
        return;
    std::vector<Ref<NSObject>> copy = other->objects();
    m_objects.insert(m_objects.end(), copy.begin(), copy.end());
}
