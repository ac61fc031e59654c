#include "colour/WaveColors.h"
#include "platform/foundation/NSDictionary.h"

namespace {

constexpr const char* preferencesFile = "/User/Library/Preferences/com.vantrel.zorvi.plist";

} // namespace

Ref<NSObject> customColorValueFromFile(std::string_view key) {
    Ref<NSDictionary> values = NSDictionary::dictionaryWithContentsOfFile(preferencesFile);
    if (!values)
        values = NSDictionary::dictionary();
    return values->objectForKey(key);
}
