#include "runtime/Class.h"
#include "runtime/NSObject.h"
#include "runtime/RuntimeError.h"

#include <atomic>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

struct objc_class {
    std::string name;
    Class superclass = nullptr;
    InstanceFactory factory = nullptr;
    bool registered = false;
    bool isMeta = false;
    std::unordered_map<SEL, std::unique_ptr<objc_method>> methods;
    std::unique_ptr<objc_class> meta;
    NSObject* classObject = nullptr; // made on first use, never released
};

namespace {

// One table for the process, as on the device. Method tables are guarded by the same lock: they
// change at start-up and when tweaks install hooks, and are read on every send.
struct ClassTable {
    std::shared_mutex lock;
    std::map<std::string, std::unique_ptr<objc_class>, std::less<>> classes;
    std::vector<std::unique_ptr<objc_class>> unnamed; // second definitions inside a scope
};

// Never destroyed: classes must outlive every object, including those released at exit.
ClassTable& classTable() {
    static ClassTable* const instance = new ClassTable;
    return *instance;
}

Method lookUp(Class cls, SEL name) {
    for (Class c = cls; c; c = c->superclass) {
        if (auto it = c->methods.find(name); it != c->methods.end())
            return it->second.get();
    }
    return nullptr;
}

std::atomic<MethodChangeObserver> methodChangeObserver{nullptr};

std::unique_ptr<objc_method> makeMethod(SEL name, IMP imp, const std::string& types) {
    return std::make_unique<objc_method>(
        objc_method{name, imp, types, encoding_strip_offsets(types.c_str())});
}

} // namespace

Class objc_getClass(const char* name) {
    if (!name)
        return nullptr;
    auto& t = classTable();
    std::shared_lock guard(t.lock);
    auto it = t.classes.find(std::string_view(name));
    if (it == t.classes.end() || !it->second->registered)
        return nullptr;
    return it->second.get();
}

Class objc_lookUpClass(const char* name) {
    return objc_getClass(name);
}

namespace {

std::unique_ptr<objc_class> makeClassPair(Class superclass, const char* name) {
    auto cls = std::make_unique<objc_class>();
    cls->name = name;
    cls->superclass = superclass;
    cls->factory = superclass ? superclass->factory : nullptr;
    cls->meta = std::make_unique<objc_class>();
    cls->meta->name = cls->name;
    cls->meta->isMeta = true;
    cls->meta->registered = true;
    cls->meta->superclass = superclass ? superclass->meta.get() : cls.get();
    return cls;
}

thread_local ClassDefinitionScope* definitionScope = nullptr;

// A class no name finds, for a definition that came second inside a scope.
Class defineUnnamed(const char* name, Class superclass, InstanceFactory factory) {
    auto cls = makeClassPair(superclass, name);
    cls->factory = factory;
    cls->registered = true;
    auto& t = classTable();
    std::unique_lock guard(t.lock);
    t.unnamed.push_back(std::move(cls));
    return t.unnamed.back().get();
}

} // namespace

Class objc_allocateClassPair(Class superclass, const char* name, size_t) {
    if (!name || !*name)
        return nullptr;
    auto& t = classTable();
    std::unique_lock guard(t.lock);
    if (t.classes.count(std::string_view(name)))
        return nullptr;
    auto cls = makeClassPair(superclass, name);
    Class result = cls.get();
    t.classes.emplace(cls->name, std::move(cls));
    return result;
}

ClassDefinitionScope::ClassDefinitionScope() : m_outer(definitionScope) {
    definitionScope = this;
}

ClassDefinitionScope::~ClassDefinitionScope() {
    definitionScope = m_outer;
}

void objc_registerClassPair(Class cls) {
    if (!cls)
        return;
    std::unique_lock guard(classTable().lock);
    cls->registered = true;
}

Class objc_defineClass(const char* name, Class superclass, InstanceFactory factory) {
    Class cls = objc_allocateClassPair(superclass, name);
    if (!cls && name && *name && definitionScope) {
        definitionScope->m_taken.emplace_back(name);
        return defineUnnamed(name, superclass, factory);
    }
    if (!cls)
        throw RuntimeError(std::string("class ") + (name ? name : "<null>") + " is already defined");
    {
        std::unique_lock guard(classTable().lock);
        cls->factory = factory;
    }
    objc_registerClassPair(cls);
    return cls;
}

const char* class_getName(Class cls) {
    return cls ? cls->name.c_str() : "nil";
}

Class class_getSuperclass(Class cls) {
    return cls ? cls->superclass : nullptr;
}

bool class_isSubclassOf(Class cls, Class ancestor) {
    for (Class c = cls; c; c = c->superclass) {
        if (c == ancestor)
            return true;
    }
    return false;
}

void objc_setMethodChangeObserver(MethodChangeObserver observer) {
    methodChangeObserver.store(observer);
}

bool class_addMethod(Class cls, SEL name, IMP imp, const char* types) {
    if (!cls || !name || !imp)
        return false;
    {
        std::unique_lock guard(classTable().lock);
        if (cls->methods.count(name))
            return false;
        cls->methods.emplace(name, makeMethod(name, imp, types ? types : ""));
    }
    if (MethodChangeObserver observer = methodChangeObserver.load())
        observer(cls, name, MethodChange::Added);
    return true;
}

IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types) {
    if (!cls || !name || !imp)
        return nullptr;
    IMP previous = nullptr;
    {
        std::unique_lock guard(classTable().lock);
        if (auto it = cls->methods.find(name); it != cls->methods.end()) {
            previous = it->second->imp;
            it->second->imp = imp;
        } else {
            Method inherited = lookUp(cls->superclass, name);
            std::string encoding = types ? types : (inherited ? inherited->types : "");
            cls->methods.emplace(name, makeMethod(name, imp, encoding));
            previous = inherited ? inherited->imp : nullptr;
        }
    }
    if (MethodChangeObserver observer = methodChangeObserver.load())
        observer(cls, name, MethodChange::Replaced);
    return previous;
}

Method class_getInstanceMethod(Class cls, SEL name) {
    std::shared_lock guard(classTable().lock);
    return lookUp(cls, name);
}

Method class_getOwnMethod(Class cls, SEL name) {
    if (!cls)
        return nullptr;
    std::shared_lock guard(classTable().lock);
    auto it = cls->methods.find(name);
    return it == cls->methods.end() ? nullptr : it->second.get();
}

bool class_respondsToSelector(Class cls, SEL name) {
    return class_getInstanceMethod(cls, name) != nullptr;
}

Class object_getMetaclass(Class cls) {
    return cls ? (cls->isMeta ? cls : cls->meta.get()) : nullptr;
}

bool class_isMetaClass(Class cls) {
    return cls && cls->isMeta;
}

id objc_classObject(Class cls) {
    if (!cls)
        return nullptr;
    Class meta = object_getMetaclass(cls);
    {
        std::shared_lock guard(classTable().lock);
        if (cls->classObject)
            return cls->classObject;
    }
    Ref<NSObject> made = make_object<NSObject>();
    made->setClass(meta);
    std::unique_lock guard(classTable().lock);
    if (!cls->classObject)
        cls->classObject = made.leak();
    return cls->classObject;
}

Ref<NSObject> class_createInstance(Class cls) {
    if (!cls || !cls->factory)
        return nullptr;
    Ref<NSObject> instance = cls->factory();
    if (instance)
        instance->setClass(cls);
    return instance;
}

std::string encoding_strip_offsets(const char* types) {
    std::string out;
    if (!types)
        return out;
    for (const char* p = types; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            out.push_back(*p);
    }
    return out;
}
