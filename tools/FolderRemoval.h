#pragma once

// Removes a folder and everything in it, walking beneath descriptors: nothing inside is followed
// out of it (a link is removed, never what it points at), and the folder removed at the end is the
// one that was opened, even if its name is taken by another meanwhile.

#include <string>

// folder: an absolute path without links (as std::filesystem::canonical gives). False with error
// set; what could be removed is gone.
bool removeFolder(const std::string& folder, std::string& error);
