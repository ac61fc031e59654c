#pragma once

// zorvi test: every case of the folders on every device of its matrix, each picture held against
// the expected one beside the case, and the reports.

#include "tools/picturetest/CaseRunner.h"
#include "tools/picturetest/DeviceMatrix.h"
#include "tools/picturetest/PictureComparison.h"

#include <string>
#include <vector>

struct PictureTestOptions {
    std::vector<std::string> places;
    MatrixChoice matrix;
    bool update = false;
    int jobs = 1;
    unsigned timeLimit = defaultRunTimeLimit;
    Tolerance tolerance;
    std::string junit;
    std::string report;
};

// 0 when every run passed, 1 when any failed. 2 with usageProblem set when the places or a matrix
// cannot be used (nothing ran).
int runPictureTest(const PictureTestOptions& options, std::string& usageProblem);
