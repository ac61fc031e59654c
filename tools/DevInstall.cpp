#include "tools/DevInstall.h"
#include "platform/foundation/DeviceFile.h"
#include "tools/ProductFiles.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t maxInstalledFile = 256 << 20;

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
    for (const ProductFile& file : productFiles()) {
        std::string source = libraries + "/" + file.built, bytes;
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
