#include "platform/foundation/SystemVersion.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <charconv>
#include <string_view>
#include <tuple>

namespace SystemVersion {

namespace {

constexpr const char* versionFile = "/System/Library/CoreServices/SystemVersion.plist";

// Reads one run of digits into part; false when there is none or it does not fit.
bool readPart(std::string_view& text, int& part) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0)
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + digits, part);
    if (error != std::errc())
        return false;
    text.remove_prefix(digits);
    return true;
}

} // namespace

std::string productVersion() {
    Ref<NSDictionary> values = PropertyList::readDictionary(versionFile);
    NSObject* stored = values ? values->objectForKey("ProductVersion") : nullptr;
    const std::string* text = string_value(stored);
    if (stored && !text)
        NSLog("System version: ProductVersion is not a string; the system has no version");
    return text ? *text : std::string();
}

OperatingSystemVersion parse(const std::string& text) {
    std::string_view rest(text);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '\n'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\n'))
        rest.remove_suffix(1);

    OperatingSystemVersion version;
    int* parts[] = {&version.majorVersion, &version.minorVersion, &version.patchVersion};
    for (size_t index = 0; index < 3; ++index) {
        if (!readPart(rest, *parts[index]))
            return {};
        if (rest.empty())
            return version;
        if (rest.front() != '.' || index == 2)
            return {};
        rest.remove_prefix(1);
    }
    return {};
}

OperatingSystemVersion current() {
    std::string text = productVersion();
    OperatingSystemVersion version = parse(text);
    // Said once for each unreadable version met, however often the version is asked for.
    static std::string lastUnreadable;
    if (!text.empty() && version.majorVersion == 0 && version.minorVersion == 0 &&
        version.patchVersion == 0 && text != lastUnreadable) {
        lastUnreadable = text;
        NSLog("System version: cannot read '" + text +
              "' (one to three numbers, such as 14.4); taken as 0.0.0");
    }
    return version;
}

bool isAtLeast(const OperatingSystemVersion& version) {
    OperatingSystemVersion running = current();
    return std::tie(running.majorVersion, running.minorVersion, running.patchVersion) >=
           std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

} // namespace SystemVersion
