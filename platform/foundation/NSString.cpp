#include "platform/foundation/NSString.h"
#include "runtime/MessageSend.h"

Class NSString::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSString", NSObject::objcClass(), &instance_factory<NSString>);
        class_addMethod(
            c, "UTF8String",
            +[](id self, SEL) -> const char* { return static_cast<NSString*>(self)->UTF8String().c_str(); });
        return c;
    }();
    return cls;
}

Ref<NSString> NSString::stringWithUTF8String(std::string_view text) {
    return make_object<NSString>(std::string(text));
}

const std::string* string_value(const NSObject* object) {
    if (!object || !object->isKindOfClass(NSString::objcClass()))
        return nullptr;
    return &static_cast<const NSString*>(object)->UTF8String();
}
