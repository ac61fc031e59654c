#include "wave/UUWaveWeakProxy.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"
#include "wave/SharedClass.h"

Class UUWaveWeakProxy::objcClass() {
    static Class const cls = [] {
        if (Class existing = objc_getClass("UUWaveWeakProxy"))
            return sharedWaveClass(existing, "initWithTarget:");
        Class c =
            objc_defineClass("UUWaveWeakProxy", NSObject::objcClass(), &instance_factory<UUWaveWeakProxy>);
        class_addMethod(
            object_getMetaclass(c), "proxyWithTarget:", +[](id, SEL, id target) -> id {
                return objc_autorelease(UUWaveWeakProxy::proxyWithTarget(target));
            });
        class_addMethod(
            c, "initWithTarget:", +[](id self, SEL, id target) -> id {
                return static_cast<UUWaveWeakProxy*>(self)->initWithTarget(target);
            });
        // The answer stays alive while the send runs: its owners are elsewhere, and the view goes
        // away only on the main thread, which is the one sending.
        class_addMethod(
            c, "target",
            +[](id self, SEL) -> id { return static_cast<UUWaveWeakProxy*>(self)->target().get(); });
        class_addMethod(
            c, "forwardingTargetForSelector:", +[](id self, SEL, SEL) -> id {
                return static_cast<UUWaveWeakProxy*>(self)->target().get();
            });
        // With the target gone, whatever was meant for it is dropped.
        class_addMethod(
            c, "forwardInvocation:", +[](id, SEL, SEL) {});
        return c;
    }();
    return cls;
}

Ref<UUWaveWeakProxy> UUWaveWeakProxy::proxyWithTarget(NSObject* target) {
    Ref<NSObject> instance = class_createInstance(objcClass());
    return Ref<UUWaveWeakProxy>(
        objc_cast<UUWaveWeakProxy>(msg_send<id>(instance.get(), "initWithTarget:", target)));
}

UUWaveWeakProxy* UUWaveWeakProxy::initWithTarget(NSObject* target) {
    m_target = target;
    return this;
}
