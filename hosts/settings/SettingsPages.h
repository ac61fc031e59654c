#pragma once

// Settings' page stack, kept in the device's "/var/run/settings-pages" as it changes: the entry
// opened from the first page and the labels of the links followed from there. A Settings that the
// supervisor starts again (after a crash, or asked to by `zorvi dev`) reads it back and opens the
// same pages; a fresh boot starts on the first page. The file lives in a folder people copy and
// share: anything but a stack this code wrote (garbled, too long, not text) reads as none.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace SettingsPages {

struct Stack {
    std::string entry;              // empty: the first page alone
    std::vector<std::string> links; // followed from the entry's page, in order
    bool operator==(const Stack&) const = default;
};

constexpr const char* path = "/var/run/settings-pages";
constexpr size_t maxDepth = 32;
constexpr size_t maxLabel = 256;

std::string text(const Stack& stack);
// nullopt for anything text() would not have written.
std::optional<Stack> parse(std::string_view text);

// Writes the stack atomically; false with error set.
bool save(const Stack& stack, std::string& error);
// The stack last saved, or nullopt when there is none that can be believed.
std::optional<Stack> load();

} // namespace SettingsPages
