// zorvi device: makes, updates, lists and erases devices. Laying one out and installing the product
// draw (icons, the wallpaper), so they run in the drawing module.

#include "tools/Commands.h"
#include "tools/DeviceManage.h"
#include "tools/DrawingCommands.h"

#include <memory>

void addDeviceCommand(Commands& commands) {
    auto root = std::make_shared<std::string>();
    CLI::App* device = commands.add(commands.program(), "device", "makes, updates, lists and erases devices");
    addRootOption(*device, *root);
    auto options = std::make_shared<CreateOptions>();
    CLI::App* make = commands.add(*device, "create",
                                  "lays out a new device (default: system 14.4, 375x812@3) with apps, a "
                                  "wallpaper and the product installed",
                                  [root, options](const CLI::App& command) { return RUN_DRAWING(zv_createDevice, command, *root, *options); });
    addSystemOption(*make, options->system, "the system version the device runs (default: 14.4)");
    addScreenOption(*make, options->screen, "the screen in points and its scale (default: 375x812@3)");
    make->add_flag("--force", options->force, "lays out a folder that is not empty again");
    commands.add(*device, "update", "reinstalls the product and the device's programs after a rebuild",
                 [root](const CLI::App& command) { return RUN_DRAWING(zv_updateDevice, command, *root); });
    commands.add(*device, "list",
                 "lists the devices beside the default one (and --root's), and which are booted",
                 [root](const CLI::App&) { return listDevices(*root); });
    commands.add(*device, "erase", "erases a device that is not booted",
                 [root](const CLI::App& command) { return eraseDevice(*root, command); });
}
