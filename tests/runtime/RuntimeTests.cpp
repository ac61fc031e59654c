#include "platform/substrate/MSHook.h"
#include "runtime/Runtime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A small class tree made the way a host or a tweak makes one: at run time, by name.
class Counter : public NSObject {
public:
    static Class objcClass() {
        static Class const cls = [] {
            Class c = objc_defineClass("RTCounter", NSObject::objcClass(), &instance_factory<Counter>);
            class_addMethod(
                c, "bump:", +[](id self, SEL, int32_t by) { static_cast<Counter*>(self)->value += by; });
            class_addMethod(
                c, "value", +[](id self, SEL) -> int32_t { return static_cast<Counter*>(self)->value; });
            class_addMethod(
                c, "name", +[](id, SEL) -> const char* { return "base"; });
            return c;
        }();
        return cls;
    }
    int32_t value = 0;
    static inline int destroyed = 0;
    ~Counter() override { ++destroyed; }
};

Class subclassOfCounter(const char* name) {
    Class cls = objc_allocateClassPair(Counter::objcClass(), name);
    objc_registerClassPair(cls);
    return cls;
}

} // namespace

TEST(Runtime, ClassesAreFoundByNameOnlyOnceRegistered) {
    Class counter = Counter::objcClass();
    EXPECT_EQ(objc_getClass("RTCounter"), counter);
    EXPECT_EQ(class_getSuperclass(counter), NSObject::objcClass());
    Class pending = objc_allocateClassPair(counter, "RTPending");
    ASSERT_NE(pending, nullptr);
    EXPECT_EQ(objc_getClass("RTPending"), nullptr);
    objc_registerClassPair(pending);
    EXPECT_EQ(objc_getClass("RTPending"), pending);
    EXPECT_EQ(objc_allocateClassPair(counter, "RTPending"), nullptr) << "a name is taken once";
    EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
    EXPECT_EQ(objc_getClass(nullptr), nullptr);
}

TEST(Runtime, ASecondDefinitionThrowsOutsideAScopeAndInsideOneKeepsTheFirst) {
    Class first = Counter::objcClass();
    EXPECT_THROW(objc_defineClass("RTCounter", NSObject::objcClass(), &instance_factory<Counter>),
                 RuntimeError);
    Class second = nullptr;
    std::vector<std::string> taken;
    {
        ClassDefinitionScope scope;
        second = objc_defineClass("RTCounter", NSObject::objcClass(), &instance_factory<Counter>);
        objc_defineClass("RTScopedOwn", NSObject::objcClass(), &instance_factory<Counter>);
        taken = scope.takenNames();
    }
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(objc_getClass("RTCounter"), first) << "the first definition keeps the name";
    EXPECT_TRUE(objc_getClass("RTScopedOwn")) << "a new name is defined as always";
    EXPECT_EQ(taken, std::vector<std::string>{"RTCounter"});
    class_addMethod(
        second, "value", +[](id, SEL) -> int32_t { return -1; });
    Ref<NSObject> counter = class_createInstance(first);
    EXPECT_EQ(msg_send<int32_t>(counter.get(), "value"), 0)
        << "the second class touches nothing of the first";
    EXPECT_THROW(objc_defineClass("RTCounter", NSObject::objcClass(), &instance_factory<Counter>),
                 RuntimeError)
        << "the scope has ended";
}

TEST(Runtime, SelectorsAreInterned) {
    EXPECT_EQ(sel_registerName("foo:bar:"), sel_registerName(std::string("foo:") + "bar:"));
    EXPECT_NE(sel_registerName("foo"), sel_registerName("foo:"));
    EXPECT_EQ(sel_getArgumentCount(sel_registerName("foo:bar:")), 2);
}

TEST(Runtime, SendsReachInheritedMethodsOfRuntimeSubclasses) {
    Class sub = subclassOfCounter("RTSubCounter");
    Ref<NSObject> object = class_createInstance(sub);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->getClass(), sub);
    msg_send(object, "bump:", int32_t{5});
    msg_send(object, "bump:", int32_t{2});
    EXPECT_EQ(msg_send<int32_t>(object, "value"), 7);
    EXPECT_TRUE(object->isKindOfClass(Counter::objcClass()));
    EXPECT_EQ(msg_send<id>(object, "self"), object.get());
}

TEST(Runtime, NilReceiverAnswersZero) {
    id nothing = nullptr;
    EXPECT_EQ(msg_send<int32_t>(nothing, "value"), 0);
    EXPECT_EQ(msg_send<id>(nothing, "anything"), nullptr);
    EXPECT_EQ(msg_send<double>(nothing, "anything"), 0.0);
    EXPECT_NO_THROW(msg_send(nothing, "bump:", int32_t{1}));
}

TEST(Runtime, MismatchedTypesAndUnknownSelectorsAreClearErrors) {
    auto counter = make_object<Counter>();
    try {
        msg_send(counter, "bump:", 1.5);
        FAIL() << "a double sent where an int is expected must not run";
    } catch (const RuntimeError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("RTCounter"), std::string::npos) << message;
        EXPECT_NE(message.find("bump:"), std::string::npos) << message;
    }
    EXPECT_EQ(counter->value, 0);
    EXPECT_THROW(msg_send<double>(counter, "value"), RuntimeError) << "the answer's type is checked too";
    try {
        msg_send(counter, "frobnicate");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_NE(std::string(e.what()).find("-[RTCounter frobnicate]"), std::string::npos) << e.what();
    }
    EXPECT_THROW(class_addMethod(
                     Counter::objcClass(), sel_registerName("typed:"), +[](id, SEL, id) {}, "v@:d"),
                 RuntimeError)
        << "stated types must be the implementation's";
}

TEST(Runtime, AddMethodLeavesOwnImplementationAndOverridesInherited) {
    Class sub = subclassOfCounter("RTAddCounter");
    auto replacement = +[](id, SEL) -> const char* { return "added"; };
    EXPECT_FALSE(class_addMethod(Counter::objcClass(), sel_registerName("name"), replacement));
    EXPECT_STREQ(msg_send<const char*>(make_object<Counter>(), "name"), "base");
    EXPECT_TRUE(class_addMethod(sub, sel_registerName("name"), replacement));
    EXPECT_STREQ(msg_send<const char*>(class_createInstance(sub), "name"), "added");
    EXPECT_STREQ(msg_send<const char*>(make_object<Counter>(), "name"), "base")
        << "the superclass is untouched";
}

namespace {
int32_t (*originalValue)(id, SEL) = nullptr;
int32_t hookedValue(id self, SEL cmd) {
    return originalValue(self, cmd) * 10;
}
const char* (*originalName)(id, SEL) = nullptr;
const char* hookedName(id, SEL) {
    return "hooked";
}
} // namespace

TEST(Runtime, HookKeepsWhatRanBeforeIncludingInherited) {
    Class sub = subclassOfCounter("RTHookCounter");
    MSHookMessageEx(sub, sel_registerName("value"), &hookedValue, &originalValue);
    ASSERT_NE(originalValue, nullptr) << "an inherited implementation is kept too";
    Ref<NSObject> object = class_createInstance(sub);
    msg_send(object, "bump:", int32_t{4});
    EXPECT_EQ(msg_send<int32_t>(object, "value"), 40);
    EXPECT_EQ(msg_send<int32_t>(make_object<Counter>(), "value"), 0) << "only the hooked class changes";

    MSHookMessageEx(sub, sel_registerName("missing"), &hookedName, &originalName);
    EXPECT_EQ(originalName, nullptr);
    EXPECT_FALSE(class_respondsToSelector(sub, sel_registerName("missing")));

    double (*wrongSlot)(id, SEL) = nullptr;
    EXPECT_THROW(MSHookMessageEx(
                     sub, sel_registerName("value"), +[](id, SEL) -> double { return 0; }, &wrongSlot),
                 RuntimeError);
}

namespace {
std::vector<std::string> seenChanges;
void noteChange(Class cls, SEL name, MethodChange change) {
    seenChanges.push_back(std::string(change == MethodChange::Added ? "+ " : "= ") + class_getName(cls) +
                          " " + sel_getName(name));
}
} // namespace

TEST(Runtime, AWatcherSeesEachAddedAndReplacedMethodInOrder) {
    Class sub = subclassOfCounter("RTWatchedCounter");
    seenChanges.clear();
    objc_setMethodChangeObserver(&noteChange);
    class_addMethod(sub, "name", &hookedName);
    class_addMethod(sub, "name", &hookedName); // refused: no change
    MSHookMessageEx(sub, sel_registerName("value"), &hookedValue, &originalValue);
    MSHookMessageEx(sub, sel_registerName("missing"), &hookedName, &originalName); // nothing to hook
    objc_setMethodChangeObserver(nullptr);
    class_addMethod(sub, "other", &hookedName);
    EXPECT_EQ(seenChanges, (std::vector<std::string>{"+ RTWatchedCounter name", "= RTWatchedCounter value"}));
}

TEST(Runtime, AssociatedObjectsAreRetainedAndReleasedWithTheirObject) {
    static char key;
    static char other;
    Counter::destroyed = 0;
    {
        auto owner = make_object<Counter>();
        EXPECT_EQ(objc_getAssociatedObject(owner, &key), nullptr);
        {
            auto value = make_object<Counter>();
            objc_setAssociatedObject(owner, &key, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
            EXPECT_EQ(value->retainCount(), 2u);
        }
        EXPECT_EQ(Counter::destroyed, 0) << "the association keeps the value";
        objc_setAssociatedObject(owner, &key, make_object<Counter>(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        EXPECT_EQ(Counter::destroyed, 1) << "the replaced value is released";
        objc_setAssociatedObject(owner, &other, make_object<Counter>(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        objc_setAssociatedObject(owner, &other, nullptr, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        EXPECT_EQ(Counter::destroyed, 2) << "nil clears";
        EXPECT_EQ(objc_getAssociatedObject(owner, &other), nullptr);
        EXPECT_NE(objc_getAssociatedObject(owner, &key), nullptr);
    }
    EXPECT_EQ(Counter::destroyed, 4) << "the owner and its remaining value are gone";
}

TEST(Runtime, WeakReferencesZeroWhenTheObjectGoes) {
    Weak<Counter> weak;
    {
        auto counter = make_object<Counter>();
        weak = counter.get();
        Weak<Counter> copy = weak;
        EXPECT_EQ(copy.load().get(), counter.get());
    }
    EXPECT_EQ(weak.load().get(), nullptr);
}

namespace {

// A proxy that forwards everything to a weakly held target, and swallows what it cannot forward.
class Proxy : public NSObject {
public:
    static Class objcClass() {
        static Class const cls = [] {
            Class c = objc_defineClass("RTProxy", NSObject::objcClass(), &instance_factory<Proxy>);
            class_addMethod(
                c, "forwardingTargetForSelector:", +[](id self, SEL, SEL) -> id {
                    return static_cast<Proxy*>(self)->target.load().get();
                });
            return c;
        }();
        return cls;
    }
    Weak<NSObject> target;
};

} // namespace

TEST(Runtime, ForwardingReachesTheTargetAndAnUnforwardableSendIsAnError) {
    auto proxy = make_object<Proxy>();
    {
        auto counter = make_object<Counter>();
        proxy->target = counter.get();
        msg_send(proxy, "bump:", int32_t{3});
        EXPECT_EQ(counter->value, 3);
    }
    EXPECT_THROW(msg_send(proxy, "bump:", int32_t{3}), RuntimeError) << "no target, no forwardInvocation:";
    class_addMethod(
        Proxy::objcClass(), "forwardInvocation:", +[](id, SEL, SEL) {});
    EXPECT_EQ(msg_send<int32_t>(proxy, "value"), 0) << "a swallowed send answers zero";
}

TEST(Runtime, ClassMethodsAnswerThroughTheClassObject) {
    Class sub = subclassOfCounter("RTSingleton");
    static Ref<NSObject> shared;
    class_addMethod(
        object_getMetaclass(Counter::objcClass()), "sharedInstance", +[](id, SEL) -> id {
            if (!shared)
                shared = make_object<Counter>();
            return shared.get();
        });
    id classObject = objc_classObject(objc_getClass("RTSingleton"));
    ASSERT_NE(classObject, nullptr);
    EXPECT_EQ(classObject, objc_classObject(sub)) << "one class object per class";
    id instance = msg_send<id>(classObject, "sharedInstance");
    EXPECT_NE(instance, nullptr) << "class methods are inherited by subclasses";
    EXPECT_EQ(msg_send<id>(objc_classObject(Counter::objcClass()), "sharedInstance"), instance);
    EXPECT_TRUE(msg_send<bool>(classObject, "respondsToSelector:", sel_registerName("sharedInstance")))
        << "class objects answer the root's instance methods";
    EXPECT_THROW(msg_send<id>(classObject, "value"), RuntimeError)
        << "instance methods are not class methods";
}

// An answer handed to a pool lives until that pool drains, whoever else lets go of it; the base
// pool drains only while no scope is open, and what a release hands over goes with it.
TEST(Runtime, AutoreleasedAnswersLiveUntilTheirPoolDrains) {
    AutoreleasePool::drainBase();
    Weak<NSObject> outer, inner, late;
    {
        AutoreleasePool scope;
        outer = objc_autorelease(make_object<NSObject>());
        {
            AutoreleasePool nested;
            inner = objc_autorelease(make_object<NSObject>());
        }
        EXPECT_FALSE(inner.load()) << "the nested pool drained";
        ASSERT_TRUE(outer.load());
        AutoreleasePool::drainBase();
        EXPECT_TRUE(outer.load()) << "an open scope keeps its objects through a base drain";
    }
    EXPECT_FALSE(outer.load());

    struct Handing : NSObject {
        Weak<NSObject>* late = nullptr;
        ~Handing() override { *late = objc_autorelease(make_object<NSObject>()); }
    };
    auto handing = make_object<Handing>();
    handing->late = &late;
    Weak<NSObject> based = objc_autorelease(handing);
    handing = nullptr;
    EXPECT_TRUE(based.load());
    EXPECT_EQ(AutoreleasePool::pendingCount(), 1u);
    AutoreleasePool::drainBase();
    EXPECT_FALSE(based.load());
    EXPECT_FALSE(late.load()) << "what the release handed over drained too";
    EXPECT_EQ(AutoreleasePool::pendingCount(), 0u);
}
