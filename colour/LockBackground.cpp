#include "colour/LockBackground.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/CPBitmap.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Ref<UIImage> unusable(const std::string& reason) {
    NSLog(std::string("Zorvi: no wallpaper image: ") + lockBackgroundPath + " " + reason);
    return nullptr;
}

// Why a file could not be read, for the log line.
std::string unreadableReason() {
    int fd = DeviceFile::open(lockBackgroundPath, O_PATH);
    if (fd < 0)
        return errno == EXDEV || errno == ELOOP ? "leads outside the device" : "is missing";
    struct stat info {};
    int found = ::fstat(fd, &info);
    ::close(fd);
    if (found != 0)
        return "is missing";
    if (!S_ISREG(info.st_mode))
        return "is not a file";
    if (static_cast<size_t>(info.st_size) > lockBackgroundMaxBytes)
        return "is larger than " + std::to_string(lockBackgroundMaxBytes) + " bytes";
    return "cannot be read";
}

} // namespace

Ref<UIImage> loadLockBackgroundImage() {
    Ref<NSData> data = NSData::dataWithContentsOfFile(lockBackgroundPath, lockBackgroundMaxBytes);
    if (!data)
        return unusable(unreadableReason());
    std::string error;
    Ref<NSArray> images = CPBitmapCreateImagesFromData(data, nullptr, 1, nullptr, &error);
    if (!images)
        return unusable("cannot be decoded: " + error);
    return UIImage::imageWithCGImage(objc_cast<CGImage>(images->objectAtIndex(0)));
}
