#pragma once

// The report a person opens after a test: one HTML page that needs nothing else (the pictures are
// inside it), every case on every device, failures first, each failed picture's expected, actual and
// diff pictures side by side.

#include "tools/picturetest/RunResult.h"

#include <string>
#include <vector>

// The page's text.
std::string htmlReport(const std::vector<TestCase>& cases, const std::vector<RunResult>& results);

// "<" -> "&lt;" and so on, for text and attribute values.
std::string htmlEscaped(const std::string& text);
