#include "tools/DrawingCommands.h"
#include "platform/foundation/ProjectModule.h"
#include "tools/Commands.h"

void* drawingEntry(const char* name, const CLI::App& command) {
    std::string error;
    void* entry = ProjectModule::entry("libzv_tool_drawing.so", name, error);
    if (!entry)
        commandFailure(command, "cannot load its drawing: " + error);
    return entry;
}
