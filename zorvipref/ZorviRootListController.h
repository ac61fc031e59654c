#pragma once

// The bundle's root page: the purple look, its rows from the plist "Root" (loaded once), and a
// "Respring" button that restarts the lock screen.

#include "platform/prefs/HBListController.h"
#include "platform/ui/UIBarButtonItem.h"

class ZorviRootListController : public HBRootListController {
public:
    static Class objcClass();

    UIBarButtonItem* respringButton() const { return m_respringButton.get(); }
    void setRespringButton(UIBarButtonItem* button) { m_respringButton = button; }

private:
    Ref<NSObject> m_table; // never read or written
    Ref<UIBarButtonItem> m_respringButton;
};
