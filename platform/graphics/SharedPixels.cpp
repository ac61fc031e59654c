#include "platform/graphics/SharedPixels.h"
#include "platform/foundation/DeviceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char magic[16] = "zorvi-pixels-1";
constexpr size_t pixelOffset = 4096; // the header's page; the pixels start page-aligned
constexpr unsigned requiredSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
constexpr int maxSide = 16384;

struct Header {
    char magic[16];
    char decoder[16];
    int64_t device, inode, size, modified, changed;
    int32_t width, height;
};

Header headerFor(std::string_view decoder, const FileIdentity& file, int width, int height) {
    Header header{};
    std::memcpy(header.magic, magic, sizeof magic);
    std::memcpy(header.decoder, decoder.data(), std::min(decoder.size(), sizeof header.decoder - 1));
    header.device = static_cast<int64_t>(file.device);
    header.inode = static_cast<int64_t>(file.inode);
    header.size = file.size;
    header.modified = file.modified;
    header.changed = file.changed;
    header.width = width;
    header.height = height;
    return header;
}

std::string notePath(std::string_view decoder, const FileIdentity& file) {
    return "/var/run/images/" + std::string(decoder) + "-" + std::to_string(file.device) + "-" +
           std::to_string(file.inode);
}

struct Descriptor {
    int fd;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// The whole memory mapped privately, as a bitmap; nullopt when it cannot be mapped.
std::optional<Bitmap> mapPrivately(int fd, size_t bytes, int width, int height) {
    void* mapping = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED)
        return std::nullopt;
    auto bitmap = Bitmap::adoptMapping(mapping, bytes, pixelOffset, width, height);
    if (!bitmap)
        ::munmap(mapping, bytes);
    return bitmap;
}

} // namespace

std::optional<Bitmap> SharedPixels::find(std::string_view decoder, const FileIdentity& file) {
    std::vector<uint8_t> note;
    std::string error;
    if (DeviceFile::read(notePath(decoder, file), 64, note, error) != AtomicFile::ReadStatus::Read)
        return std::nullopt;
    long pid = 0, number = 0;
    std::string text(note.begin(), note.end());
    if (std::sscanf(text.c_str(), "%ld %ld", &pid, &number) != 2 || pid <= 0 || number < 0)
        return std::nullopt;
    // The process's descriptor, opened afresh: a descriptor of our own on the same memory.
    std::string where = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(number);
    Descriptor memory(::open(where.c_str(), O_RDONLY | O_CLOEXEC));
    if (memory.fd < 0)
        return std::nullopt;
    struct stat info {};
    Header header{};
    int seals = ::fcntl(memory.fd, F_GET_SEALS);
    if (::fstat(memory.fd, &info) != 0 || !S_ISREG(info.st_mode) || seals < 0 ||
        (static_cast<unsigned>(seals) & requiredSeals) != requiredSeals ||
        ::pread(memory.fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        return std::nullopt;
    if (header.width <= 0 || header.height <= 0 || header.width > maxSide || header.height > maxSide)
        return std::nullopt;
    Header expected = headerFor(decoder, file, header.width, header.height);
    size_t bytes = pixelOffset + static_cast<size_t>(header.width) * 4 * static_cast<size_t>(header.height);
    if (std::memcmp(&header, &expected, sizeof header) != 0 || static_cast<size_t>(info.st_size) != bytes)
        return std::nullopt;
    return mapPrivately(memory.fd, bytes, header.width, header.height);
}

std::optional<Bitmap> SharedPixels::share(std::string_view decoder, const FileIdentity& file, const Bitmap& image) {
    if (image.stride() != image.width() * 4 || image.width() > maxSide || image.height() > maxSide)
        return std::nullopt;
    size_t bytes = pixelOffset + image.sizeInBytes();
    int fd = ::memfd_create("zorvi-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return std::nullopt;
    Header header = headerFor(decoder, file, image.width(), image.height());
    bool written = ::ftruncate(fd, static_cast<off_t>(bytes)) == 0 &&
                   ::pwrite(fd, &header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
    for (size_t done = 0; written && done < image.sizeInBytes();) {
        ssize_t wrote = ::pwrite(fd, image.data() + done, image.sizeInBytes() - done,
                                 static_cast<off_t>(pixelOffset + done));
        if (wrote < 0 && errno == EINTR)
            continue;
        written = wrote > 0;
        done += wrote > 0 ? static_cast<size_t>(wrote) : 0;
    }
    std::optional<Bitmap> shared;
    if (written && ::fcntl(fd, F_ADD_SEALS, requiredSeals | F_SEAL_SEAL) == 0)
        shared = mapPrivately(fd, bytes, image.width(), image.height());
    if (!shared) {
        ::close(fd);
        return std::nullopt;
    }
    // The descriptor stays open as long as the shared bitmap lives: the note names it, and other
    // processes reach the memory through it.
    shared->keepDescriptor(fd);
    std::string error;
    if (DeviceFile::makeFolders("/var/run/images", error)) {
        int note = DeviceFile::open(notePath(decoder, file), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK,
                                    0644);
        if (note >= 0) {
            std::string text = std::to_string(::getpid()) + " " + std::to_string(fd) + "\n";
            // One short write: a reader sees the whole line or an empty file, never half of it.
            if (::write(note, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                ::ftruncate(note, 0);
            ::close(note);
        }
    }
    return shared;
}
