#include "platform/prefs/PSSpecifier.h"
#include "platform/foundation/NSString.h"
#include "runtime/Associations.h"
#include "runtime/MessageSend.h"

namespace {

PSSpecifier* asSpecifier(id self) {
    return static_cast<PSSpecifier*>(self);
}

} // namespace

Class PSSpecifier::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("PSSpecifier", NSObject::objcClass(), &instance_factory<PSSpecifier>);
        class_addMethod(
            c, "name", +[](id self, SEL) -> id {
                // Kept until the next call, so that the answer has an owner.
                static const char key = 0;
                Ref<NSString> name = NSString::stringWithUTF8String(asSpecifier(self)->name());
                objc_setAssociatedObject(self, &key, name, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return name.get();
            });
        class_addMethod(
            c, "setName:", +[](id self, SEL, id name) {
                const std::string* text = string_value(name);
                asSpecifier(self)->setName(text ? *text : std::string());
            });
        class_addMethod(
            c, "propertyForKey:", +[](id self, SEL, id key) -> id {
                const std::string* text = string_value(key);
                return text ? asSpecifier(self)->propertyForKey(*text) : nullptr;
            });
        class_addMethod(
            c, "setProperty:forKey:", +[](id self, SEL, id value, id key) {
                if (const std::string* text = string_value(key))
                    asSpecifier(self)->setProperty(value, *text);
            });
        class_addMethod(
            c, "cellType", +[](id self, SEL) -> long { return asSpecifier(self)->cellType(); });
        class_addMethod(
            c, "target", +[](id self, SEL) -> id { return asSpecifier(self)->m_target.load().get(); });
        class_addMethod(
            c, "setTarget:", +[](id self, SEL, id target) { asSpecifier(self)->setTarget(target); });
        class_addMethod(
            c, "detailControllerClass",
            +[](id self, SEL) -> Class { return asSpecifier(self)->detailControllerClass(); });
        return c;
    }();
    return cls;
}

PSSpecifier::PSSpecifier() : m_properties(NSMutableDictionary::dictionary()) {}

Ref<PSSpecifier> PSSpecifier::preferenceSpecifierNamed(const std::string& name, NSObject* target,
                                                       PSCellType cell, Class detail) {
    Ref<PSSpecifier> specifier = make_object<PSSpecifier>();
    specifier->m_name = name;
    specifier->m_target = target;
    specifier->m_cellType = cell;
    specifier->m_detail = detail;
    return specifier;
}

std::string PSSpecifier::stringProperty(std::string_view key) const {
    const std::string* text = string_value(propertyForKey(key));
    return text ? *text : std::string();
}

const char* cellTypeName(PSCellType type) {
    switch (type) {
    case PSGroupCell:
        return "PSGroupCell";
    case PSLinkCell:
        return "PSLinkCell";
    case PSStaticTextCell:
        return "PSStaticTextCell";
    case PSSwitchCell:
        return "PSSwitchCell";
    case PSEditTextCell:
        return "PSEditTextCell";
    case PSButtonCell:
        return "PSButtonCell";
    case PSColorCell:
        return "PSColorCell";
    case PSAppListCell:
        return "PSAppListCell";
    }
    return "PSStaticTextCell";
}

std::optional<PSCellType> cellTypeNamed(std::string_view name) {
    for (PSCellType type : {PSGroupCell, PSLinkCell, PSStaticTextCell, PSSwitchCell, PSEditTextCell,
                            PSButtonCell, PSColorCell, PSAppListCell})
        if (name == cellTypeName(type))
            return type;
    return std::nullopt;
}
