#pragma once

// Specifier property lists: a settings bundle's pages are described by property lists in its
// folder ("<bundle>/<Name>.plist", XML or binary), each a dictionary whose "items" list holds one
// dictionary per row. A row names its kind under "cell" (PSGroupCell, PSSwitchCell, PSLinkCell,
// PSButtonCell, PSEditTextCell, PSStaticTextCell, PSColorCell, PSAppListCell) and its label under
// "label"; every key of the row becomes a property of its specifier, and these are also read:
//   "id" (identifier), "detail" (the class of the page a link opens), "action" (a button's
//   selector), "key", "defaults", "default", "PostNotification" (stored values),
//   "headerCellClass", "footerText" (groups).
//
// Bad input never stops a page: a missing or unreadable file, or one without an "items" list,
// gives nil; a row that is not a dictionary, has no known kind, or has values of the wrong type is
// left out or read without the wrong value. Each problem writes one line to the device log.

#include "platform/foundation/NSArray.h"
#include "platform/prefs/PSSpecifier.h"

#include <string>
#include <string_view>

// The specifiers of the plist `name` in the bundle folder (a device path), bound to the target;
// nil when there is no usable list.
Ref<NSMutableArray> loadSpecifiersFromPlist(std::string_view bundlePath, std::string_view name,
                                            NSObject* target);

// One row's specifier from its dictionary; nil (with a log line) when it cannot be a row.
Ref<PSSpecifier> specifierFromDictionary(const NSDictionary* row, NSObject* target, std::string_view where);
