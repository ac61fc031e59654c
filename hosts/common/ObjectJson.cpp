#include "hosts/common/ObjectJson.h"
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
