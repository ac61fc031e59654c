// Any bytes through the property-list reader, and whatever it accepts back out through both
// writers and in again: the reader must reject rather than crash, and the writers must take every
// tree the reader makes.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/PropertyList.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto result = PropertyList::parse({data, size});
    if (!result.value) {
        if (result.error.empty())
            std::abort(); // a rejection always says why
        return 0;
    }
    auto binary = PropertyList::serialize(result.value, PropertyList::Format::Binary);
    auto xml = PropertyList::serialize(result.value, PropertyList::Format::XML);
    if (!binary.empty())
        PropertyList::parse(binary);
    if (!xml.empty())
        PropertyList::parse(xml);
    return 0;
}
