// Property-list files of the device: reading a dictionary file, writing one atomically, and
// updating one under its lock, keeping a file that cannot be read aside rather than losing it.

#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/PropertyList.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace PropertyList {

namespace {

void logFailure(std::string_view what, std::string_view devicePath, std::string_view reason) {
    NSLog(std::string(what) + " " + std::string(devicePath) + ": " + std::string(reason));
}

enum class Stored { Read, Missing, Unreadable };

// Reads a dictionary file at a host path; Unreadable (with the reason) covers a file that exists but
// cannot be read or is not a property list with a dictionary at its root.
Stored readStored(std::string_view devicePath, Ref<NSDictionary>& dictionary, std::string& reason) {
    std::vector<uint8_t> bytes;
    switch (DeviceFile::read(devicePath, maxFileBytes, bytes, reason)) {
    case AtomicFile::ReadStatus::Missing:
        return Stored::Missing;
    case AtomicFile::ReadStatus::Failed:
        return Stored::Unreadable;
    case AtomicFile::ReadStatus::Read:
        break;
    }
    ParseResult result = parse(bytes);
    if (!result.value) {
        reason = result.error;
        return Stored::Unreadable;
    }
    dictionary = objc_cast<NSDictionary>(result.value.get());
    if (!dictionary) {
        reason = std::string("its root is ") +
                 (objc_cast<NSArray>(result.value.get()) ? "an array" : "not a dictionary");
        return Stored::Unreadable;
    }
    return Stored::Read;
}

// Renames a file that cannot be read out of the way (NAME.corrupt-DATE-TIME beside it), so that
// writing a new one loses nothing. False when it cannot be moved.
bool setAside(std::string_view devicePath, const std::string& reason) {
    std::string name;
    int folder = DeviceFile::openParent(devicePath, false, name);
    if (folder < 0) {
        logFailure("Cannot update property list", devicePath, reason + "; its folder cannot be opened");
        return false;
    }
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string suffix = std::string(".corrupt-") + stamp;
    struct stat taken {};
    for (int n = 2; ::fstatat(folder, (name + suffix).c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0 && n < 100;
         ++n)
        suffix = std::string(".corrupt-") + stamp + "-" + std::to_string(n);
    std::string asideDevice = std::string(devicePath) + suffix;
    int renamed = ::renameat(folder, name.c_str(), folder, (name + suffix).c_str());
    int saved = errno;
    ::close(folder);
    errno = saved;
    if (renamed != 0) {
        logFailure("Cannot update property list", devicePath,
                   reason + "; it could not be moved aside either (" + std::strerror(errno) + ")");
        return false;
    }
    NSLog("Property list " + std::string(devicePath) + " could not be read (" + reason + "); kept as " +
          asideDevice + ", and a new one started");
    return true;
}

} // namespace

Ref<NSDictionary> readDictionary(std::string_view devicePath) {
    Ref<NSDictionary> dictionary;
    std::string reason;
    if (readStored(devicePath, dictionary, reason) == Stored::Unreadable)
        logFailure("Ignoring property list", devicePath, reason);
    return dictionary;
}

bool writeDictionary(std::string_view devicePath, const NSDictionary* dictionary, Format format) {
    auto path = DeviceRoot::hostPath(devicePath);
    if (!path) {
        logFailure("Cannot write property list", devicePath, "not a path on the device");
        return false;
    }
    std::vector<uint8_t> bytes = serialize(dictionary, format);
    if (bytes.empty()) {
        logFailure("Cannot write property list", devicePath, "it would hold " + unstorable(dictionary));
        return false;
    }
    std::string error;
    if (!DeviceFile::write(devicePath, bytes, error)) {
        logFailure("Cannot write property list", devicePath, error);
        return false;
    }
    return true;
}

bool update(std::string_view devicePath, const std::function<void(NSMutableDictionary&)>& change,
            Format format) {
    auto path = DeviceRoot::hostPath(devicePath);
    if (!path) {
        logFailure("Cannot update property list", devicePath, "not a path on the device");
        return false;
    }
    std::string leaf, folderError;
    if (int folder = DeviceFile::openParent(devicePath, true, leaf); folder >= 0)
        ::close(folder);
    // The lock file is opened beneath the root like the file itself (a symlink cannot move it out).
    FileLock lock(DeviceFile::open(std::string(devicePath) + ".lock", O_RDWR | O_CREAT | O_NONBLOCK, 0644),
                  std::string(devicePath) + ".lock");
    if (!lock.locked()) {
        logFailure("Cannot update property list", devicePath, "cannot lock: " + lock.error());
        return false;
    }
    Ref<NSDictionary> stored;
    std::string reason;
    // A file that exists but cannot be read is kept, not replaced by one holding only the change.
    if (readStored(devicePath, stored, reason) == Stored::Unreadable && !setAside(devicePath, reason))
        return false;
    auto values = NSMutableDictionary::dictionaryWithDictionary(stored);
    change(*values);
    return writeDictionary(devicePath, values, format);
}

} // namespace PropertyList

Ref<NSDictionary> NSDictionary::dictionaryWithContentsOfFile(std::string_view devicePath) {
    return PropertyList::readDictionary(devicePath);
}
