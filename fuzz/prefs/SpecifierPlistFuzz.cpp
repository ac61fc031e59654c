// Any bytes as a settings page's property list: whatever the reader accepts goes through the row
// reader, which must make a specifier or refuse the row, never crash; every specifier made answers
// its properties.

#include "platform/foundation/NSArray.h"
#include "platform/foundation/PropertyList.h"
#include "platform/prefs/SpecifierPlist.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto result = PropertyList::parse({data, size});
    auto* page = objc_cast<NSDictionary>(result.value.get());
    auto* items = page ? objc_cast<NSArray>(page->objectForKey("items")) : nullptr;
    if (!items)
        return 0;
    for (size_t i = 0; i < items->count() && i < 1000; ++i) {
        auto* row = objc_cast<NSDictionary>(items->objectAtIndex(i));
        if (!row)
            continue;
        if (Ref<PSSpecifier> specifier = specifierFromDictionary(row, nullptr, "fuzz")) {
            specifier->name();
            specifier->identifier();
            specifier->propertyForKey("key");
        }
    }
    return 0;
}
