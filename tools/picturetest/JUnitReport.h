#pragma once

// The results as JUnit XML, the form CI servers read: a suite per case, a test case per device,
// a failure's reasons and pictures in its failure element.

#include "tools/picturetest/RunResult.h"

#include <string>
#include <vector>

std::string junitReport(const std::vector<TestCase>& cases, const std::vector<RunResult>& results,
                        double seconds);
