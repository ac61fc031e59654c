// The bundle's start-up: runs once, when the Settings application loads the bundle, before it asks
// for any page. It binds the two colour switches and registers the appearance class by name.

#include "zorvipref/BundleState.h"
#include "zorvipref/ColorPrefsListController.h"
#include "zorvipref/HBAppearanceZo.h"
#include "zorvipref/HeaderCells.h"
#include "zorvipref/ZorviRootListController.h"

namespace {

// The bundle's classes are known by name as soon as it is loaded, before its start-up runs.
__attribute__((constructor(101))) void registerClasses() {
    ZorviRootListController::objcClass();
    ColorPrefsListController::objcClass();
    HBAppearanceZo::objcClass();
    headercellorva::objcClass();
    orvaheadercell::objcClass();
}

__attribute__((constructor)) void bundleStartup() {
    pfs = HBPreferences::initWithIdentifier(zorviDomain);
    pfs->registerBool(&enablecustom, false, "enablecustom");
    pfs->registerBool(&enableblend, false, "enableblend");
}

} // namespace
