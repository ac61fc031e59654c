// The Settings application's `state` object: its pages, bottom first, and the loaded bundles'
// exported variables.

#include "hosts/common/ObjectJson.h"
#include "hosts/settings/SettingsApp.h"
#include "platform/prefs/HBListController.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIImageView.h"

#include <dlfcn.h>

namespace {

// What a page's appearance object answers for a property: what was set on it when the getter is the
// base class's (null when never set), otherwise the subclass's own answer.
bool ownGetter(NSObject* appearance, const char* getter) {
    SEL selector = sel_registerName(getter);
    Method own = class_getInstanceMethod(appearance->getClass(), selector);
    Method base = class_getInstanceMethod(HBAppearanceSettings::objcClass(), selector);
    return own && base && own->imp != base->imp;
}

Json appearanceState(NSObject* appearance) {
    if (!appearance)
        return Json::null();
    auto* settings = objc_cast<HBAppearanceSettings>(appearance);
    Json::Object object;
    for (const char* name : appearanceColourNames) {
        if (settings && !ownGetter(appearance, name)) {
            object.add(name, colourJson(settings->storedColour(name)));
            continue;
        }
        SEL selector = sel_registerName(name);
        object.add(name, appearance->respondsToSelector(selector)
                             ? colourJson(objc_cast<UIColor>(msg_send<id>(appearance, selector)))
                             : Json::null());
    }
    auto flag = [&](const char* name, std::optional<bool> stored) {
        if (settings && !ownGetter(appearance, name))
            return stored ? Json::boolean(*stored) : Json::null();
        return appearance->respondsToSelector(sel_registerName(name))
                   ? Json::boolean(msg_send<bool>(appearance, name))
                   : Json::null();
    };
    auto style = [&](const char* name, std::optional<unsigned long> stored) {
        if (settings && !ownGetter(appearance, name))
            return stored ? Json::number(static_cast<double>(*stored)) : Json::null();
        return appearance->respondsToSelector(sel_registerName(name))
                   ? Json::number(static_cast<double>(msg_send<unsigned long>(appearance, name)))
                   : Json::null();
    };
    object.add("translucentNavigationBar",
               flag("translucentNavigationBar",
                    settings ? settings->values().translucentNavigationBar : std::nullopt));
    object.add("largeTitleStyle",
               style("largeTitleStyle", settings ? settings->values().largeTitleStyle : std::nullopt));
    return object.done();
}

Json headerSubviewState(UIView* view) {
    if (objc_cast<UIImageView>(view))
        return Json::Object()
            .add("kind", Json::string("image"))
            .add("frame", frameJson(view->frame()))
            .done();
    if (view->respondsToSelector(sel_registerName("waves")) &&
        view->respondsToSelector(sel_registerName("displayLink"))) {
        Json stroke = Json::null();
        if (auto* waves = objc_cast<NSArray>(msg_send<id>(view, "waves")); waves && waves->count() > 0)
            if (auto* layer = objc_cast<CAShapeLayer>(msg_send<id>(waves->objectAtIndex(0), "layer")))
                stroke = colourJson(layer->strokeColor());
        return Json::Object()
            .add("kind", Json::string("waves"))
            .add("frame", frameJson(view->frame()))
            .add("running", Json::boolean(msg_send<id>(view, "displayLink") != nullptr))
            .add("stroke", stroke)
            .done();
    }
    return Json::Object()
        .add("kind", Json::string(view->className()))
        .add("frame", frameJson(view->frame()))
        .done();
}

// What a row shows: the value its cell was drawn with, or, for a row without a cell, what it reads.
Ref<NSObject> shownValue(PSListController* page, PSSpecifier* row) {
    for (const auto& entry : page->rows())
        if (entry.specifier.get() == row && !entry.headerCell)
            return entry.value;
    return page->valueForRow(row);
}

} // namespace

Json SettingsApp::pageState(UIViewController* controller) const {
    auto* page = objc_cast<PSListController>(controller);
    UINavigationItem* item = controller->navigationItem();
    UIBarButtonItem* right = item->rightBarButtonItem();
    Json::Object object;
    object.add("class", Json::string(controller->className()))
        .add("title", Json::string(controller->title()))
        .add("navigationTitle", item->title().empty() ? Json::null() : Json::string(item->title()))
        .add("rightButton", right ? Json::Object()
                                        .add("title", Json::string(right->title()))
                                        .add("tint", colourJson(right->tintColor()))
                                        .done()
                                  : Json::null());
    std::string barTitle = item->title().empty() ? controller->title() : item->title();
    object.add("largeTitle",
               m_navigation->showsLargeTitle(controller) ? Json::string(barTitle) : Json::null());
    auto* hb = objc_cast<HBListController>(controller);
    object.add("appearance", appearanceState(hb ? hb->appearanceSettings() : nullptr));
    std::vector<Json> rows, headers;
    if (page) {
        NSArray* shown = page->shownSpecifiers();
        for (size_t i = 0; shown && i < shown->count(); ++i) {
            auto* row = objc_cast<PSSpecifier>(shown->objectAtIndex(i));
            if (!row)
                continue;
            bool stores = row->cellType() != PSGroupCell && !row->key().empty();
            rows.push_back(Json::Object()
                               .add("kind", Json::string(cellTypeName(row->cellType())))
                               .add("label", Json::string(row->name()))
                               .add("key", stores ? Json::string(row->key()) : Json::null())
                               .add("value", stores ? plistJson(shownValue(page, row).get()) : Json::null())
                               .done());
        }
        for (const auto& row : page->rows()) {
            if (!row.headerCell)
                continue;
            std::vector<Json> subviews;
            for (const auto& subview : row.view->subviews())
                subviews.push_back(headerSubviewState(subview.get()));
            headers.push_back(Json::Object()
                                  .add("class", Json::string(row.view->className()))
                                  .add("height", Json::number(row.view->frame().size.height))
                                  .add("subviews", Json::array(subviews))
                                  .done());
        }
    }
    object.add("rows", Json::array(rows)).add("headers", Json::array(headers));
    return object.done();
}

Json SettingsApp::globalsState() const {
    auto symbol = [this](const char* name) -> void* {
        for (const auto& bundle : m_loadOrder)
            if (void* found = ::dlsym(m_bundles.at(bundle), name))
                return found;
        return nullptr;
    };
    Json::Object globals;
    for (const char* name : {"enablecustom", "enableblend"}) {
        void* found = symbol(name);
        globals.add(name, found ? Json::boolean(*static_cast<bool*>(found)) : Json::null());
    }
    for (const char* name : {"color", "color2", "color3", "corona"}) {
        void* found = symbol(name);
        globals.add(name, found ? colourJson(objc_cast<UIColor>(static_cast<Ref<NSObject>*>(found)->get()))
                                : Json::null());
    }
    // The wallpaper header is held weakly: true while the header it names still exists.
    void* header = symbol("reloadview");
    globals.add("reloadview",
                header ? Json::boolean(static_cast<WeakSlot*>(header)->loadRaw() != nullptr) : Json::null());
    return globals.done();
}

Json SettingsApp::state() const {
    std::vector<Json> pages;
    for (const auto& controller : m_navigation->viewControllers())
        pages.push_back(pageState(controller.get()));
    Json alert = m_alert.shown() ? Json::Object()
                                       .add("title", Json::string(m_alert.title()))
                                       .add("message", Json::string(m_alert.message()))
                                       .done()
                                 : Json::null();
    return Json::Object()
        .add("pages", Json::array(pages))
        .add("globals", globalsState())
        .add("alert", alert)
        .add("statusBar",
             Json::Object().add("time", Json::string(m_navigation->navigationBar()->statusTime())).done())
        .done();
}
