#pragma once

// The editor of an app row: one row per installed app, with its icon; tapping one stores its bundle
// identifier through the page that owns the row, then goes back to it.

#include "platform/prefs/PSListController.h"

class PSAppPickerController : public PSListController {
public:
    static Class objcClass();
    static Ref<PSAppPickerController> pickerFor(PSListController* owner, PSSpecifier* row);
    // What follows the chosen app's name in its row.
    static constexpr std::string_view chosenMark = "  \u2713";

    std::string selectRow(PSSpecifier* row) override;

private:
    Weak<PSListController> m_owner;
    Ref<PSSpecifier> m_row;
};
