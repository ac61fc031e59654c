#pragma once

// Type encodings of the values a message may carry, and the "call shape" a send is made with.
// Object pointers of any class (and Ref<>, and nullptr) travel as plain `id`, so that a method's
// implementation and the caller always agree on the real function type. A type that has no
// encoding does not compile; platform value types add theirs by specialising objc_encoding.

#include "runtime/Ref.h"
#include "runtime/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

template <typename T, typename = void> struct objc_encoding; // no encoding: a compile error

template <> struct objc_encoding<void> { static constexpr const char* value = "v"; };
template <> struct objc_encoding<id> { static constexpr const char* value = "@"; };
template <> struct objc_encoding<SEL> { static constexpr const char* value = ":"; };
template <> struct objc_encoding<Class> { static constexpr const char* value = "#"; };
template <> struct objc_encoding<bool> { static constexpr const char* value = "B"; };
template <> struct objc_encoding<char> { static constexpr const char* value = "c"; };
template <> struct objc_encoding<int32_t> { static constexpr const char* value = "i"; };
template <> struct objc_encoding<uint32_t> { static constexpr const char* value = "I"; };
template <> struct objc_encoding<long> { static constexpr const char* value = "q"; };
template <> struct objc_encoding<unsigned long> { static constexpr const char* value = "Q"; };
template <> struct objc_encoding<long long> { static constexpr const char* value = "q"; };
template <> struct objc_encoding<unsigned long long> { static constexpr const char* value = "Q"; };
template <> struct objc_encoding<float> { static constexpr const char* value = "f"; };
template <> struct objc_encoding<double> { static constexpr const char* value = "d"; };
template <> struct objc_encoding<const char*> { static constexpr const char* value = "*"; };
template <> struct objc_encoding<const void*> { static constexpr const char* value = "^v"; };

namespace objc_detail {

template <typename T> struct is_ref : std::false_type {};
template <typename T> struct is_ref<Ref<T>> : std::true_type {};

template <typename T>
constexpr bool is_object_like = std::is_same_v<T, std::nullptr_t> || is_ref<T>::value ||
                                (std::is_pointer_v<T> && std::is_convertible_v<T, const NSObject*>);

} // namespace objc_detail

// The type a value travels as: id for every object, the value's own type otherwise.
template <typename T>
using objc_abi_t = std::conditional_t<objc_detail::is_object_like<std::decay_t<T>>, id, std::decay_t<T>>;

template <typename T> const char* objc_encode() {
    return objc_encoding<objc_abi_t<T>>::value;
}

// "R@:A1A2..." for a send answering R with the given arguments.
template <typename R, typename... Args> std::string objc_encode_call() {
    std::string encoding = objc_encode<R>();
    encoding += "@:";
    (encoding.append(objc_encode<Args>()), ...);
    return encoding;
}

// The encoding of an implementation's function type; every parameter must already be an ABI type.
template <typename R, typename... Args> std::string objc_encode_imp(R (*)(id, SEL, Args...)) {
    static_assert(std::is_same_v<R, objc_abi_t<R>>,
                  "an implementation must answer id, not a subclass pointer");
    static_assert((std::is_same_v<Args, objc_abi_t<Args>> && ...),
                  "an implementation must take id for object arguments");
    return objc_encode_call<R, Args...>();
}
