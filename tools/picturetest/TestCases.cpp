#include "tools/picturetest/TestCases.h"
#include "hosts/common/ScriptReader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

struct HostName {
    CaseHost host;
    const char* word;
    const char* program;
};

constexpr HostName hosts[] = {
    {CaseHost::SpringBoard, "springboard", "zv-springboard"},
    {CaseHost::Settings, "settings", "zv-settings"},
    {CaseHost::Boot, "boot", "zv-boot"},
};

const HostName& named(CaseHost host) {
    for (const HostName& name : hosts)
        if (name.host == host)
            return name;
    return hosts[0];
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The picture name a line takes, or nullopt for a line that takes none.
std::optional<std::string> snapshotName(CaseHost host, const std::vector<std::string>& words) {
    size_t at = 0;
    // A boot script's lines for the screens start with the process they are for.
    if (host == CaseHost::Boot) {
        if (words.empty() || (words[0] != "springboard:" && words[0] != "settings:"))
            return std::nullopt;
        at = 1;
    }
    if (words.size() != at + 2 || words[at] != "snapshot")
        return std::nullopt;
    return words[at + 1];
}

// Why a snapshot's name cannot be a test's picture, or empty.
std::string nameProblem(const std::string& name) {
    if (name.find('/') != std::string::npos || name.front() == '.' || !endsWith(name, ".png") ||
        name.size() == 4)
        return "a test's snapshot is a bare name ending in .png (the runner chooses its folder)";
    for (const char* variant : {".actual.png", ".expected.png", ".diff.png"})
        if (endsWith(name, variant))
            return std::string("names ending in ") + variant + " are the runner's own";
    return "";
}

} // namespace

std::optional<CaseHost> caseHostForPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (const HostName& name : hosts)
        if (extension == std::string(".") + name.word)
            return name.host;
    return std::nullopt;
}

const char* hostProgram(CaseHost host) {
    return named(host).program;
}

const char* hostWord(CaseHost host) {
    return named(host).word;
}

TestCase readTestCase(const std::string& path) {
    TestCase testCase;
    std::filesystem::path file(path);
    testCase.path = path;
    testCase.folder = file.has_parent_path() ? file.parent_path().string() : ".";
    testCase.name = file.stem().string();
    testCase.host = caseHostForPath(path).value_or(CaseHost::SpringBoard);
    std::ifstream input(path);
    if (!input) {
        testCase.problem = "cannot read " + path;
        return testCase;
    }
    ScriptReader reader(input);
    std::set<std::string> taken;
    while (auto line = reader.next()) {
        std::optional<std::string> name = snapshotName(testCase.host, line->words);
        if (!name)
            continue;
        std::string problem = nameProblem(*name);
        if (problem.empty() && !taken.insert(*name).second)
            problem = "the picture is taken twice";
        if (!problem.empty()) {
            testCase.problem =
                "line " + std::to_string(line->number) + ": snapshot " + *name + ": " + problem;
            return testCase;
        }
        testCase.pictures.push_back(*name);
    }
    return testCase;
}

bool findTestCases(const std::vector<std::string>& places, std::vector<TestCase>& cases, std::string& error) {
    for (const std::string& place : places) {
        std::error_code fsError;
        if (std::filesystem::is_regular_file(place, fsError)) {
            if (!caseHostForPath(place)) {
                error = place + " is no test case (its name must end in .springboard, .settings or .boot)";
                return false;
            }
            cases.push_back(readTestCase(place));
            continue;
        }
        if (!std::filesystem::is_directory(place, fsError)) {
            error = "no such folder: " + place;
            return false;
        }
        std::vector<std::string> scripts;
        for (const auto& entry : std::filesystem::directory_iterator(place, fsError))
            if (entry.is_regular_file(fsError) && caseHostForPath(entry.path().string()))
                scripts.push_back((std::filesystem::path(place) / entry.path().filename()).string());
        if (scripts.empty()) {
            error = "no test cases in " + place + " (scripts ending in .springboard, .settings or .boot)";
            return false;
        }
        std::sort(scripts.begin(), scripts.end());
        std::set<std::string> names;
        for (const std::string& script : scripts) {
            TestCase testCase = readTestCase(script);
            if (!names.insert(testCase.name).second) {
                error = "two cases in " + place + " are named " + testCase.name +
                        " and would share their expected pictures";
                return false;
            }
            cases.push_back(std::move(testCase));
        }
    }
    return true;
}
