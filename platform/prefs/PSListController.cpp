#include "platform/prefs/PSListController.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/PSAppPickerController.h"
#include "platform/prefs/PSColorPickerController.h"
#include "platform/prefs/PreferenceDomain.h"
#include "platform/prefs/SpecifierPlist.h"
#include "platform/ui/UIScreen.h"

namespace {

PSListController* asList(id self) {
    return static_cast<PSListController*>(self);
}

PSListController::WriteObserver& writeObserver() {
    static PSListController::WriteObserver observer;
    return observer;
}

} // namespace

Class PSListController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("PSListController", UIViewController::objcClass(),
                                   &instance_factory<PSListController>);
        class_addMethod(
            c, "init", +[](id self, SEL) -> id { return self; });
        class_addMethod(
            c, "loadView", +[](id self, SEL) {
                // The page's view is its table.
                Ref<UIScrollView> table = makeViewWithFrame<UIScrollView>(UIScreen::mainScreen()->bounds());
                table->setBackgroundColor(UIColor::colorWithRed(0.95, 0.95, 0.97, 1).get());
                asList(self)->setView(table);
            });
        class_addMethod(
            c, "specifiers", +[](id self, SEL) -> id { return asList(self)->storedSpecifiers(); });
        class_addMethod(
            c, "specifier", +[](id self, SEL) -> id { return asList(self)->specifier(); });
        class_addMethod(
            c, "setSpecifier:", +[](id self, SEL, id specifier) {
                PSListController* page = asList(self);
                page->m_specifier = objc_cast<PSSpecifier>(specifier);
                // A page is titled after the row that opened it until it titles itself.
                if (page->m_specifier && page->title().empty())
                    page->setTitle(page->m_specifier->name());
            });
        class_addMethod(
            c, "shouldReloadSpecifiersOnResume", +[](id, SEL) -> bool { return false; });
        class_addMethod(
            c, "reloadSpecifiers", +[](id self, SEL) { asList(self)->buildTable(); });
        class_addMethod(
            c, "loadSpecifiersFromPlistName:target:", +[](id self, SEL, id name, id target) -> id {
                const std::string* text = string_value(name);
                Ref<NSMutableArray> list =
                    asList(self)->loadSpecifiersFromPlistName(text ? *text : "", target);
                // The caller takes ownership; until it does, the page keeps the answer.
                asList(self)->m_lastLoaded = list;
                return list.get();
            });
        class_addMethod(
            c, "readPreferenceValue:", +[](id self, SEL, id specifier) -> id {
                auto* row = objc_cast<PSSpecifier>(specifier);
                if (!row || row->key().empty())
                    return nullptr;
                // The page keeps what it read, so that the answer has an owner.
                Ref<NSDictionary>& values = asList(self)->m_lastRead;
                values = PreferenceDomain::read(row->domain());
                NSObject* value = values->objectForKey(row->key());
                if (value && !valueSuitsRow(row->cellType(), value)) {
                    NSLog("Preferences: " + row->domain() + " " + row->key() +
                          " has the wrong type; showing the default");
                    value = nullptr;
                }
                if (value || row->cellType() == PSColorCell)
                    return value;
                NSObject* fallback = row->defaultValue();
                return valueSuitsRow(row->cellType(), fallback) ? fallback : nullptr;
            });
        class_addMethod(
            c, "setPreferenceValue:specifier:", +[](id, SEL, id value, id specifier) {
                auto* row = objc_cast<PSSpecifier>(specifier);
                if (!row || row->key().empty())
                    return;
                if (!PreferenceDomain::isValidName(row->domain())) {
                    NSLog("Preferences: cannot store " + row->key() + " in \"" + row->domain() + "\"");
                    return;
                }
                // A refused or failed write says why in the log and is not told as stored.
                if (!PreferenceDomain::write(row->domain(), row->key(), value))
                    return;
                if (writeObserver())
                    writeObserver()(row->domain(), row->key(), value);
                if (std::string name = row->stringProperty("PostNotification"); !name.empty())
                    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                                         name.c_str(), nullptr, nullptr, true);
            });
        class_addMethod(
            c, "viewWillAppear:", +[](id self, SEL, bool) {
                PSListController* page = asList(self);
                if (!page->m_built || msg_send<bool>(self, "shouldReloadSpecifiersOnResume")) {
                    msg_send(self, "reloadSpecifiers");
                    return;
                }
                page->refreshValues();
                page->placeLargeTitle();
            });
        return c;
    }();
    return cls;
}

Ref<PSListController> PSListController::errorPage(const std::string& title, const std::string& message) {
    Ref<PSListController> page = make_object<PSListController>();
    page->setTitle(title);
    Ref<PSSpecifier> group = PSSpecifier::preferenceSpecifierNamed("", page.get(), PSGroupCell);
    group->setProperty(NSString::stringWithUTF8String(message), "footerText");
    page->setStoredSpecifiers(NSArray::arrayWithObjects({Ref<NSObject>(group)}));
    return page;
}

Ref<NSMutableArray> PSListController::loadSpecifiersFromPlistName(std::string_view name,
                                                                  NSObject* target) const {
    return loadSpecifiersFromPlist(m_bundlePath, name, target);
}

UIScrollView* PSListController::tableView() {
    return objc_cast<UIScrollView>(view());
}

PSSpecifier* PSListController::rowLabelled(std::string_view label) const {
    for (const auto& row : m_rows)
        if (row.specifier && row.specifier->cellType() != PSGroupCell && row.specifier->name() == label)
            return row.specifier.get();
    return nullptr;
}

PSSpecifier* PSListController::rowWithKey(std::string_view key) const {
    for (const auto& row : m_rows)
        if (row.specifier && row.specifier->cellType() != PSGroupCell && row.specifier->key() == key)
            return row.specifier.get();
    return nullptr;
}

void PSListController::reloadSpecifiers() {
    msg_send(this, "reloadSpecifiers");
}

PSListController::TableLook PSListController::tableLook() {
    return {};
}

Ref<NSObject> PSListController::valueForRow(PSSpecifier* row) {
    return Ref<NSObject>(msg_send<id>(this, "readPreferenceValue:", row));
}

bool PSListController::storeValue(PSSpecifier* row, NSObject* value) {
    if (!row || row->key().empty())
        return false;
    Ref<PSSpecifier> keep(row);
    msg_send(this, "setPreferenceValue:specifier:", value, row);
    refreshRow(row);
    return sameRowValue(valueForRow(row).get(), value);
}

void PSListController::setWriteObserver(WriteObserver observer) {
    writeObserver() = std::move(observer);
}

std::string PSListController::selectRow(PSSpecifier* row) {
    if (!row)
        return "no such row";
    Ref<PSSpecifier> keep(row);
    switch (row->cellType()) {
    case PSLinkCell:
        return pushDetail(row);
    case PSButtonCell: {
        Ref<NSObject> target = row->target();
        SEL action = row->buttonAction();
        if (!target || !action)
            return "the button has no action";
        if (!target->respondsToSelector(action))
            return std::string("the button's target does not answer ") + sel_getName(action);
        // An action of another shape than "v@:" or "v@:@" is refused by the send, not run.
        try {
            if (sel_getArgumentCount(action) == 0)
                msg_send(target, action);
            else
                msg_send(target, action, static_cast<id>(row));
        } catch (const RuntimeError& error) {
            NSLog(std::string("Preferences: ") + error.what());
            return std::string("the button's action cannot be sent: ") + error.what();
        }
        return "";
    }
    case PSColorCell:
    case PSAppListCell: {
        UINavigationController* navigation = navigationController();
        if (!navigation)
            return "the page is not shown";
        Ref<UIViewController> editor =
            row->cellType() == PSColorCell
                ? Ref<UIViewController>(PSColorPickerController::pickerFor(this, row))
                : Ref<UIViewController>(PSAppPickerController::pickerFor(this, row));
        navigation->pushViewController(editor);
        return "";
    }
    case PSSwitchCell: {
        auto* number = objc_cast<NSNumber>(valueForRow(row).get());
        if (!storeValue(row, NSNumber::numberWithBool(!(number && number->boolValue()))))
            return "the switch's value could not be stored";
        return "";
    }
    default:
        return std::string("a ") + cellTypeName(row->cellType()) + " row does nothing when tapped";
    }
}

PSSpecifier* PSListController::rowAt(CGPoint point) const {
    for (const auto& row : m_rows) {
        if (!row.specifier || row.specifier->cellType() == PSGroupCell)
            continue;
        CGRect frame = row.view->frame();
        if (point.x >= CGRectGetMinX(frame) && point.x < CGRectGetMaxX(frame) &&
            point.y >= CGRectGetMinY(frame) && point.y < CGRectGetMaxY(frame))
            return row.specifier.get();
    }
    return nullptr;
}

bool PSListController::tapped(CGPoint point) {
    // The point is in the table's own coordinates, which its scroll offset already shifts.
    PSSpecifier* row = rowAt(point);
    if (!row)
        return false;
    std::string problem = selectRow(row);
    return problem.empty();
}

std::string PSListController::pushDetail(PSSpecifier* link) {
    UINavigationController* navigation = navigationController();
    if (!navigation)
        return "the page is not shown";
    Class cls = link->detailControllerClass();
    Ref<PSListController> page;
    std::string problem;
    if (!cls) {
        problem = "no page class for \"" + link->name() + "\"";
    } else if (!class_isSubclassOf(cls, PSListController::objcClass())) {
        problem = std::string(class_getName(cls)) + " is not a list controller";
    } else {
        Ref<NSObject> made = class_createInstance(cls);
        page = objc_cast<PSListController>(msg_send<id>(made.get(), "init"));
        if (!page)
            problem = std::string(class_getName(cls)) + " gave no page";
    }
    if (!page) {
        NSLog("Preferences: " + problem);
        page = errorPage(link->name(), problem);
    } else {
        page->setBundlePath(m_bundlePath);
        msg_send(page.get(), "setSpecifier:", link);
    }
    navigation->pushViewController(page);
    return "";
}

bool valueSuitsRow(PSCellType type, const NSObject* value) {
    if (!value)
        return false;
    switch (type) {
    case PSSwitchCell:
        return objc_cast<NSNumber>(const_cast<NSObject*>(value)) != nullptr;
    case PSColorCell:
    case PSAppListCell:
    case PSEditTextCell:
        return string_value(value) != nullptr;
    default:
        return true;
    }
}

bool sameRowValue(const NSObject* a, const NSObject* b) {
    if (a == b)
        return true;
    const std::string *textA = string_value(a), *textB = string_value(b);
    if (textA || textB)
        return textA && textB && *textA == *textB;
    auto* numberA = objc_cast<NSNumber>(const_cast<NSObject*>(a));
    auto* numberB = objc_cast<NSNumber>(const_cast<NSObject*>(b));
    return numberA && numberB && numberA->doubleValue() == numberB->doubleValue();
}
