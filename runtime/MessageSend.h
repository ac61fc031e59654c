#pragma once

// Sending messages. msg_send<R>(receiver, selector, args...) looks the selector up along the
// receiver's class chain, forwards it through forwardingTargetForSelector: when nothing answers,
// checks that the method's type encoding is the one the send is made with, and calls it.
//
// - A nil receiver does nothing and answers zero (nil, NO, 0, a zero struct).
// - A selector nobody answers, or a send whose types disagree with the method's encoding,
//   throws RuntimeError naming the class and the selector: never undefined behaviour.
// - A class that implements forwardInvocation: ("v@::", taking the selector) swallows selectors it
//   cannot forward; the send then answers zero.

#include "runtime/Class.h"
#include "runtime/Encoding.h"
#include "runtime/NSObject.h"
#include "runtime/RuntimeError.h"
#include "runtime/Selector.h"

#include <string>
#include <type_traits>

namespace objc_detail {

// The method that answers sel for receiver (which forwarding may replace), or nullptr when the
// send is to answer zero. Throws for an unrecognized selector.
Method resolve(id& receiver, SEL sel);
[[noreturn]] void throwMismatch(id receiver, SEL sel, Method method, const std::string& sentAs);
Method resolveSuper(Class cls, SEL sel);

template <typename R> R zero() {
    if constexpr (!std::is_void_v<R>)
        return R{};
}

template <typename R, typename... Args> R invoke(Method method, id receiver, SEL sel, Args... args) {
    static const std::string sentAs = objc_encode_call<R, Args...>();
    if (method->encoding != sentAs)
        throwMismatch(receiver, sel, method, sentAs);
    using AbiR = objc_abi_t<R>;
    auto fn = reinterpret_cast<AbiR (*)(id, SEL, objc_abi_t<Args>...)>(method->imp);
    if constexpr (std::is_void_v<R>)
        fn(receiver, sel, static_cast<objc_abi_t<Args>>(args)...);
    else
        return static_cast<R>(fn(receiver, sel, static_cast<objc_abi_t<Args>>(args)...));
}

} // namespace objc_detail

template <typename R = void, typename... Args> R msg_send(id receiver, SEL sel, Args... args) {
    if (!receiver)
        return objc_detail::zero<R>();
    Method method = objc_detail::resolve(receiver, sel);
    if (!method)
        return objc_detail::zero<R>();
    return objc_detail::invoke<R, Args...>(method, receiver, sel, args...);
}

template <typename R = void, typename... Args> R msg_send(id receiver, const char* selector, Args... args) {
    return msg_send<R, Args...>(receiver, sel_registerName(selector), args...);
}

// Sends to receiver the implementation found above cls (the class whose method is running).
template <typename R = void, typename... Args>
R msg_send_super(Class cls, id receiver, SEL sel, Args... args) {
    if (!receiver)
        return objc_detail::zero<R>();
    Method method = objc_detail::resolveSuper(cls, sel);
    if (!method)
        throw RuntimeError(std::string("-[") + class_getName(class_getSuperclass(cls)) + " " +
                           sel_getName(sel) + "]: no superclass implementation");
    return objc_detail::invoke<R, Args...>(method, receiver, sel, args...);
}

// Typed method registration: the implementation's own type gives the encoding, which must equal
// the one the caller states (a mismatch throws RuntimeError).
template <typename R, typename... A> IMP imp_cast(R (*fn)(id, SEL, A...)) {
    (void)objc_encode_imp(fn);
    return reinterpret_cast<IMP>(fn);
}

template <typename R, typename... A>
bool class_addMethod(Class cls, SEL sel, R (*fn)(id, SEL, A...), const char* types) {
    std::string actual = objc_encode_imp(fn);
    if (encoding_strip_offsets(types) != actual)
        throw RuntimeError(std::string("-[") + class_getName(cls) + " " + sel_getName(sel) +
                           "]: stated types \"" + (types ? types : "") + "\" but the implementation is \"" +
                           actual + "\"");
    return class_addMethod(cls, sel, reinterpret_cast<IMP>(fn), types);
}

template <typename R, typename... A> bool class_addMethod(Class cls, SEL sel, R (*fn)(id, SEL, A...)) {
    return class_addMethod(cls, sel, reinterpret_cast<IMP>(fn), objc_encode_imp(fn).c_str());
}

template <typename R, typename... A>
bool class_addMethod(Class cls, const char* sel, R (*fn)(id, SEL, A...)) {
    return class_addMethod(cls, sel_registerName(sel), fn);
}
