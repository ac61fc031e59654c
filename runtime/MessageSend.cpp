#include "runtime/MessageSend.h"

namespace objc_detail {

namespace {

// Forwarding can chain (a proxy to a proxy); a loop is a programming error, not a hang.
constexpr int maxForwardingHops = 16;

[[noreturn]] void throwUnrecognized(id receiver, SEL sel) {
    throw RuntimeError(std::string("-[") + receiver->className() + " " + sel_getName(sel) +
                       "]: unrecognized selector sent to instance");
}

} // namespace

Method resolve(id& receiver, SEL sel) {
    static SEL const forwardingTarget = sel_registerName("forwardingTargetForSelector:");
    static SEL const forwardInvocation = sel_registerName("forwardInvocation:");
    for (int hop = 0; hop < maxForwardingHops; ++hop) {
        if (Method method = class_getInstanceMethod(receiver->getClass(), sel))
            return method;
        id target = msg_send<id>(receiver, forwardingTarget, sel);
        if (target && target != receiver) {
            receiver = target;
            continue;
        }
        if (class_getInstanceMethod(receiver->getClass(), forwardInvocation)) {
            msg_send<void>(receiver, forwardInvocation, sel);
            return nullptr;
        }
        throwUnrecognized(receiver, sel);
    }
    throw RuntimeError(std::string("-[") + receiver->className() + " " + sel_getName(sel) +
                       "]: forwarding loop");
}

Method resolveSuper(Class cls, SEL sel) {
    return class_getInstanceMethod(class_getSuperclass(cls), sel);
}

void throwMismatch(id receiver, SEL sel, Method method, const std::string& sentAs) {
    throw RuntimeError(std::string("-[") + receiver->className() + " " + sel_getName(sel) + "]: sent as \"" +
                       sentAs + "\" but the method's type is \"" + method->types + "\"");
}

} // namespace objc_detail
