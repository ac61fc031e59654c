#pragma once

// A row of a settings page. The list machinery makes one per row and fills it (title, value,
// switch); a group's header may be a subclass named by the page's plist, made through the runtime:
// such a class adopts the header protocol by answering initWithSpecifier: (and, optionally,
// preferredHeightForWidth:, the height it wants).

#include "platform/prefs/PSSpecifier.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIView.h"

class PSTableCell : public UIView {
public:
    static Class objcClass();
    // initWithStyle:reuseIdentifier:specifier: through the runtime.
    static Ref<PSTableCell> cellWithSpecifier(PSSpecifier* specifier);

    PSSpecifier* specifier() const { return m_specifier.get(); }
    void setSpecifier(PSSpecifier* specifier) { m_specifier = specifier; }

private:
    Ref<PSSpecifier> m_specifier;
};
