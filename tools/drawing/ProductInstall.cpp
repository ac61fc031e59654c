#include "tools/drawing/ProductInstall.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
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
    std::string tweak = libraries + "/Zorvi.dylib";
    std::error_code failure;
    if (libraries.empty() || !std::filesystem::is_regular_file(tweak, failure)) {
        error = "the tweak library is not built (looked for " + tweak + ")";
        return false;
    }
    std::string folder = "/Library/MobileSubstrate/DynamicLibraries";
    if (!DeviceFile::install(tweak, folder + "/Zorvi.dylib", error, 0755)) {
        error = "cannot install Zorvi.dylib: " + error;
        return false;
    }
    std::string_view filter = tweakFilter;
    if (!DeviceFile::write(folder + "/Zorvi.plist",
                           std::span(reinterpret_cast<const uint8_t*>(filter.data()), filter.size()),
                           error)) {
        error = "cannot write Zorvi.plist: " + error;
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
    std::string bundle = "/Library/PreferenceBundles/zorvipref.bundle";
    for (const char* file : {"zorvipref", "Info.plist", "Root.plist", "ColorPrefs.plist"}) {
        if (!DeviceFile::install(built + "/" + file, bundle + "/" + file, error,
                                 std::string_view(file) == "zorvipref" ? 0755 : 0644)) {
            error = std::string("cannot install the settings bundle's ") + file + ": " + error;
            return false;
        }
    }
    if (!drawIcon({"com.vantrel.zorvipref", "Zorvi", 0.55, 0.28, 0.82, "Z"}, bundle + "/icon.png")) {
        error = "cannot draw the settings bundle's icon";
        return false;
    }
    if (!DeviceFile::install(built + "/Entry.plist", "/Library/PreferenceLoader/Preferences/Zorvi.plist",
                             error)) {
        error = "cannot install the settings entry: " + error;
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
