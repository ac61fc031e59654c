#pragma once

// The class table: classes with a superclass, registered and found by name, each with its own
// table of instance methods. Lookups walk the superclass chain.

#include "runtime/Ref.h"
#include "runtime/Types.h"

#include <string>
#include <vector>

struct objc_method {
    SEL name;
    IMP imp;
    std::string types;    // as given, such as "v@:@": result, self, _cmd, then the arguments
    std::string encoding; // types without frame offsets, as sends compare it
};
using Method = const objc_method*;

// Constructs a blank instance of the nearest class backed by a C++ type. Subclasses made at run
// time inherit their superclass's factory.
using InstanceFactory = Ref<NSObject> (*)();

Class objc_getClass(const char* name);
Class objc_lookUpClass(const char* name); // the same; kept for callers written against the device

// Makes a class pair that is not yet visible by name; objc_registerClassPair publishes it.
// Answers nullptr when a class of that name exists already.
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes = 0);
void objc_registerClassPair(Class cls);

// Defines a class backed by a C++ type in one step (used by the platform's own classes).
// Throws RuntimeError when the name is taken, except inside a ClassDefinitionScope.
Class objc_defineClass(const char* name, Class superclass, InstanceFactory factory);

// A library defines its classes as it starts, from code that the system's loader runs and that an
// exception cannot leave. While a scope lives on this thread, objc_defineClass of a name that is
// taken answers a class of its own that no name finds (the first definition keeps the name) and
// the scope notes the name, so the loader can refuse the library afterwards.
class ClassDefinitionScope {
public:
    ClassDefinitionScope();
    ~ClassDefinitionScope();
    ClassDefinitionScope(const ClassDefinitionScope&) = delete;
    ClassDefinitionScope& operator=(const ClassDefinitionScope&) = delete;

    // The names defined a second time while the scope lived, in order.
    const std::vector<std::string>& takenNames() const { return m_taken; }

private:
    friend Class objc_defineClass(const char*, Class, InstanceFactory);
    std::vector<std::string> m_taken;
    ClassDefinitionScope* m_outer;
};

const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
bool class_isSubclassOf(Class cls, Class ancestor); // true for cls itself

// Adds a method the class does not itself implement. A selector the class already implements is
// left unchanged and the answer is false; an inherited one is overridden (answer true).
bool class_addMethod(Class cls, SEL name, IMP imp, const char* types);

// Sets the class's own implementation (adding it when absent) and answers the one that ran before
// for instances of the class, inherited ones included, or nullptr.
IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types);

// One watcher at a time (the substrate's loader, while a library starts) learns of each method a
// class gains through class_addMethod and each one class_replaceMethod sets, in order, right after
// the change and outside the table's lock. nullptr stops the watching.
enum class MethodChange { Added, Replaced };
using MethodChangeObserver = void (*)(Class cls, SEL name, MethodChange change);
void objc_setMethodChangeObserver(MethodChangeObserver observer);

// Looks the selector up along the superclass chain; nullptr when nothing answers it.
Method class_getInstanceMethod(Class cls, SEL name);
// Only the class's own table.
Method class_getOwnMethod(Class cls, SEL name);
bool class_respondsToSelector(Class cls, SEL name);

// Class methods live in the class's metaclass; the class object is the receiver for them, as
// in [SBLockScreenManager sharedInstance]. A metaclass's superclass is the superclass's metaclass,
// and the root's metaclass inherits from the root class itself.
Class object_getMetaclass(Class cls);
id objc_classObject(Class cls); // nil for nil; lives as long as the process
bool class_isMetaClass(Class cls);

// A new instance of the class, constructed by the nearest C++-backed ancestor; nullptr when none.
Ref<NSObject> class_createInstance(Class cls);

// Type encodings compare without the frame offsets that compilers put in ("v16@0:8" is "v@:").
std::string encoding_strip_offsets(const char* types);
