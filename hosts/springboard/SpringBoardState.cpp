#include "hosts/common/ObjectJson.h"
#include "hosts/springboard/ControllerProperty.h"
#include "hosts/springboard/SpringBoard.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIScreen.h"

#include <dlfcn.h>

namespace {

NSObject* exportedObject(const char* name) {
    void* symbol = dlsym(RTLD_DEFAULT, name);
    return symbol ? *static_cast<NSObject**>(symbol) : nullptr;
}

Json exportedString(const char* name) {
    const std::string* text = string_value(exportedObject(name));
    return text ? Json::string(*text) : Json::null();
}

Json exportedBool(const char* name) {
    void* symbol = dlsym(RTLD_DEFAULT, name);
    return symbol ? Json::boolean(*static_cast<bool*>(symbol)) : Json::null();
}

} // namespace

Json SpringBoard::viewState(UIView* view) const {
    if (!view)
        return Json::null();
    auto* button = objc_cast<UIButton>(view);
    return Json::Object()
        .add("frame", frameJson(view->frame()))
        // Where it is drawn: apart from the frame while an animation moves it.
        .add("drawnFrame", frameJson(view->layer()->frame()))
        .add("hidden", Json::boolean(view->isHidden()))
        .add("hasImage", Json::boolean(button && button->imageForState(UIControlStateNormal)))
        .done();
}

Json SpringBoard::waveViewState(NSObject* waveView) const {
    auto* view = objc_cast<UIView>(waveView);
    if (!view)
        return Json::null();
    std::vector<double> moves;
    Json stroke = Json::null();
    if (auto* waves = objc_cast<NSArray>(msg_send<id>(waveView, "waves"))) {
        for (size_t i = 0; i < waves->count(); ++i) {
            NSObject* wave = waves->objectAtIndex(i);
            moves.push_back(msg_send<double>(wave, "moveX"));
            if (i == 0) {
                if (auto* layer = objc_cast<CAShapeLayer>(msg_send<id>(wave, "layer")))
                    stroke = colourJson(layer->strokeColor());
            }
        }
    }
    return Json::Object()
        .add("frame", frameJson(view->frame()))
        .add("running", Json::boolean(msg_send<id>(waveView, "displayLink") != nullptr))
        .add("moveX", Json::numbers(moves))
        .add("stroke", stroke)
        .done();
}

Json SpringBoard::globalsState() const {
    Json::Object globals;
    void* line = dlsym(RTLD_DEFAULT, "devicesensitivity");
    globals.add("devicesensitivity", line ? Json::number(*static_cast<int32_t*>(line)) : Json::null());
    globals.add("openstring", exportedString("openstring"));
    for (const char* name : {"app1", "app2", "app3", "app4"})
        globals.add(name, exportedString(name));
    for (const char* name : {"enableblend", "enablecustom", "hidequick"})
        globals.add(name, exportedBool(name));
    for (const char* name : {"color", "color2", "color3"})
        globals.add(name, colourJson(objc_cast<UIColor>(exportedObject(name))));
    return globals.done();
}

Json SpringBoard::state() const {
    UIScreen* screen = UIScreen::mainScreen();
    std::vector<Json> buttons, waveViews;
    for (int i = 1; i <= 4; ++i)
        buttons.push_back(viewState(appButton(i)));
    for (const char* getter : {"waveView", "waveView2", "waveView3"})
        waveViews.push_back(waveViewState(controllerProperty(m_controller, getter)));
    Json quick = Json::Object()
                     .add("hidden", Json::boolean(m_quickActions && m_quickActions->isHidden()))
                     .add("insetY", m_quickActions ? Json::number(msg_send<double>(m_quickActions, "_insetY"))
                                                   : Json::null())
                     .done();
    return Json::Object()
        .add("screen", Json::Object()
                           .add("width", Json::number(screen->bounds().size.width))
                           .add("height", Json::number(screen->bounds().size.height))
                           .add("scale", Json::number(screen->scale()))
                           .done())
        .add("system", Json::string(m_system))
        .add("controller", Json::string(m_controller->className()))
        .add("buttons", Json::array(buttons))
        .add("waveViews", Json::array(waveViews))
        .add("hint",
             m_hint ? Json::Object().add("hidden", Json::boolean(m_hint->isHidden())).done() : Json::null())
        .add("quickActions", quick)
        .add("globals", globalsState())
        .add("safeMode", m_safeMode ? Json::string(*m_safeMode) : Json::null())
        .add("clock", Json::Object()
                          .add("time", Json::string(m_clock->timeShown()))
                          .add("date", Json::string(m_clock->dateShown()))
                          .done())
        .add("locked", Json::boolean(m_locked))
        .add("foreground", m_foregroundApp.empty() ? Json::null() : Json::string(m_foregroundApp))
        .done();
}
