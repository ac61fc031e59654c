#pragma once

// Structural checks run on property-list bytes before they reach the parsing library, which trusts
// its input: a binary file can point anywhere, share one object from many places (a small file
// expanding to millions of values) or refer to itself, and deep XML drives the parser's recursion.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace PlistInputCheck {

// Empty when the binary property list is sound: trailer, offset table and every object reachable
// from the top lie inside the file, containers refer only to existing objects and never back to one
// of their own ancestors, dictionary keys are strings, containers nest at most maxDepth deep and
// the tree, with shared objects counted each time they are used, has at most maxValues values.
// Otherwise the reason.
std::string checkBinary(std::span<const uint8_t> bytes, int maxDepth, size_t maxValues);

// Empty when the XML elements nest at most maxElementDepth deep and every comment, processing
// instruction, declaration and tag is closed; otherwise the reason.
std::string checkXml(std::span<const uint8_t> bytes, int maxElementDepth);

} // namespace PlistInputCheck
