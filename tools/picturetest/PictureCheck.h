#pragma once

// One picture of a test run held against its expected picture. A failure leaves three files
// beside each other in the run's folder for a person to open: NAME.actual.png, NAME.expected.png
// (when there is one) and NAME.diff.png (when both have the same size).

#include "tools/picturetest/PictureComparison.h"

#include <string>

enum class PictureVerdict {
    Same,               // equal, or within the tolerance
    Differs,            // beyond the tolerance
    New,                // no expected picture yet
    SizeDiffers,        // the expected picture has another size
    ExpectedUnreadable, // the expected picture is no PNG, damaged or not a file
    NotTaken,           // the run wrote no such picture
};

struct PictureCheck {
    std::string name;
    PictureVerdict verdict = PictureVerdict::Same;
    // One line for a person: "812 pixels differ, within 40x12 at (10,300)", "new picture: ...".
    std::string message;
    PictureDifference difference;
    // The expected picture beside the test.
    std::string expectedSource;
    // Where the picture the run took, the copy of the expected one and the diff are in the run's
    // folder (empty when absent).
    std::string actualPath, expectedPath, diffPath;

    bool passed() const { return verdict == PictureVerdict::Same; }
};

// Checks runFolder/NAME against expectedFolder/NAME. A failed picture is renamed to
// NAME.actual.png, and the expected picture and the diff are written beside it; a passing one
// stays as it is.
PictureCheck checkPicture(const std::string& name, const std::string& runFolder,
                          const std::string& expectedFolder, const Tolerance& tolerance);

// Makes the picture the run took the expected one (making the expected picture's folders as
// needed); false with error set.
bool acceptPicture(const PictureCheck& check, std::string& error);

// "lock.png" -> "lock.actual.png": the names of a failure's files.
std::string pictureVariant(const std::string& name, const std::string& variant);
