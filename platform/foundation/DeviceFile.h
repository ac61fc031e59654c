#pragma once

// Files of the device, opened beneath its root by the kernel: every component of a device path is
// resolved with openat2(RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS) from a descriptor of the root, so
// no symlink or ".." inside a device folder (which may come from someone else) can lead outside it.
// A symlink that stays inside (such as /User -> var/mobile) works as on the device. Where openat2 is
// missing (Linux before 5.6), components are walked one by one with O_NOFOLLOW, and any symlink is
// refused.
//
// Reads take regular files only, never block (a fifo is refused, not waited on), and are bounded.

#include "platform/foundation/AtomicFile.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace DeviceFile {

// Opens a device path (flags as for open(2); O_CLOEXEC and O_NOCTTY are added). -1 with errno set
// (EXDEV for a path that leads outside the device, ENODEV for no device root).
int open(std::string_view devicePath, int flags, mode_t mode = 0);

// Opens the folder that holds a device path, making missing folders first when `create` is set
// (each one beneath the root); leaf receives the last component. -1 with errno set.
int openParent(std::string_view devicePath, bool create, std::string& leaf);

// Makes a folder and its missing parents beneath the root; false with error set.
bool makeFolders(std::string_view devicePath, std::string& error);

// Reads a whole regular file of at most maxBytes.
AtomicFile::ReadStatus read(std::string_view devicePath, size_t maxBytes, std::vector<uint8_t>& bytes,
                            std::string& error);
AtomicFile::ReadStatus read(std::string_view devicePath, size_t maxBytes, PageBytes& bytes,
                            std::string& error);

// Writes a whole file atomically (a temporary file in the same folder, flushed, renamed over the
// old one), making missing folders; false with error set, the old file untouched. mode: as for
// AtomicFile::writeIn.
bool write(std::string_view devicePath, std::span<const uint8_t> bytes, std::string& error, mode_t mode = 0);

// Copies a file of this machine (at most 256 MB) into the device as write() does.
bool install(const std::string& hostSource, std::string_view devicePath, std::string& error, mode_t mode = 0);

// Removes a file (never what a symlink points at); false when it could not be removed.
bool remove(std::string_view devicePath);

// The names in a device folder (without "." and ".."), at most maxNames of them; empty when it
// cannot be read.
std::vector<std::string> list(std::string_view devicePath, size_t maxNames = 10000);

// A path by which other APIs (dlopen, exec) reach an open descriptor without resolving names again.
std::string descriptorPath(int fd);

// Loads a shared library of the device (dlopen with `mode`): opened beneath the root, a regular
// file, and loaded through its descriptor so that no name is resolved twice. nullptr with error set.
// A library whose start-up functions end the process (exit, quick_exit) makes the process fail
// instead: the load-exit observer is told, one log line names the library, and the exit status is 1.
void* loadLibrary(std::string_view devicePath, int mode, std::string& error);

// Told of a library ending the process while it loads, just before the process fails (a host writes
// it to its trace).
void setLoadExitObserver(std::function<void(const std::string& message)> observer);

} // namespace DeviceFile
