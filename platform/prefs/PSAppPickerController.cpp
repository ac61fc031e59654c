#include "platform/prefs/PSAppPickerController.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/ApplicationIcons.h"

Class PSAppPickerController::objcClass() {
    static Class const cls = objc_defineClass("PSAppPickerController", PSListController::objcClass(),
                                              &instance_factory<PSAppPickerController>);
    return cls;
}

Ref<PSAppPickerController> PSAppPickerController::pickerFor(PSListController* owner, PSSpecifier* row) {
    Ref<PSAppPickerController> picker = make_object<PSAppPickerController>();
    picker->m_owner = owner;
    picker->m_row = row;
    picker->setTitle(row->name());
    const std::string* chosen = string_value(owner->valueForRow(row).get());
    Ref<PSSpecifier> group = PSSpecifier::preferenceSpecifierNamed("Apps", picker.get(), PSGroupCell);
    std::vector<Ref<NSObject>> rows{group};
    for (const InstalledApp& app : installedApps()) {
        bool isChosen = chosen && *chosen == app.bundleIdentifier;
        Ref<PSSpecifier> choice = PSSpecifier::preferenceSpecifierNamed(
            app.name + std::string(isChosen ? chosenMark : ""), picker.get(), PSStaticTextCell);
        choice->setIdentifier(app.bundleIdentifier);
        Ref<NSString> identifier = NSString::stringWithUTF8String(app.bundleIdentifier);
        choice->setProperty(applicationIconImage(identifier, 0, 3).get(), "iconImage");
        choice->setProperty(identifier, "bundleIdentifier");
        rows.push_back(choice);
    }
    picker->setStoredSpecifiers(NSArray::arrayWithObjects(std::move(rows)));
    return picker;
}

std::string PSAppPickerController::selectRow(PSSpecifier* row) {
    // Going back takes this page off the stack, which may be the last to hold it.
    Ref<PSAppPickerController> self(this);
    NSObject* identifier = row ? row->propertyForKey("bundleIdentifier") : nullptr;
    Ref<PSListController> owner = m_owner.load();
    if (!identifier || !owner)
        return "not an app";
    owner->storeValue(m_row, identifier);
    if (UINavigationController* navigation = navigationController())
        navigation->popViewController();
    return "";
}
