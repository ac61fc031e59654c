#include "platform/substrate/Loader.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSString.h"
#include "runtime/Class.h"
#include "runtime/Selector.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace Substrate {

namespace {

bool listContains(const NSDictionary* filter, std::string_view key, const std::string& wanted) {
    auto* list = objc_cast<NSArray>(filter->objectForKey(key));
    if (!list || wanted.empty())
        return false;
    return std::any_of(list->objects().begin(), list->objects().end(), [&](const Ref<NSObject>& entry) {
        const std::string* text = string_value(entry.get());
        return text && *text == wanted;
    });
}

bool anyClassKnown(const NSDictionary* filter) {
    auto* list = objc_cast<NSArray>(filter->objectForKey("Classes"));
    if (!list)
        return false;
    return std::any_of(list->objects().begin(), list->objects().end(), [](const Ref<NSObject>& entry) {
        const std::string* name = string_value(entry.get());
        return name && objc_getClass(name->c_str());
    });
}

std::vector<Installation>& recorded() {
    static std::vector<Installation> list;
    return list;
}

// The library whose start-up is running; the runtime's changes meanwhile are its installation.
std::string loadingLibrary;

void recordChange(Class cls, SEL name, MethodChange change) {
    recorded().push_back({loadingLibrary, class_getName(cls), sel_getName(name), class_isMetaClass(cls),
                          change == MethodChange::Replaced});
}

// Loads one library with its start-up watched; the watching ends however the load ends.
bool loadWatched(const std::string& name, std::string& error) {
    struct Watching {
        explicit Watching(const std::string& library) {
            loadingLibrary = library;
            objc_setMethodChangeObserver(&recordChange);
        }
        ~Watching() {
            objc_setMethodChangeObserver(nullptr);
            loadingLibrary.clear();
        }
    } watching(name);
    // RTLD_GLOBAL: the library's exported variables are visible to the rest of the process.
    return DeviceFile::loadLibrary(std::string(libraryFolder) + "/" + name, RTLD_NOW | RTLD_GLOBAL, error);
}

} // namespace

const std::vector<Installation>& installations() {
    return recorded();
}

bool filterMatches(const NSDictionary* filterFile, const HostIdentity& host) {
    auto* filter = filterFile ? objc_cast<NSDictionary>(filterFile->objectForKey("Filter")) : nullptr;
    if (!filter)
        return false;
    return listContains(filter, "Bundles", host.bundleIdentifier) ||
           listContains(filter, "Executables", host.executableName) || anyClassKnown(filter);
}

std::string lastLibraryPath(const HostIdentity& host) {
    return "/var/run/" + host.executableName + ".lastlibrary";
}

// Larger than any tweak; a bigger file is still loaded, just not compared with the others.
constexpr size_t maxLibraryBytes = 64u << 20;

namespace {

// The library's size in bytes, or -1 when it cannot be told.
int64_t librarySize(const std::string& name) {
    int fd = DeviceFile::open(std::string(libraryFolder) + "/" + name, O_PATH);
    if (fd < 0)
        return -1;
    struct stat info {};
    bool known = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return known ? static_cast<int64_t>(info.st_size) : -1;
}

// The first of candidates whose bytes are the library's, or "".
std::string sameLibraryAs(const std::string& name, const std::vector<std::string>& candidates) {
    if (candidates.empty())
        return {};
    std::string error;
    std::vector<uint8_t> contents, other;
    if (DeviceFile::read(std::string(libraryFolder) + "/" + name, maxLibraryBytes, contents, error) !=
        AtomicFile::ReadStatus::Read)
        return {};
    for (const std::string& candidate : candidates)
        if (DeviceFile::read(std::string(libraryFolder) + "/" + candidate, maxLibraryBytes, other, error) ==
                AtomicFile::ReadStatus::Read &&
            other == contents)
            return candidate;
    return {};
}

} // namespace

std::vector<std::string> loadLibrariesForHost(const HostIdentity& host) {
    std::vector<std::string> loaded;
    std::vector<std::string> names;
    for (const std::string& name : DeviceFile::list(libraryFolder))
        if (name.size() > 6 && name.ends_with(".dylib"))
            names.push_back(name);
    std::sort(names.begin(), names.end());
    // The same library installed under two names is loaded once: a second copy would define every
    // exported symbol again and start again over the first. Only libraries of the same size are
    // read and compared.
    std::map<int64_t, std::vector<std::string>> loadedBySize; // size -> names
    for (const auto& name : names) {
        std::string stem = name.substr(0, name.size() - 6);
        std::string filterDevicePath = std::string(libraryFolder) + "/" + stem + ".plist";
        int filterFd = DeviceFile::open(filterDevicePath, O_PATH);
        bool hasFilter = filterFd >= 0 || errno != ENOENT;
        if (filterFd >= 0)
            ::close(filterFd);
        if (hasFilter && !filterMatches(NSDictionary::dictionaryWithContentsOfFile(filterDevicePath), host))
            continue;
        std::string error;
        int64_t size = librarySize(name);
        if (std::string same = sameLibraryAs(name, loadedBySize[size]); !same.empty()) {
            NSLog("MS:Notice: " + name + " is the same library as " + same + "; not loaded twice");
            continue;
        }
        if (size >= 0)
            loadedBySize[size].push_back(name);
        std::string record = name + "\n";
        DeviceFile::write(lastLibraryPath(host),
                          std::span(reinterpret_cast<const uint8_t*>(record.data()), record.size()), error);
        if (!loadWatched(name, error)) {
            NSLog("MS:Error: cannot load " + name + ": " + error);
            continue;
        }
        loaded.push_back(name);
    }
    return loaded;
}

} // namespace Substrate
