#pragma once

// The cases of a picture test: script files whose extension names the host they run on
// (NAME.springboard, NAME.settings, NAME.boot), each with the pictures its snapshot lines take.
// A case's expected pictures live beside it, in NAME/CELL/ (see DeviceMatrix.h for CELL).

#include <optional>
#include <string>
#include <vector>

enum class CaseHost { SpringBoard, Settings, Boot };

struct TestCase {
    std::string path;   // the script, as found
    std::string folder; // the folder holding it
    std::string name;   // the file's name without its extension
    CaseHost host = CaseHost::SpringBoard;
    // The names its snapshot lines give, in the order they come.
    std::vector<std::string> pictures;
    // Why it cannot run (a snapshot that is not a bare PNG name, a picture taken twice), or empty.
    std::string problem;

    // Where its expected pictures for a cell's folder name are.
    std::string expectedFolder(const std::string& cellFolder) const {
        return folder + "/" + name + "/" + cellFolder;
    }
};

// The host a script's extension names.
std::optional<CaseHost> caseHostForPath(const std::string& path);
// The device program that runs it ("zv-springboard") and the extension's word ("springboard").
const char* hostProgram(CaseHost host);
const char* hostWord(CaseHost host);

// Reads one case's script for its pictures; an unreadable script is the case's problem.
TestCase readTestCase(const std::string& path);

// The cases in each folder named (its script files, in the order of their names), or a script
// named directly. False with error set for a place that holds no case, or for two cases of one
// folder with the same name (they would share their expected pictures).
bool findTestCases(const std::vector<std::string>& places, std::vector<TestCase>& cases, std::string& error);
