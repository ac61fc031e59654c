#include "tools/ProductInstall.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/InstalledApps.h"

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
    return installSettingsBundle(libraries, error);
}

bool installSettingsBundle(const std::string& libraries, std::string& error) {
    std::string built = libraries + "/zorvipref.bundle";
    std::error_code failure;
    if (!std::filesystem::is_regular_file(built + "/zorvipref", failure)) {
        error = "the settings bundle is not built (looked for " + built + ")";
        return false;
    }
    std::string bundle = *DeviceRoot::hostPath("/Library/PreferenceBundles/zorvipref.bundle");
    std::filesystem::create_directories(bundle, failure);
    for (const char* file : {"zorvipref", "Info.plist", "Root.plist", "ColorPrefs.plist"}) {
        std::filesystem::copy_file(built + "/" + file, bundle + "/" + file,
                                   std::filesystem::copy_options::overwrite_existing, failure);
        if (failure) {
            error = std::string("cannot install the settings bundle's ") + file + ": " + failure.message();
            return false;
        }
    }
    if (!drawIcon({"com.vantrel.zorvipref", "Zorvi", 0.55, 0.28, 0.82, "Z"}, bundle + "/icon.png")) {
        error = "cannot draw the settings bundle's icon";
        return false;
    }
    std::string entries = *DeviceRoot::hostPath("/Library/PreferenceLoader/Preferences");
    std::filesystem::create_directories(entries, failure);
    std::filesystem::copy_file(built + "/Entry.plist", entries + "/Zorvi.plist",
                               std::filesystem::copy_options::overwrite_existing, failure);
    if (failure) {
        error = "cannot install the settings entry: " + failure.message();
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
    std::string target = *DeviceRoot::hostPath("/usr/bin/killall");
    std::filesystem::create_directories(std::filesystem::path(target).parent_path(), failure);
    std::filesystem::copy_file(killall, target, std::filesystem::copy_options::overwrite_existing, failure);
    if (failure) {
        error = "cannot install /usr/bin/killall: " + failure.message();
        return false;
    }
    return true;
}
