#include "tools/drawing/ProductInstall.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/ProductFiles.h"
#include "tools/drawing/InstalledApps.h"

#include <filesystem>
#include <fstream>

namespace {

// Tweak filters are usually written by hand in the OpenStep form; so is ours.
constexpr const char* tweakFilter = "{ Filter = { Bundles = ( \"com.apple.springboard\" ); }; }\n";

} // namespace

std::string productLibraryFolder() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    auto folder = self.parent_path().parent_path() / "lib";
    return std::filesystem::is_directory(folder, error) ? folder.string() : std::string();
}

bool installProduct(std::string& error) {
    std::string libraries = productLibraryFolder();
    std::error_code failure;
    for (const ProductFile& file : productFiles()) {
        std::string built = libraries + "/" + file.built;
        if (libraries.empty() || !std::filesystem::is_regular_file(built, failure)) {
            error = std::string(file.tweak ? "the tweak library" : "the settings bundle") +
                    " is not built (looked for " + built + ")";
            return false;
        }
    }
    for (const ProductFile& file : productFiles()) {
        if (!DeviceFile::install(libraries + "/" + file.built, file.device, error, file.mode)) {
            error = std::string("cannot install ") + file.device + ": " + error;
            return false;
        }
    }
    std::string_view filter = tweakFilter;
    if (!DeviceFile::write(tweakFilterPath, std::span(reinterpret_cast<const uint8_t*>(filter.data()), filter.size()),
                           error)) {
        error = "cannot write Zorvi.plist: " + error;
        return false;
    }
    if (!drawIcon({"com.vantrel.zorvipref", "Zorvi", 0.55, 0.28, 0.82, "Z"}, bundleIconPath)) {
        error = "cannot draw the settings bundle's icon";
        return false;
    }
    return true;
}

bool installDeviceTools(std::string& error) {
    std::error_code failure;
    auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
    std::string killall = (self.parent_path() / "zv-killall").string();
    if (failure || !std::filesystem::is_regular_file(killall, failure)) {
        error = "the device's killall is not built (looked for " + killall + ")";
        return false;
    }
    if (!DeviceFile::install(killall, "/usr/bin/killall", error, 0755)) {
        error = "cannot install /usr/bin/killall: " + error;
        return false;
    }
    return true;
}
