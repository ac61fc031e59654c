#include "tools/DevInstall.h"
#include "platform/foundation/DeviceFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t maxInstalledFile = 256 << 20;

struct Built {
    const char* file;   // in the build's lib folder
    const char* device; // where the device keeps it
    mode_t mode;
    bool tweak;
};

// Each file a build of the product makes, where `zorvi device create` installs it.
constexpr Built builtFiles[] = {
    {"Zorvi.dylib", "/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib", 0755, true},
    {"zorvipref.bundle/zorvipref", "/Library/PreferenceBundles/zorvipref.bundle/zorvipref", 0755, false},
    {"zorvipref.bundle/Info.plist", "/Library/PreferenceBundles/zorvipref.bundle/Info.plist", 0644, false},
    {"zorvipref.bundle/Root.plist", "/Library/PreferenceBundles/zorvipref.bundle/Root.plist", 0644, false},
    {"zorvipref.bundle/ColorPrefs.plist", "/Library/PreferenceBundles/zorvipref.bundle/ColorPrefs.plist",
     0644, false},
    {"zorvipref.bundle/Entry.plist", "/Library/PreferenceLoader/Preferences/Zorvi.plist", 0644, false},
};

bool readHostFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Whether the device holds exactly these bytes at the path.
bool holds(const char* devicePath, const std::string& bytes) {
    std::vector<uint8_t> held;
    std::string error;
    return DeviceFile::read(devicePath, maxInstalledFile, held, error) == AtomicFile::ReadStatus::Read &&
           held.size() == bytes.size() && std::memcmp(held.data(), bytes.data(), bytes.size()) == 0;
}

} // namespace

bool installChanges(const std::string& libraries, InstallChange& change, std::string& error) {
    change = InstallChange{};
    for (const Built& file : builtFiles) {
        std::string source = libraries + "/" + file.file, bytes;
        if (!readHostFile(source, bytes)) {
            error = "the build has no " + source;
            return false;
        }
        if (holds(file.device, bytes))
            continue;
        if (!DeviceFile::install(source, file.device, error, file.mode)) {
            error = std::string("cannot install ") + file.device + ": " + error;
            return false;
        }
        change.files.push_back(file.device);
        (file.tweak ? change.tweak : change.bundle) = true;
    }
    return true;
}
