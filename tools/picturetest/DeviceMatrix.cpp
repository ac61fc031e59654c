#include "tools/picturetest/DeviceMatrix.h"
#include "tools/Commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string MatrixCell::folderName() const {
    std::string screenPart = screen;
    size_t slash = screenPart.find('/');
    if (slash != std::string::npos)
        screenPart = screenPart.substr(0, slash) + "-" + screenPart.substr(slash + 1) + "Hz";
    return system + "-" + screenPart;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> words;
    std::stringstream input(text);
    std::string word;
    while (std::getline(input, word, ','))
        if (!word.empty())
            words.push_back(word);
    return words;
}

std::vector<MatrixCell> crossMatrix(const std::vector<std::string>& systems,
                                    const std::vector<std::string>& screens) {
    std::vector<MatrixCell> cells;
    for (const std::string& system : systems)
        for (const std::string& screen : screens)
            if (std::find(cells.begin(), cells.end(), MatrixCell{system, screen}) == cells.end())
                cells.push_back({system, screen});
    return cells;
}

bool readMatrixFile(const std::string& path, std::vector<MatrixCell>& cells, std::string& error) {
    std::ifstream input(path);
    if (!input) {
        error = "cannot read the matrix " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string system, screen, more;
        if (!(words >> system))
            continue;
        std::string where = path + ":" + std::to_string(number) + ": ";
        if (!(words >> screen) || (words >> more)) {
            error = where + "a line is a system and a screen (such as 14.4 375x812@3)";
            return false;
        }
        for (const std::string& problem : {systemVersionProblem(system), screenProblem(screen)})
            if (!problem.empty()) {
                error = where + problem;
                return false;
            }
        MatrixCell cell{system, screen};
        if (std::find(cells.begin(), cells.end(), cell) != cells.end()) {
            error = where + cell.label() + " comes twice";
            return false;
        }
        cells.push_back(cell);
    }
    if (cells.empty()) {
        error = "the matrix " + path + " names no device";
        return false;
    }
    return true;
}

bool matrixForFolder(const MatrixChoice& choice, const std::string& folder, std::vector<MatrixCell>& cells,
                     std::string& error) {
    cells.clear();
    if (!choice.file.empty())
        return readMatrixFile(choice.file, cells, error);
    if (!choice.systems.empty() || !choice.screens.empty()) {
        cells =
            crossMatrix(choice.systems.empty() ? std::vector<std::string>{defaultSystem} : choice.systems,
                        choice.screens.empty() ? std::vector<std::string>{defaultScreen} : choice.screens);
        return true;
    }
    std::string own = folder + "/" + folderMatrixName;
    std::error_code fsError;
    if (std::filesystem::exists(own, fsError))
        return readMatrixFile(own, cells, error);
    cells = {{defaultSystem, defaultScreen}};
    return true;
}
