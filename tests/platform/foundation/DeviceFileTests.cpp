// A device folder may come from someone else: nothing in it may lead reads or writes outside it,
// and nothing planted in it may make a reader wait.

#include "DeviceFixture.h"

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <chrono>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* prefsFile = "/var/mobile/Library/Preferences/com.vantrel.zorvi.plist";

Ref<NSDictionary> oneKey() {
    auto values = NSMutableDictionary::dictionary();
    values->setObject(NSString::stringWithUTF8String("FFFF0000"), "line1");
    return values;
}

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class DeviceFiles : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        outside = root.string() + "-outside";
        fs::create_directories(outside);
    }
    void TearDown() override {
        fs::remove_all(outside);
        DeviceFixture::TearDown();
    }
    // Replaces a device folder by a symlink to the folder outside the device.
    void linkOut(const std::string& devicePath) {
        fs::remove_all(host(devicePath));
        fs::create_directories(host(devicePath).parent_path());
        fs::create_directory_symlink(outside, host(devicePath));
    }
    size_t outsideEntries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(outside), fs::directory_iterator()));
    }

    fs::path outside;
};

} // namespace

TEST_F(DeviceFiles, NoFolderOfTheDeviceLeadsAWriteOutside) {
    std::string error;
    struct Case {
        const char* folder;
        std::function<bool()> write;
    };
    std::vector<Case> cases = {
        {"/var/mobile/Library/Preferences",
         [] { return PropertyList::writeDictionary(prefsFile, oneKey(), PropertyList::Format::XML); }},
        {"/var/mobile/Library/Preferences",
         [] {
             return PropertyList::update(prefsFile,
                                         [](NSMutableDictionary& d) { d.setObject(oneKey(), "k"); });
         }},
        {"/var/mobile/Library/SpringBoard",
         [&] {
             return DeviceFile::write("/var/mobile/Library/SpringBoard/LockBackground.cpbitmap", bytesOf("x"),
                                      error);
         }},
        {"/var/run",
         [&] { return DeviceFile::write("/var/run/SpringBoard.lastlibrary", bytesOf("x"), error); }},
        {"/Applications", [&] { return DeviceFile::makeFolders("/Applications/Photos.app", error); }},
        {"/var/log",
         [] {
             NSLog("a line for the log");
             return false;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        linkOut(c.folder);
        EXPECT_FALSE(c.write());
        EXPECT_EQ(outsideEntries(), 0u);
    }
    // The lock file beside a domain, planted as a symlink.
    fs::remove(host("/var/mobile/Library/Preferences"));
    writeFile(prefsFile, "{}");
    fs::create_symlink(outside / "planted.lock", host(std::string(prefsFile) + ".lock"));
    EXPECT_FALSE(PropertyList::update(prefsFile, [](NSMutableDictionary& d) { d.setObject(oneKey(), "k"); }));
    EXPECT_EQ(outsideEntries(), 0u);
}

TEST_F(DeviceFiles, ReadsThroughSymlinksOutsideFindNothingAndLinksInsideWork) {
    std::ofstream(outside / "secret.plist") << "{ line1 = FFFF0000; }";
    fs::create_directories(host("/var/mobile/Library/Preferences"));
    fs::create_symlink(outside / "secret.plist", host(prefsFile));
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(prefsFile));
    EXPECT_FALSE(NSData::dataWithContentsOfFile(prefsFile));
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("leads outside the device"), std::string::npos) << log.back();
    // A relative link that stays inside, as /User -> var/mobile, is followed.
    fs::remove(host(prefsFile));
    ASSERT_TRUE(PropertyList::writeDictionary(prefsFile, oneKey(), PropertyList::Format::XML));
    fs::create_directory_symlink("var/mobile", root / "User");
    auto read =
        NSDictionary::dictionaryWithContentsOfFile("/User/Library/Preferences/com.vantrel.zorvi.plist");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->count(), 1u);
    // An absolute link, even to a place inside, is refused: the device may be moved or copied.
    fs::remove(root / "User");
    fs::create_directory_symlink(root / "var/mobile", root / "User");
    EXPECT_FALSE(
        NSDictionary::dictionaryWithContentsOfFile("/User/Library/Preferences/com.vantrel.zorvi.plist"));
}

TEST_F(DeviceFiles, FifosPlantedAsFilesAreRefusedWithoutWaiting) {
    auto started = std::chrono::steady_clock::now();
    for (const char* path : {"/var/mobile/Library/SpringBoard/LockBackground.cpbitmap", prefsFile,
                             "/Applications/Photos.app/AppIcon.png", "/var/log/syslog",
                             "/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib"}) {
        fs::create_directories(host(path).parent_path());
        ASSERT_EQ(::mkfifo(host(path).c_str(), 0644), 0) << path;
    }
    EXPECT_FALSE(NSData::dataWithContentsOfFile("/var/mobile/Library/SpringBoard/LockBackground.cpbitmap"));
    EXPECT_FALSE(NSData::dataWithContentsOfFile("/Applications/Photos.app/AppIcon.png"));
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(prefsFile));
    NSLog("the log is a fifo: this line goes nowhere");
    std::string error;
    EXPECT_FALSE(
        DeviceFile::loadLibrary("/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib", RTLD_NOW, error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "nothing waited";
}

TEST_F(DeviceFiles, ALibraryLinkedFromOutsideIsNotLoaded) {
    fs::create_directories(host("/Library/MobileSubstrate/DynamicLibraries"));
    // Any real library of this machine will do as the one planted outside.
    fs::path real = fs::canonical("/proc/self/exe");
    fs::create_symlink(real, host("/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib"));
    std::string error;
    EXPECT_FALSE(
        DeviceFile::loadLibrary("/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib", RTLD_NOW, error));
    EXPECT_EQ(error, "leads outside the device");
}

TEST_F(DeviceFiles, ALibraryThatEndsTheProcessAsItLoadsMakesItFail) {
    for (const char* library : {ZV_EXITING_LIBRARY, ZV_QUICK_EXITING_LIBRARY}) {
        SCOPED_TRACE(library);
        std::string devicePath = "/Library/PreferenceBundles/Exiting.bundle/Exiting";
        fs::create_directories(host(devicePath).parent_path());
        fs::copy_file(library, host(devicePath), fs::copy_options::overwrite_existing);
        fs::path told = root / "told";
        fs::create_directories(host("/var/log"));
        pid_t child = ::fork();
        if (child == 0) {
            DeviceFile::setLoadExitObserver(
                [&](const std::string& message) { std::ofstream(told) << message; });
            std::string error;
            DeviceFile::loadLibrary(devicePath, RTLD_NOW | RTLD_LOCAL, error);
            ::_exit(7); // the load came back: not what this library does
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << "the process fails, whatever status the library chose";
        std::ifstream message(told);
        std::string text((std::istreambuf_iterator<char>(message)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "the library " + devicePath + " ended the process while it was loading");
        std::ifstream syslog(host("/var/log/syslog"));
        std::string logged((std::istreambuf_iterator<char>(syslog)), std::istreambuf_iterator<char>());
        EXPECT_NE(logged.find(text), std::string::npos) << "one line of the device log names it";
        fs::remove(told);
        fs::remove(host("/var/log/syslog"));
    }
}

TEST_F(DeviceFiles, AnExitAfterALibraryHasLoadedKeepsItsStatus) {
    std::string devicePath = "/Library/PreferenceBundles/Quiet.bundle/Quiet";
    fs::create_directories(host(devicePath).parent_path());
    fs::copy_file(ZV_QUIET_LIBRARY, host(devicePath));
    pid_t child = ::fork();
    if (child == 0) {
        std::string error;
        if (!DeviceFile::loadLibrary(devicePath, RTLD_NOW | RTLD_LOCAL, error))
            ::_exit(7);
        std::exit(5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
}

TEST_F(DeviceFiles, ARootNamedThroughALinkAndDotsIsTheFolderItReaches) {
    fs::create_directories(root / "var/mobile");
    fs::create_directory_symlink("var/mobile", root / "User");
    // The kernel climbs from var/mobile: back to the device itself, not to the folder above it.
    DeviceRoot::setCurrent(root.string() + "/User/../..");
    EXPECT_EQ(DeviceRoot::current(), fs::canonical(root).string());
    DeviceRoot::setCurrent(root.string() + "/User/..");
    EXPECT_EQ(DeviceRoot::current(), fs::canonical(root / "var").string());
    DeviceRoot::setCurrent(root.string());
}
