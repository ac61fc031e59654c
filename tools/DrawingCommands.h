#pragma once

// The commands that draw (icons, wallpapers, waves, contact sheets) or compare pictures do their work
// in a module, libzv_tool_drawing.so, loaded when one of them runs: every other command starts
// without cairo, pango and the product's drawing. Their command lines are defined with the others;
// what they were given crosses into the module as these options.

#include "tools/picturetest/PictureComparison.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct CreateOptions {
    std::string system = "14.4";
    std::string screen;
    bool force = false;
};

struct WavesOptions {
    std::string screen;
    int frames = 60;
    std::string out = "waves";
};

struct TestOptions {
    std::vector<std::string> places;
    std::string matrix;
    std::string systems;
    std::string screens;
    bool update = false;
    int jobs = 0;
    unsigned timeout = 300;
    std::string tolerance; // checked as it was read: "C" or "C,N"
    std::string junit;
    std::string report;
};

// "C" or "C,N": a channel difference from 0 to 255, and a count of pixels.
std::optional<Tolerance> parseTolerance(const std::string& text);

// A matrix's devices by default: both sides of 13.0 (the tweak's two hook sets), a short screen and
// a tall one.
constexpr const char* defaultMatrixSystems = "12.4,14.4";
constexpr const char* defaultMatrixScreens = "375x667@2,375x812@3";

struct MatrixOptions {
    std::string script;
    std::string out;
    std::string systems = defaultMatrixSystems;
    std::string screens = defaultMatrixScreens;
};

// The module's entries. root is --root's folder, empty for the default device.
extern "C" {
int zv_createDevice(const CLI::App& command, const std::string& root, const CreateOptions& options);
int zv_updateDevice(const CLI::App& command, const std::string& root);
int zv_setWallpaper(const CLI::App& command, const std::string& root, const std::string& image);
int zv_exportWallpaper(const CLI::App& command, const std::string& root, const std::string& out);
int zv_averageWallpaper(const CLI::App& command, const std::string& root);
int zv_drawWaves(const CLI::App& command, const WavesOptions& options);
int zv_runPictureTests(const CLI::App& command, const TestOptions& options);
int zv_drawMatrix(const CLI::App& command, const MatrixOptions& options);
}

// The address of an entry of the module, loading it at the first call; nullptr after saying why
// (as the command's failure) when the module or the entry is missing.
void* drawingEntry(const char* name, const CLI::App& command);

// Runs an entry in the module; 1 when it cannot be found.
template <typename Entry, typename... Arguments>
int runDrawingEntry(const char* name, const CLI::App& command, const Arguments&... arguments) {
    auto entry = reinterpret_cast<Entry>(drawingEntry(name, command));
    return entry ? entry(command, arguments...) : 1;
}

// RUN_DRAWING(zv_drawWaves, command, options): the entry's type is taken from its declaration.
#define RUN_DRAWING(entry, ...) runDrawingEntry<decltype(&entry)>(#entry, __VA_ARGS__)
