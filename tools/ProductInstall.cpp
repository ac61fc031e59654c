#include "tools/ProductInstall.h"
#include "platform/foundation/DeviceRoot.h"

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
    std::string tweak = libraries + "/Zorvi.dylib";
    std::error_code failure;
    if (libraries.empty() || !std::filesystem::is_regular_file(tweak, failure)) {
        error = "the tweak library is not built (looked for " + tweak + ")";
        return false;
    }
    std::string folder = *DeviceRoot::hostPath("/Library/MobileSubstrate/DynamicLibraries");
    std::filesystem::copy_file(tweak, folder + "/Zorvi.dylib",
                               std::filesystem::copy_options::overwrite_existing, failure);
    if (failure) {
        error = "cannot install Zorvi.dylib: " + failure.message();
        return false;
    }
    std::ofstream filter(folder + "/Zorvi.plist", std::ios::trunc);
    filter << tweakFilter;
    if (!filter.flush()) {
        error = "cannot write Zorvi.plist";
        return false;
    }
    return true;
}
