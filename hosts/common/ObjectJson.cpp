#include "hosts/common/ObjectJson.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

Json colourJson(const UIColor* colour) {
    if (!colour)
        return Json::null();
    return Json::numbers({colour->red(), colour->green(), colour->blue(), colour->alpha()});
}

Json frameJson(const CGRect& frame) {
    return Json::numbers({frame.origin.x, frame.origin.y, frame.size.width, frame.size.height});
}

Json plistJson(const NSObject* value) {
    if (!value)
        return Json::null();
    if (const std::string* text = string_value(value))
        return Json::string(*text);
    if (auto* number = objc_cast<NSNumber>(const_cast<NSObject*>(value))) {
        if (number->isBoolean())
            return Json::boolean(number->boolValue());
        return Json::number(number->doubleValue());
    }
    return Json::string(value->className());
}

namespace {

constexpr int maxDepth = 8;

Json nestedJson(const NSObject* value, int depth) {
    auto* object = const_cast<NSObject*>(value);
    if (auto* dictionary = objc_cast<NSDictionary>(object)) {
        if (depth >= maxDepth)
            return Json::string(value->className());
        Json::Object fields;
        for (const auto& [key, item] : dictionary->entries())
            fields.add(key, nestedJson(item.get(), depth + 1));
        return fields.done();
    }
    if (auto* array = objc_cast<NSArray>(object)) {
        if (depth >= maxDepth)
            return Json::string(value->className());
        std::vector<Json> items;
        for (size_t i = 0; i < array->count(); ++i)
            items.push_back(nestedJson(array->objectAtIndex(i), depth + 1));
        return Json::array(items);
    }
    return plistJson(value);
}

} // namespace

Json objectJson(const NSObject* value) {
    if (!value)
        return Json::null();
    if (objc_cast<NSDictionary>(const_cast<NSObject*>(value)))
        return nestedJson(value, 0);
    return Json::Object().add("class", Json::string(value->className())).done();
}
