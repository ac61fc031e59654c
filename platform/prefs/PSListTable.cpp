// Building a page's table: groups with their headers and footers, and one cell per row, laid out
// top to bottom in the page's scroll view.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/graphics/UIColor+Hex.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSTableCell.h"
#include "platform/ui/ApplicationIcons.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double rowHeight = 44;
constexpr double margin = 16;
constexpr double groupGap = 22;
constexpr double groupTitleHeight = 38;
constexpr double tallestHeader = 2000;
constexpr double swatchSize = 28;
constexpr const char* font = "DejaVu Sans 17px";
constexpr const char* smallFont = "DejaVu Sans 13px";

CGColor colourOr(const UIColor* colour, CGColor fallback) {
    return colour ? colour->cgColor() : fallback;
}

const CGColor systemBlue{0.0, 0.48, 1.0, 1};
const CGColor secondaryText{0.43, 0.43, 0.45, 1};

// The header a group's plist names, made and sized through the runtime; nil when the class is
// missing or does not adopt the header protocol.
Ref<UIView> makeHeaderCell(PSSpecifier* group, double width) {
    std::string name = group->stringProperty("headerCellClass");
    if (name.empty())
        return nullptr;
    Class cls = objc_getClass(name.c_str());
    if (!cls || !class_isSubclassOf(cls, UIView::objcClass()) ||
        !class_respondsToSelector(cls, sel_registerName("initWithSpecifier:"))) {
        NSLog("Preferences: header class " + name +
              (cls ? " does not adopt the header protocol" : " does not exist") +
              "; the group shows without it");
        return nullptr;
    }
    Ref<NSObject> instance = class_createInstance(cls);
    Ref<UIView> cell = objc_cast<UIView>(msg_send<id>(instance.get(), "initWithSpecifier:", group));
    if (!cell)
        return nullptr;
    double height = cell->frame().size.height;
    if (cell->respondsToSelector(sel_registerName("preferredHeightForWidth:")))
        height = msg_send<double>(cell.get(), "preferredHeightForWidth:", width);
    if (!std::isfinite(height) || height < 0)
        height = 0;
    cell->setFrame(CGRectMake(0, 0, width, std::min(height, tallestHeader)));
    return cell;
}

Ref<UILabel> textAt(CGRect frame, const std::string& text, const char* face, CGColor colour,
                    NSTextAlignment alignment = NSTextAlignment::Left) {
    Ref<UILabel> label = UILabel::labelWithFrame(frame, text, face, colour);
    label->setTextAlignment(alignment);
    return label;
}

// A colour row's swatch: the colour in an outlined box, or, without one, the empty box struck
// through, so that no colour is ever mistaken for white.
void addSwatch(UIView* swatch, UIColor* colour) {
    Ref<CAShapeLayer> box = CAShapeLayer::layer();
    box->setPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, swatchSize, swatchSize), 6)->cgPath().get());
    box->setFillColor(colour ? colour : UIColor::clearColor().get());
    box->setStrokeColor(UIColor::colorWithWhite(0.7, 1).get());
    swatch->layer()->addSublayer(box);
    if (colour)
        return;
    Ref<UIBezierPath> stroke = UIBezierPath::bezierPath();
    stroke->moveToPoint({4, swatchSize - 4});
    stroke->addLineToPoint({swatchSize - 4, 4});
    Ref<CAShapeLayer> strike = CAShapeLayer::layer();
    strike->setPath(stroke->cgPath().get());
    strike->setFillColor(UIColor::clearColor().get());
    strike->setStrokeColor(UIColor::colorWithRed(1, 0.23, 0.19, 1).get());
    strike->setLineWidth(2);
    swatch->layer()->addSublayer(strike);
}

// The row's value as the row shows it, at its right end.
void addAccessory(PSTableCell* cell, PSSpecifier* row, NSObject* value,
                  const PSListController::TableLook& look, double width) {
    double right = width - margin;
    switch (row->cellType()) {
    case PSSwitchCell: {
        Ref<UISwitch> toggle =
            UISwitch::switchAt({right - UISwitch::size.width, (rowHeight - UISwitch::size.height) / 2});
        auto* number = objc_cast<NSNumber>(value);
        toggle->setOn(number && number->boolValue());
        toggle->setOnTintColor(look.tint.get());
        cell->addSubview(toggle);
        break;
    }
    case PSLinkCell:
        cell->addSubview(textAt(CGRectMake(right - 20, 0, 20, rowHeight), "\u203A", "DejaVu Sans 22px",
                                CGColor{0.78, 0.78, 0.8, 1}, NSTextAlignment::Right));
        break;
    case PSEditTextCell: {
        const std::string* text = string_value(value);
        cell->addSubview(textAt(CGRectMake(width / 2, 0, right - width / 2, rowHeight), text ? *text : "",
                                font, secondaryText, NSTextAlignment::Right));
        break;
    }
    case PSColorCell: {
        Ref<UIColor> colour = colorFromHexString(value);
        const std::string* hex = string_value(value);
        Ref<UIView> swatch = makeViewWithFrame<UIView>(
            CGRectMake(right - swatchSize, (rowHeight - swatchSize) / 2, swatchSize, swatchSize));
        addSwatch(swatch, colour.get());
        cell->addSubview(swatch);
        cell->addSubview(textAt(CGRectMake(width / 2, 0, right - swatchSize - 8 - width / 2, rowHeight),
                                hex ? *hex : "Not set", smallFont, secondaryText, NSTextAlignment::Right));
        break;
    }
    case PSAppListCell: {
        auto app = installedApp(value);
        double size = 29;
        if (app) {
            if (Ref<UIImage> icon = applicationIconImage(value, 0, 3)) {
                Ref<UIImageView> image = UIImageView::imageViewWithImage(icon);
                image->setFrame(CGRectMake(right - size, (rowHeight - size) / 2, size, size));
                cell->addSubview(image);
            }
        }
        cell->addSubview(textAt(CGRectMake(width / 2, 0, right - size - 8 - width / 2, rowHeight),
                                app ? app->name : "None", font, secondaryText, NSTextAlignment::Right));
        break;
    }
    default:
        break;
    }
}

} // namespace

Ref<PSTableCell> PSListController::makeRowCell(PSSpecifier* row, NSObject* value, const TableLook& look,
                                               CGRect frame) {
    double width = frame.size.width;
    Ref<PSTableCell> cell = PSTableCell::cellWithSpecifier(row);
    cell->setFrame(frame);
    cell->setBackgroundColor(UIColor::whiteColor().get());
    CGColor titleColour =
        row->cellType() == PSButtonCell ? colourOr(look.tint.get(), systemBlue) : CGColor{0, 0, 0, 1};
    double textX = margin;
    if (auto* icon = objc_cast<UIImage>(row->propertyForKey("iconImage"))) {
        Ref<UIImageView> image = UIImageView::imageViewWithImage(icon);
        image->setFrame(CGRectMake(margin, (rowHeight - 29) / 2, 29, 29));
        cell->addSubview(image);
        textX += 29 + 14;
    }
    cell->addSubview(textAt(CGRectMake(textX, 0, width * 0.6, rowHeight), row->name(), font, titleColour));
    addAccessory(cell, row, value, look, width);
    return cell;
}

void PSListController::refreshRow(PSSpecifier* row) {
    for (auto& entry : m_rows)
        if (entry.specifier.get() == row && !entry.headerCell && objc_cast<PSTableCell>(entry.view.get())) {
            showValue(entry, valueForRow(row));
            return;
        }
}

void PSListController::showValue(Row& entry, NSObject* value) {
    // A new cell in the old one's place: the rest of the table, its headers included, stays.
    UIScrollView* table = tableView();
    const auto& subviews = table->subviews();
    auto at =
        std::find_if(subviews.begin(), subviews.end(), [&](const Ref<UIView>& v) { return v == entry.view; });
    if (at == subviews.end())
        return;
    size_t index = static_cast<size_t>(at - subviews.begin());
    Ref<NSObject> keep(value);
    Ref<PSTableCell> cell = makeRowCell(entry.specifier, value, tableLook(), entry.view->frame());
    entry.view->removeFromSuperview();
    table->insertSubview(cell, index);
    entry.view = cell;
    entry.value = keep;
}

void PSListController::refreshValues() {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].specifier || m_rows[i].headerCell || m_rows[i].specifier->key().empty() ||
            !objc_cast<PSTableCell>(m_rows[i].view.get()))
            continue;
        Ref<NSObject> value = valueForRow(m_rows[i].specifier);
        // Reading runs the page's own code, which may have rebuilt the table meanwhile.
        if (i < m_rows.size() && !sameRowValue(m_rows[i].value.get(), value.get()))
            showValue(m_rows[i], value);
    }
}

void PSListController::placeLargeTitle() {
    UINavigationController* navigation = navigationController();
    UIScrollView* table = tableView();
    if (!m_largeTitle || !navigation || !table)
        return;
    UIView* title = navigation->navigationBar()->largeTitleView();
    title->setFrame(CGRectMake(0, 0, table->bounds().size.width, UINavigationBar::largeTitleHeight));
    table->insertSubview(title, 0);
}

void PSListController::buildTable() {
    UIScrollView* table = tableView();
    if (!table) {
        NSLog(std::string("Preferences: ") + className() + "'s view is not a table; nothing to show");
        return;
    }
    for (const Ref<UIView>& view : std::vector<Ref<UIView>>(table->subviews()))
        view->removeFromSuperview();
    m_rows.clear();
    m_built = true;

    TableLook look = tableLook();
    double width = table->bounds().size.width;
    UINavigationController* navigation = navigationController();
    m_largeTitle = navigation && navigation->showsLargeTitle(this);
    placeLargeTitle();
    CGColor separator = colourOr(look.separator.get(), CGColor{0.78, 0.78, 0.8, 1});
    auto* list = objc_cast<NSArray>(msg_send<id>(this, "specifiers"));
    m_shown = list;
    double y = m_largeTitle ? UINavigationBar::largeTitleHeight : 0;
    std::string footer;
    bool rowsInGroup = false;
    auto endGroup = [&] {
        if (!footer.empty()) {
            Ref<UILabel> text =
                textAt(CGRectMake(margin, y + 6, width - 2 * margin, 20), footer, smallFont, secondaryText);
            table->addSubview(text);
            m_rows.push_back({nullptr, text, false, nullptr});
            y += 32;
        }
        footer.clear();
        rowsInGroup = false;
    };
    for (size_t i = 0; list && i < list->count(); ++i) {
        auto* row = objc_cast<PSSpecifier>(list->objectAtIndex(i));
        if (!row)
            continue;
        if (row->cellType() == PSGroupCell) {
            endGroup();
            footer = row->stringProperty("footerText");
            if (Ref<UIView> header = makeHeaderCell(row, width)) {
                CGRect frame = header->frame();
                frame.origin.y = y;
                header->setFrame(frame);
                table->addSubview(header);
                m_rows.push_back({row, header, true, nullptr});
                y += frame.size.height;
            } else if (!row->name().empty()) {
                Ref<UILabel> title =
                    textAt(CGRectMake(margin, y + groupTitleHeight - 24, width - 2 * margin, 18), row->name(),
                           smallFont, secondaryText);
                table->addSubview(title);
                m_rows.push_back({row, title, false, nullptr});
                y += groupTitleHeight;
            } else {
                y += groupGap;
            }
            continue;
        }
        if (rowsInGroup) {
            Ref<UIView> line = makeViewWithFrame<UIView>(CGRectMake(margin, y, width - margin, 0.5));
            line->setBackgroundColor(
                UIColor::colorWithRed(separator.red, separator.green, separator.blue, separator.alpha).get());
            table->addSubview(line);
        }
        Ref<NSObject> value = valueForRow(row);
        Ref<PSTableCell> cell = makeRowCell(row, value, look, CGRectMake(0, y, width, rowHeight));
        // The cell goes below the separator drawn for it.
        table->insertSubview(cell, table->subviews().size() - (rowsInGroup ? 1 : 0));
        m_rows.push_back({row, cell, false, value});
        y += rowHeight;
        rowsInGroup = true;
    }
    endGroup();
    table->setContentSize(CGSizeMake(width, y + 40));
}
