// zorvi wallpaper: puts a PNG or JPEG on the device as its lock-screen wallpaper, writes the
// wallpaper back out as PNG, or prints its average colour (the work is the drawing module's).

#include "tools/Commands.h"
#include "tools/DrawingCommands.h"

#include <memory>

void addWallpaperCommand(Commands& commands) {
    struct Words {
        std::string root;
        std::string image;
        std::string out;
    };
    auto words = std::make_shared<Words>();
    CLI::App* wallpaper = commands.add(commands.program(), "wallpaper",
                                       "the device's lock-screen wallpaper: in, out, its average");
    addRootOption(*wallpaper, words->root);
    CLI::App* setVerb = commands.add(*wallpaper, "set", "imports a PNG or JPEG as the wallpaper",
                                     [words](const CLI::App& command) {
                                         return RUN_DRAWING(zv_setWallpaper, command, words->root, words->image);
                                     });
    setVerb->add_option("IMAGE", words->image, "a PNG or JPEG file")->required();
    CLI::App* exportVerb = commands.add(
        *wallpaper, "export", "writes the wallpaper out as a PNG", [words](const CLI::App& command) {
            return RUN_DRAWING(zv_exportWallpaper, command, words->root, words->out);
        });
    exportVerb->add_option("OUT.png", words->out, "the picture to write")->required();
    commands.add(
        *wallpaper, "average", "prints the wallpaper's average colour (the colour blended waves take)",
        [words](const CLI::App& command) { return RUN_DRAWING(zv_averageWallpaper, command, words->root); });
}
