#pragma once

// A specifier describes one row of a settings page: its name (the label shown), its cell kind, the
// object that owns the row's actions (its target, not owned), the page a link opens (its detail
// class) and every other value of the row as a property by key, just as the page's property list
// gave them. A row that stores a value names its key ("key"), the preference domain or suite the
// value lives in ("defaults"), its default ("default") and, optionally, a notification posted after
// each write ("PostNotification").

#include "platform/foundation/NSDictionary.h"
#include "runtime/NSObject.h"
#include "runtime/Weak.h"

#include <optional>
#include <string>
#include <string_view>

enum PSCellType : long {
    PSGroupCell = 0,
    PSLinkCell = 1,
    PSStaticTextCell = 7,
    PSSwitchCell = 6,
    PSEditTextCell = 8,
    PSButtonCell = 13,
    // Rows of this platform's own: a colour stored as an AARRGGBB hex string, and one installed
    // app stored as its bundle identifier.
    PSColorCell = 100,
    PSAppListCell = 101,
};

class PSSpecifier : public NSObject {
public:
    static Class objcClass();
    // [PSSpecifier preferenceSpecifierNamed:target:set:get:detail:cell:edit:]
    static Ref<PSSpecifier> preferenceSpecifierNamed(const std::string& name, NSObject* target,
                                                     PSCellType cell, Class detail = nullptr);

    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }
    const std::string& identifier() const { return m_identifier.empty() ? m_name : m_identifier; }
    void setIdentifier(std::string identifier) { m_identifier = std::move(identifier); }
    Ref<NSObject> target() const { return m_target.load(); }
    void setTarget(NSObject* target) { m_target = target; }
    PSCellType cellType() const { return m_cellType; }
    void setCellType(PSCellType type) { m_cellType = type; }
    Class detailControllerClass() const { return m_detail; }
    void setDetailControllerClass(Class detail) { m_detail = detail; }
    // A button row's action, sent to the target with the specifier.
    SEL buttonAction() const { return m_buttonAction; }
    void setButtonAction(SEL action) { m_buttonAction = action; }

    NSObject* propertyForKey(std::string_view key) const { return m_properties->objectForKey(key); }
    // nil removes the property.
    void setProperty(NSObject* value, std::string_view key) { m_properties->setObject(value, key); }
    // A string property, or "" when absent or not a string.
    std::string stringProperty(std::string_view key) const;

    // The stored value's key and domain ("" when the row stores nothing), and its default.
    std::string key() const { return stringProperty("key"); }
    std::string domain() const { return stringProperty("defaults"); }
    NSObject* defaultValue() const { return propertyForKey("default"); }

    PSSpecifier();

private:
    std::string m_name;
    std::string m_identifier;
    Weak<NSObject> m_target;
    PSCellType m_cellType = PSStaticTextCell;
    Class m_detail = nullptr;
    SEL m_buttonAction = nullptr;
    Ref<NSMutableDictionary> m_properties;
};

// The name of a cell kind as property lists write it ("PSSwitchCell"), and back (nullopt for
// a name this platform does not know).
const char* cellTypeName(PSCellType type);
std::optional<PSCellType> cellTypeNamed(std::string_view name);
