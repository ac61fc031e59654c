#pragma once

// The devices a test runs on: cells of a system version and a screen. From lists (every system
// with every screen) or from a matrix file, one cell a line:
//
//   # system  screen
//   12.4      187x406@1
//   14.4      375x667@1
//
// A folder of cases may hold such a file named "matrix": it is the folder's matrix when the command
// line gives none.

#include <string>
#include <vector>

struct MatrixCell {
    std::string system;
    std::string screen;

    // "14.4 375x812@3": how reports name the cell.
    std::string label() const { return system + " " + screen; }
    // "14.4-375x812@3": the folder of the cell's pictures ("375x812@3/120" becomes "375x812@3-120Hz").
    std::string folderName() const;
    bool operator==(const MatrixCell&) const = default;
};

// A device's defaults when a command line and a folder say nothing.
constexpr const char* defaultSystem = "14.4";
constexpr const char* defaultScreen = "375x812@3";

// The words of a comma-separated list ("12.4,14.4"), without empty ones.
std::vector<std::string> splitList(const std::string& text);

// Every system with every screen, systems outer.
std::vector<MatrixCell> crossMatrix(const std::vector<std::string>& systems,
                                    const std::vector<std::string>& screens);

// A matrix file's cells; false with error set (naming the line) for a line that is not a system
// and a screen, a cell given twice, or no cell at all.
bool readMatrixFile(const std::string& path, std::vector<MatrixCell>& cells, std::string& error);

// The name of a folder's own matrix file.
constexpr const char* folderMatrixName = "matrix";

// What a command line says of the matrix: a file, or lists (either may be empty).
struct MatrixChoice {
    std::string file;
    std::vector<std::string> systems;
    std::vector<std::string> screens;
};

// The cells for the cases of a folder: the file, or the lists (a missing one: the default), or when
// the command line says nothing, the folder's own matrix file or else the default device. False with
// error set when a matrix file is wrong.
bool matrixForFolder(const MatrixChoice& choice, const std::string& folder, std::vector<MatrixCell>& cells,
                     std::string& error);
