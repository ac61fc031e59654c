#pragma once

// Property lists on the device: XML and binary are both read, whoever wrote them; files are
// bounded in size and nesting before and after parsing, since the parser is not hardened against
// hostile input. Writes are atomic (temporary file in the same folder, flushed, renamed) and a
// key-wise update re-reads the file under a lock first, so two processes writing different keys
// lose neither.

#include "platform/foundation/NSDictionary.h"
#include "runtime/Ref.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace PropertyList {

constexpr size_t maxFileBytes = 8u << 20;
constexpr int maxDepth = 64;

enum class Format { XML, Binary };

struct ParseResult {
    Ref<NSObject> value; // nil on failure
    std::string error;   // why, when value is nil
};

// A string read from a file as text a property list can carry again: bytes that are not UTF-8, and
// NUL, read as the replacement character, so that a file holding them can still be updated.
std::string textRead(std::string_view bytes);

// Parses XML, binary or OpenStep text (the form tweak authors write filters in).
ParseResult parse(std::span<const uint8_t> bytes);

// Serialises a tree of NSDictionary, NSArray, NSString, NSNumber, NSData and NSDate; empty on a value
// of any other kind or a tree deeper than maxDepth.
std::vector<uint8_t> serialize(const NSObject* value, Format format);
// "" when serialize can carry the value faithfully, else what in it cannot be carried (text that is
// not UTF-8 or holds NUL is refused rather than cut or re-encoded).
std::string unstorable(const NSObject* value);

// The dictionary at the root of the file, or nil (see NSDictionary::dictionaryWithContentsOfFile).
Ref<NSDictionary> readDictionary(std::string_view devicePath);

// Writes the dictionary atomically as the whole file. False (and one log line) on failure; the
// previous file is then left as it was.
bool writeDictionary(std::string_view devicePath, const NSDictionary* dictionary,
                     Format format = Format::Binary);

// Re-reads the file (a missing or unreadable one as empty), lets change edit it, and writes it back
// atomically, all under an advisory lock on a companion lock file, so that concurrent updates of
// different keys from different processes all survive. False on failure, with the file unchanged.
bool update(std::string_view devicePath, const std::function<void(NSMutableDictionary&)>& change,
            Format format = Format::Binary);

} // namespace PropertyList
