// What Settings adds to a description of its screen: each row's cell is a cell, link, button or
// field with its row's label, and the value the row shows (a colour's AARRGGBB, an app's
// identifier, a text).

#include "hosts/common/ObjectJson.h"
#include "hosts/common/ScreenDescription.h"
#include "hosts/settings/SettingsApp.h"
#include "platform/prefs/PSAppPickerController.h"

void SettingsApp::describeView(UIView* view, ScreenElement& element) const {
    auto* cell = objc_cast<PSTableCell>(view);
    PSSpecifier* row = cell ? cell->specifier() : nullptr;
    if (!row)
        return;
    element.label = row->name();
    switch (row->cellType()) {
    case PSLinkCell:
        element.role = "link";
        break;
    case PSButtonCell:
        element.role = "button";
        break;
    case PSEditTextCell:
        element.role = "field";
        break;
    default:
        element.role = "cell";
        break;
    }
    // An app to pick: its name (the chosen one's check mark is a text of its own) and its app.
    if (const std::string* app = string_value(row->propertyForKey("bundleIdentifier"))) {
        std::string_view mark = PSAppPickerController::chosenMark;
        if (element.label.size() > mark.size() && element.label.ends_with(mark))
            element.label.erase(element.label.size() - mark.size());
        element.value = Json::string(*app);
        return;
    }
    // A switch's value is its switch's; the other rows' is what the row shows.
    if (row->cellType() != PSColorCell && row->cellType() != PSAppListCell &&
        row->cellType() != PSEditTextCell)
        return;
    if (PSListController* page = topPage())
        for (const auto& shown : page->rows())
            if (shown.view.get() == view)
                element.value = plistJson(shown.value.get());
}
