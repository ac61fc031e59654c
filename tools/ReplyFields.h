#pragma once

// Reading the fields a client needs from a reply line of a device process (one JSON object a
// line, as the trace writes them): a top-level field's JSON text as it stands, or a string field's
// text with its escapes undone.

#include <optional>
#include <string>

namespace ReplyFields {

std::optional<std::string> raw(const std::string& line, const std::string& key);
std::optional<std::string> text(const std::string& line, const std::string& key);

} // namespace ReplyFields
