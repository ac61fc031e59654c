// zorvi device create and update: laying a device out, with its apps, wallpaper and the product, and
// installing a rebuilt product onto it.

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/prefs/PreferenceDomain.h"
#include "tools/DeviceManage.h"
#include "tools/Commands.h"
#include "tools/DrawingCommands.h"
#include "tools/drawing/DefaultWallpaper.h"
#include "tools/drawing/InstalledApps.h"
#include "tools/drawing/ProductInstall.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr const char* appSuite = "com.vantrel.zorvipref";

bool makeFolders(std::string& error) {
    const char* folders[] = {"/System/Library/CoreServices",
                             "/var/mobile/Library/Preferences",
                             "/var/mobile/Library/SpringBoard",
                             "/var/log",
                             "/var/run",
                             "/Applications",
                             "/usr/bin",
                             "/Library/MobileSubstrate/DynamicLibraries",
                             "/Library/PreferenceBundles",
                             "/Library/PreferenceLoader/Preferences"};
    for (const char* folder : folders)
        if (!DeviceFile::makeFolders(folder, error))
            return false;
    // As on the device, /User is the mobile user's home: a link made and replaced inside the root.
    int root = DeviceFile::open("/", O_PATH | O_DIRECTORY);
    if (root < 0) {
        error = "cannot open the device root";
        return false;
    }
    ::unlinkat(root, "User", 0);
    bool linked = ::symlinkat("var/mobile", root, "User") == 0;
    int failure = errno;
    ::close(root);
    if (!linked) {
        error = std::string("cannot link /User: ") + std::strerror(failure);
        return false;
    }
    return true;
}

bool writeSystemVersion(const std::string& version, std::string& error) {
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSString::stringWithUTF8String("iPhone OS"), "ProductName");
    values->setObject(NSString::stringWithUTF8String(version), "ProductVersion");
    values->setObject(NSString::stringWithUTF8String("ZV" + version), "ProductBuildVersion");
    if (!PropertyList::writeDictionary("/System/Library/CoreServices/SystemVersion.plist", values,
                                       PropertyList::Format::XML)) {
        error = "cannot write SystemVersion.plist";
        return false;
    }
    return true;
}

bool chooseApps(std::string& error) {
    const auto& apps = defaultApps();
    const char* keys[] = {"zorvi", "zorvi2", "zorvi3", "zorvi4"};
    for (size_t i = 0; i < 4 && i < apps.size(); ++i) {
        if (!PreferenceDomain::write(appSuite, keys[i],
                                     NSString::stringWithUTF8String(apps[i].bundleIdentifier))) {
            error = "cannot write the app choices";
            return false;
        }
    }
    return true;
}

} // namespace

int zv_createDevice(const CLI::App&, const std::string& chosenRoot, const CreateOptions& options) {
    std::string root = chosenRoot.empty() ? DeviceRoot::defaultDirectory() : chosenRoot;
    const std::string& system = options.system;
    ScreenProfile screen;
    if (!options.screen.empty())
        screen = *DeviceProfile::parseScreen(options.screen);
    std::error_code failure;
    // Laying a running device out again would reset what its processes are using.
    if (deviceIsBooted(root)) {
        std::fprintf(stderr, "zorvi device: %s is booted; shut it down first\n", root.c_str());
        return 1;
    }
    if (std::filesystem::exists(root, failure) && !std::filesystem::is_empty(root, failure) &&
        !options.force) {
        std::fprintf(stderr, "zorvi device: %s exists already (add --force to lay it out again)\n",
                     root.c_str());
        return 1;
    }
    std::filesystem::create_directories(root, failure);
    if (failure) {
        std::fprintf(stderr, "zorvi device: cannot make %s: %s\n", root.c_str(), failure.message().c_str());
        return 1;
    }
    DeviceRoot::setCurrent(root);
    std::string error;
    bool made = makeFolders(error) && writeSystemVersion(system, error);
    if (made && !DeviceProfile::writeScreen(screen)) {
        error = "cannot write the device profile";
        made = false;
    }
    for (const auto& app : defaultApps()) {
        if (made && !installApp(app, error))
            made = false;
    }
    made = made && chooseApps(error) && installProduct(error) && installDeviceTools(error);
    int pixelWidth = static_cast<int>(std::lround(screen.width * screen.scale));
    int pixelHeight = static_cast<int>(std::lround(screen.height * screen.scale));
    if (made && !installDefaultWallpaper(pixelWidth, pixelHeight)) {
        error = "cannot write the wallpaper";
        made = false;
    }
    if (!made) {
        std::fprintf(stderr, "zorvi device: %s\n", error.c_str());
        return 1;
    }
    std::printf("created a device at %s (system %s, screen %s)\n", DeviceRoot::current().c_str(),
                system.c_str(), DeviceProfile::formatScreen(screen).c_str());
    return 0;
}

int zv_updateDevice(const CLI::App& command, const std::string& root) {
    if (!selectDevice(root, command))
        return 1;
    std::string error;
    if (!installProduct(error) || !installDeviceTools(error)) {
        std::fprintf(stderr, "zorvi device: %s\n", error.c_str());
        return 1;
    }
    std::printf("updated the product and the device's programs at %s\n", DeviceRoot::current().c_str());
    return 0;
}
