#pragma once

// The substrate's loader: at a host's start it loads every library of
// "/Library/MobileSubstrate/DynamicLibraries" whose filter names the host, in file-name order.
// Each library's start-up functions run as it loads. A library is never unloaded.
//
// A library "X.dylib" is filtered by "X.plist" beside it (XML, binary or OpenStep text), whose
// "Filter" dictionary may list "Bundles" (bundle identifiers), "Executables" (process names) and
// "Classes" (class names the runtime must know). The library loads when any listed entry matches.
// A library without a filter file loads into every host, as on the device; an unreadable filter
// file, or one without a usable "Filter", loads nothing.

#include "platform/foundation/NSDictionary.h"

#include <string>
#include <vector>

namespace Substrate {

constexpr const char* libraryFolder = "/Library/MobileSubstrate/DynamicLibraries";

struct HostIdentity {
    std::string bundleIdentifier; // e.g. "com.apple.springboard"
    std::string executableName;   // e.g. "SpringBoard"
};

bool filterMatches(const NSDictionary* filterFile, const HostIdentity& host);

// Answers the names of the libraries loaded ("Zorvi.dylib", ...). Failures go to the device log.
// Before each library loads, its name is written to lastLibraryPath(host), so that whoever sees
// the host die knows the last library it loaded.
std::vector<std::string> loadLibrariesForHost(const HostIdentity& host);

// "/var/run/<executable>.lastlibrary"
std::string lastLibraryPath(const HostIdentity& host);

// What the libraries changed in the runtime while they loaded, in order: each method that their
// start-up functions (or a class first used meanwhile) added to a class or replaced there, as
// MSHookMessageEx does. A library's hooks and added methods are thus seen in the order it
// installed them. Changes made after a library has loaded are not recorded.
struct Installation {
    std::string library;   // "Zorvi.dylib"
    std::string className; // "CSCombinedListViewController"
    std::string selector;  // "viewDidLoad"
    bool classMethod;      // a method of the class object (its metaclass)
    bool replaced;         // replaced rather than added
};
const std::vector<Installation>& installations();

} // namespace Substrate
