#pragma once

// The lines of a script that could not run, as a host's trace tells them.

#include <string>
#include <vector>

// The message of each error event in a trace file ("line 4: cannot run 'tap' ..."), with the
// process in front where the trace names one ("springboard: line 2: ..."), at most `most` of them.
std::vector<std::string> traceErrors(const std::string& tracePath, size_t most = 20);

// A string field's value on one JSON line of a trace (escapes decoded), or empty when absent.
std::string traceField(const std::string& line, const std::string& key);
