// zorvi device create: lays out a new simulated device with the product installed.

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/SystemVersion.h"
#include "platform/prefs/PreferenceDomain.h"
#include "tools/CommandLine.h"
#include "tools/DefaultWallpaper.h"
#include "tools/DeviceManage.h"
#include "tools/InstalledApps.h"
#include "tools/ProductInstall.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr const char* name = "device";
constexpr const char* defaultSystem = "14.4";
constexpr const char* appSuite = "com.vantrel.zorvipref";

// The systems the device stands in for: the first with a lock screen like this one's to the latest.
constexpr int oldestSystem = 7, newestSystem = 26;

// One to three numbers of one to three digits, separated by dots ("14.4", "12.4.1"), the first of
// them a system that exists.
bool validSystemVersion(const std::string& text) {
    int major = std::atoi(text.c_str());
    if (major < oldestSystem || major > newestSystem)
        return false;
    int parts = 0;
    size_t start = 0;
    while (true) {
        size_t dot = text.find('.', start);
        std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            ++parts > 3)
            return false;
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

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

int create(const CommandLine& line) {
    std::string root = line.value("--root").value_or(DeviceRoot::defaultDirectory());
    std::string system = line.value("--system").value_or(defaultSystem);
    if (!validSystemVersion(system))
        return commandLineError(name, "not a system version: " + system + " (from " +
                                          std::to_string(oldestSystem) + " to " +
                                          std::to_string(newestSystem) + ", such as 14.4 or 12.4.1)");
    ScreenProfile screen;
    if (auto text = line.value("--screen")) {
        auto parsed = DeviceProfile::parseScreen(*text);
        if (!parsed)
            return commandLineError(name, "not a screen: " + *text + " (WxH@S, e.g. 375x812@3)");
        screen = *parsed;
    }
    std::error_code failure;
    if (std::filesystem::exists(root, failure) && !std::filesystem::is_empty(root, failure) &&
        !line.flag("--force")) {
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

} // namespace

int commandDevice(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root", "--system", "--screen"}, {"--force"}, error);
    if (!line)
        return commandLineError(name, error);
    const auto& words = line->positional();
    if (words.size() == 1 && words[0] == "create")
        return create(*line);
    if (words.size() == 1 && words[0] == "update")
        return updateDevice(*line);
    if (words.size() == 1 && words[0] == "list")
        return listDevices(*line);
    if (words.size() == 1 && words[0] == "erase")
        return eraseDevice(*line);
    return commandLineError(
        name, "usage: device create [--root DIR] [--system VERSION] [--screen WxH@S] [--force]\n"
              "       device update|list|erase [--root DIR]");
}
