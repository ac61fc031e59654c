#pragma once

// Text from a device's files, made safe to print on a terminal: control characters (C0, DEL and
// the C1 range) and bytes that are not UTF-8 are written as escapes, so that no file of a device
// someone handed over can move the cursor, retitle the window or hide what is printed.

#include <string>
#include <string_view>

// keepLineBreaks: newlines and tabs stay as they are (a log's lines); otherwise they are escaped
// too ("\n", "\t").
std::string terminalSafe(std::string_view text, bool keepLineBreaks);
