// What the lock screen adds to a description of its screen: an app button is labelled with its
// app's name and valued with the app's identifier.

#include "hosts/common/ScreenDescription.h"
#include "hosts/springboard/SpringBoard.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/ApplicationIcons.h"

#include <dlfcn.h>
#include <string>

void SpringBoard::describeView(UIView* view, ScreenElement& element) const {
    for (int i = 1; i <= 4; ++i) {
        if (view != appButton(i))
            continue;
        element.role = "button";
        // The tweak's exported identifier of the button's app.
        std::string name = "app" + std::to_string(i);
        void* symbol = dlsym(RTLD_DEFAULT, name.c_str());
        NSObject* identifier = symbol ? *static_cast<NSObject**>(symbol) : nullptr;
        const std::string* text = string_value(identifier);
        if (!text)
            return;
        element.value = Json::string(*text);
        auto app = installedApp(identifier);
        element.label = app ? app->name : *text;
        return;
    }
}
