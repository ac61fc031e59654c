#pragma once

// The colour page: its rows come from the plist its link names (the link's "Color" property), its
// titles from the link's name; its "Update" button asks the wallpaper header to redraw.

#include "platform/prefs/HBListController.h"
#include "platform/ui/UIBarButtonItem.h"

class ColorPrefsListController : public HBListController {
public:
    static Class objcClass();

    UIBarButtonItem* respringButton() const { return m_respringButton.get(); }
    void setRespringButton(UIBarButtonItem* button) { m_respringButton = button; }

private:
    Ref<UIBarButtonItem> m_respringButton;
};
