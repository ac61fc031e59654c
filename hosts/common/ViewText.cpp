#include "hosts/common/ViewText.h"
#include "platform/foundation/NSString.h"
#include "runtime/Associations.h"

namespace {

const char textKey = 0;

} // namespace

void setViewText(UIView* view, const std::string& text) {
    objc_setAssociatedObject(view, &textKey, NSString::stringWithUTF8String(text).get(),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

const std::string* viewText(const UIView* view) {
    return string_value(objc_getAssociatedObject(const_cast<UIView*>(view), &textKey));
}
