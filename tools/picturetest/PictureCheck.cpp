#include "tools/picturetest/PictureCheck.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/graphics/PNGEncoder.h"
#include "tools/picturetest/PictureFile.h"

#include <filesystem>

namespace {

std::string sizeText(const Bitmap& picture) {
    return std::to_string(picture.width()) + "x" + std::to_string(picture.height());
}

std::string differenceText(const PictureDifference& difference) {
    return std::to_string(difference.pixels) +
           (difference.pixels == 1 ? " pixel differs" : " pixels differ") + ", within " +
           std::to_string(difference.right - difference.left) + "x" +
           std::to_string(difference.bottom - difference.top) + " at (" + std::to_string(difference.left) +
           "," + std::to_string(difference.top) + ")";
}

// A failed picture's files, side by side in the run's folder.
void keepFailure(PictureCheck& check, const std::string& runFolder, const PictureFile& expected,
                 const Bitmap* diff) {
    std::error_code error;
    std::string actual = runFolder + "/" + pictureVariant(check.name, "actual");
    std::filesystem::rename(check.actualPath, actual, error);
    if (!error)
        check.actualPath = actual;
    std::string ignored;
    if (expected.status == PictureFile::Status::Read) {
        std::string copy = runFolder + "/" + pictureVariant(check.name, "expected");
        if (AtomicFile::write(copy, expected.bytes, ignored))
            check.expectedPath = copy;
    }
    if (diff) {
        std::string path = runFolder + "/" + pictureVariant(check.name, "diff");
        if (writePNGFile(*diff, path, &ignored))
            check.diffPath = path;
    }
}

} // namespace

std::string pictureVariant(const std::string& name, const std::string& variant) {
    std::string stem = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    return stem + "." + variant + ".png";
}

PictureCheck checkPicture(const std::string& name, const std::string& runFolder,
                          const std::string& expectedFolder, const Tolerance& tolerance) {
    PictureCheck check;
    check.name = name;
    check.expectedSource = expectedFolder + "/" + name;
    PictureFile actual = readPictureFile(runFolder + "/" + name);
    if (actual.status != PictureFile::Status::Read) {
        check.verdict = PictureVerdict::NotTaken;
        check.message = "the run took no " + name +
                        (actual.status == PictureFile::Status::Missing ? "" : " (" + actual.error + ")");
        return check;
    }
    check.actualPath = runFolder + "/" + name;
    PictureFile expected = readPictureFile(check.expectedSource);
    if (expected.status == PictureFile::Status::Read && expected.bytes == actual.bytes)
        return check;

    std::string error;
    std::optional<Bitmap> taken = decodePicture(actual.bytes, error);
    if (!taken) {
        check.verdict = PictureVerdict::NotTaken;
        check.message = "the picture the run took cannot be read: " + error;
        return check;
    }
    if (expected.status == PictureFile::Status::Missing) {
        check.verdict = PictureVerdict::New;
        check.message = "new picture: run with --update";
        keepFailure(check, runFolder, expected, nullptr);
        return check;
    }
    std::optional<Bitmap> wanted;
    if (expected.status == PictureFile::Status::Read)
        wanted = decodePicture(expected.bytes, error);
    else
        error = expected.error;
    if (!wanted) {
        check.verdict = PictureVerdict::ExpectedUnreadable;
        check.message = "the expected picture cannot be read: " + error;
        keepFailure(check, runFolder, expected, nullptr);
        return check;
    }
    if (wanted->width() != taken->width() || wanted->height() != taken->height()) {
        check.verdict = PictureVerdict::SizeDiffers;
        check.message = "the expected picture is " + sizeText(*wanted) + ", the run's is " + sizeText(*taken);
        keepFailure(check, runFolder, expected, nullptr);
        return check;
    }
    check.difference = comparePictures(*wanted, *taken, tolerance.channel);
    if (check.difference.pixels == 0)
        return check;
    if (check.difference.pixels <= tolerance.pixels) {
        check.message = differenceText(check.difference) + " (within the tolerance)";
        return check;
    }
    check.verdict = PictureVerdict::Differs;
    check.message = differenceText(check.difference);
    Bitmap diff = diffPicture(*wanted, *taken, tolerance.channel);
    keepFailure(check, runFolder, expected, &diff);
    return check;
}

bool acceptPicture(const PictureCheck& check, std::string& error) {
    PictureFile taken = readPictureFile(check.actualPath);
    if (taken.status != PictureFile::Status::Read) {
        error = "cannot read " + check.actualPath + ": " + taken.error;
        return false;
    }
    std::error_code folderError;
    std::filesystem::create_directories(std::filesystem::path(check.expectedSource).parent_path(),
                                        folderError);
    return AtomicFile::write(check.expectedSource, taken.bytes, error);
}
