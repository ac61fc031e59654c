#pragma once

#include "platform/foundation/PageMemory.h"

// Whole-file reads and writes on host paths. A write goes to a temporary file in the same folder,
// is flushed to disk and then renamed over the target, so a reader sees the old file or the new
// one, never a part.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace AtomicFile {

enum class ReadStatus { Read, Missing, Failed };

// Reads a regular file of at most maxBytes. Missing covers a path that does not exist (or whose
// folder does not); Failed sets error (unreadable, a folder, a device, too large).
ReadStatus read(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);

// Reads an open descriptor as read() does (regular files only, at most maxBytes); takes ownership.
ReadStatus readOpen(int fd, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);
// The same into page memory, for files of megabytes (a wallpaper).
ReadStatus readOpen(int fd, size_t maxBytes, PageBytes& bytes, std::string& error);

// Creates the missing folders, writes, flushes and renames. The new file keeps the mode of the one
// it replaces (0644 for a new one). False with error set on failure; the target is then untouched
// and no temporary file is left.
bool write(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

// Writes `name` inside an open folder the same way (takes ownership of the descriptor). The
// temporary file and the rename never leave that folder. Temporary files of killed writers older
// than a minute are removed first.
// mode: the new file's permissions (0: those of the file it replaces, or 0644).
bool writeIn(int folder, const std::string& name, std::span<const uint8_t> bytes, std::string& error,
             mode_t mode = 0);

} // namespace AtomicFile
