// zorvi waves: the lock screen's three waves, drawn frame by frame without a device, into a folder
// of PNG files or one recording (the drawing module does the work).

#include "tools/Commands.h"
#include "tools/DrawingCommands.h"

#include <memory>

namespace {

constexpr int maxFrames = 100000;

} // namespace

void addWavesCommand(Commands& commands) {
    auto options = std::make_shared<WavesOptions>();
    CLI::App* waves = commands.add(
        commands.program(), "waves",
        "renders the lock screen's three waves frame by frame: PNG files into a folder, or one recording",
        [options](const CLI::App& command) { return RUN_DRAWING(zv_drawWaves, command, *options); });
    addScreenOption(*waves, options->screen, "the screen in points and its scale (default: 375x812@3)");
    waves->add_option("--frames", options->frames, "how many frames (default: 60)")
        ->type_name("N")
        ->check(CLI::Range(1, maxFrames).description(""));
    waves
        ->add_option(
            "--out", options->out,
            "a folder for PNG frames (default: waves), or a file ending in .mp4, .gif, .webp or .apng")
        ->type_name("DIR|FILE");
}
