// zorvi matrix: one script's last snapshot on every device of a matrix, as one contact sheet
// (systems down, screens across, each picture labelled with its device); the drawing module does the
// work.

#include "tools/Commands.h"
#include "tools/DrawingCommands.h"

#include <memory>

void addMatrixCommand(Commands& commands) {
    auto options = std::make_shared<MatrixOptions>();
    CLI::App* matrix =
        commands.add(commands.program(), "matrix",
                     "runs a script (NAME.springboard, NAME.settings or NAME.boot) on a fresh device of each "
                     "system and screen "
                     "and puts its last snapshot from each into one contact sheet",
                     [options](const CLI::App& command) { return RUN_DRAWING(zv_drawMatrix, command, *options); });
    matrix
        ->add_option("--system", options->systems,
                     std::string("system versions, the sheet's rows (default: ") + defaultMatrixSystems + ")")
        ->type_name("LIST")
        ->check(listCheck(systemVersionProblem));
    matrix
        ->add_option("--screen", options->screens,
                     std::string("screens, the sheet's columns (default: ") + defaultMatrixScreens + ")")
        ->type_name("LIST")
        ->check(listCheck(screenProblem));
    matrix->add_option("SCRIPT", options->script, "the script")->required();
    matrix->add_option("OUT.png", options->out, "the contact sheet")->required();
}
