#pragma once

// A settings page: a scrolling table of rows built from its specifiers. The machinery asks the page
// for its specifiers through the runtime ("specifiers"), so that a subclass's own list is what shows;
// the base class answers its stored list, `_specifiers`, as it is. The table is built when the page
// first comes on screen and again on reloadSpecifiers, and, when the page answers YES to
// shouldReloadSpecifiersOnResume, each time it comes back on top. Otherwise a page coming back on
// top reads its rows' values again and redraws the rows whose value changed meanwhile (on another
// page or in another process); the rest of the table, its header cells included, stays as it is.
// A page whose title shows large (see UINavigationController) has it at the top of its table.
//
// Values: a row that stores a value reads it with readPreferenceValue: and writes it with
// setPreferenceValue:specifier: (both through the runtime). The base class reads the row's key in its
// domain or suite ("defaults"), showing the row's default when there is none or the stored value has
// the wrong type for the row, and writes through the preference store, so the change notice reaches
// every process; then it posts the row's "PostNotification", if any. A colour row shows no default:
// whoever reads a colour key gets nothing while none is stored, so the row says "Not set".
//
// Selecting a row does what a finger's tap does: a link pushes its page (made through the runtime,
// sent init, then setSpecifier: with the link's specifier, before it is shown); a button sends its
// action to its target with its specifier; a switch flips. A link whose page cannot be made shows an
// error page instead.

#include "platform/foundation/NSArray.h"
#include "platform/prefs/PSSpecifier.h"
#include "platform/prefs/PSTableCell.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIViewController.h"

#include <functional>
#include <string>
#include <vector>

class PSListController : public UIViewController {
public:
    static Class objcClass();
    // A page showing one message (for a page that could not be made), titled `title`.
    static Ref<PSListController> errorPage(const std::string& title, const std::string& message);

    struct TableLook {
        Ref<UIColor> tint;      // switches, buttons and links; nil: the platform's
        Ref<UIColor> separator; // lines between rows; nil: the platform's
    };
    struct Row {
        Ref<PSSpecifier> specifier;
        Ref<UIView> view;        // the row's cell, or a group's header (cell or label)
        bool headerCell = false; // a header made from the group's headerCellClass
        Ref<NSObject> value;     // what the row's cell shows (nil: no value)
    };

    // `_specifiers`: what the page stores; nil until someone stores a list.
    NSArray* storedSpecifiers() const { return m_specifiers.get(); }
    void setStoredSpecifiers(NSArray* list) { m_specifiers = list; }
    PSSpecifier* specifier() const { return m_specifier.get(); }
    // The settings bundle folder (a device path) the page's specifier plists are read from.
    const std::string& bundlePath() const { return m_bundlePath; }
    void setBundlePath(std::string path) { m_bundlePath = std::move(path); }

    // loadSpecifiersFromPlistName:target:
    Ref<NSMutableArray> loadSpecifiersFromPlistName(std::string_view name, NSObject* target) const;

    // --- the table ---
    UIScrollView* tableView();
    const std::vector<Row>& rows() const { return m_rows; }
    // The specifiers the table was last built from, in order.
    NSArray* shownSpecifiers() const { return m_shown.get(); }
    // The row of the page's current table with this label (or stored key); nil for none.
    PSSpecifier* rowLabelled(std::string_view label) const;
    PSSpecifier* rowWithKey(std::string_view key) const;
    void reloadSpecifiers();
    virtual TableLook tableLook();

    // --- values and taps ---
    Ref<NSObject> valueForRow(PSSpecifier* row);
    // Stores the value through setPreferenceValue:specifier: and shows it; answers whether the row
    // reads it back.
    bool storeValue(PSSpecifier* row, NSObject* value);
    // Answers "" when done, else why not. Colour and app rows open their editors.
    virtual std::string selectRow(PSSpecifier* row);
    // The row under a point of the page's view; nil for none.
    PSSpecifier* rowAt(CGPoint point) const;
    bool tapped(CGPoint point) override;

    // Told of every value a row has stored, as stored; a refused or failed write is not told (a host
    // writes these to its trace).
    using WriteObserver =
        std::function<void(const std::string& domain, const std::string& key, NSObject* value)>;
    static void setWriteObserver(WriteObserver observer);

protected:
    // Pushes a page of class cls for the link row; answers "" or why not.
    std::string pushDetail(PSSpecifier* link);

private:
    void buildTable();
    // One row's cell, showing the value.
    Ref<PSTableCell> makeRowCell(PSSpecifier* row, NSObject* value, const TableLook& look, CGRect frame);
    // Shows a row's value without rebuilding the rest of the table.
    void refreshRow(PSSpecifier* row);
    // A new cell for the entry, showing the value, in its old cell's place.
    void showValue(Row& entry, NSObject* value);
    // Redraws the rows whose stored value is no longer the one they show.
    void refreshValues();
    // Puts the navigation bar's large title at the top of the table when the page's title shows large.
    void placeLargeTitle();

    Ref<NSArray> m_specifiers;
    Ref<PSSpecifier> m_specifier;
    std::string m_bundlePath;
    std::vector<Row> m_rows;
    Ref<NSArray> m_shown;
    bool m_built = false;
    bool m_largeTitle = false;    // the table was laid out under a large title
    Ref<NSArray> m_lastLoaded;    // the last answer of loadSpecifiersFromPlistName:target:
    Ref<NSDictionary> m_lastRead; // the values readPreferenceValue: last read
};

// Whether a stored value suits a row of that kind (switches take numbers; colour, app and text rows
// take strings).
bool valueSuitsRow(PSCellType type, const NSObject* value);
// Whether two values of a row are the same: strings by their text, numbers by their value.
bool sameRowValue(const NSObject* a, const NSObject* b);
