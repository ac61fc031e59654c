#include "hosts/common/ScreenDescription.h"
#include "hosts/common/ObjectJson.h"
#include "hosts/common/ScriptedHost.h"
#include "hosts/common/ViewText.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UISwitch.h"

#include <cstdio>

namespace {

bool overlaps(const CGRect& a, const CGRect& b);

// A plain view (or a label with no text) that holds nothing tells nobody anything.
bool tellsNothing(const ScreenElement& element) {
    return (element.role == "view" || element.role == "text") && element.label.empty() && !element.value &&
           element.children.empty();
}

// The bar's back button and right item are labels a tap on the bar answers to.
bool isBarButton(UIView* view) {
    auto* bar = objc_cast<UINavigationBar>(view->superview());
    return bar && (view == bar->backButtonView() || view == bar->rightButtonView());
}

// What the platform's own classes are for; a host refines it.
void describeKind(UIView* view, ScreenElement& element) {
    if (auto* toggle = objc_cast<UISwitch>(view)) {
        element.role = "switch";
        element.value = Json::boolean(toggle->isOn());
    } else if (objc_cast<UIButton>(view)) {
        element.role = "button";
    } else if (auto* label = objc_cast<UILabel>(view)) {
        element.role = isBarButton(view) && !label->text().empty() ? "button" : "text";
        element.label = label->text();
    } else if (objc_cast<UIImageView>(view)) {
        element.role = "image";
    } else if (objc_cast<UINavigationBar>(view)) {
        element.role = "bar";
    } else if (view->respondsToSelector(sel_registerName("waves")) &&
               view->respondsToSelector(sel_registerName("displayLink"))) {
        // A wave view, whoever made it: it answers for its waves and its display link.
        element.role = "waves";
    }
    if (const std::string* text = viewText(view)) {
        element.label = *text;
        if (element.role == "view")
            element.role = "text";
    } else if (element.role == "view" && view->layer()->contents()) {
        element.role = "image"; // a picture shown as the view's own content (a wallpaper, an icon)
    }
}

ScreenElement describe(const ScriptedHost& host, UIView* view, const std::string& id, bool shownAbove,
                       CGRect screen) {
    ScreenElement element;
    element.id = id;
    element.className = view->className();
    CGRect bounds = view->bounds();
    CGPoint origin = view->convertPointToView(bounds.origin, nullptr);
    element.frame = CGRectMake(origin.x, origin.y, bounds.size.width, bounds.size.height);
    element.hidden = view->isHidden() || view->alpha() <= 0;
    bool shown = shownAbove && !element.hidden;
    element.visible = shown && overlaps(element.frame, screen);
    describeKind(view, element);
    host.describeView(view, element);
    const auto& subviews = view->subviews();
    for (size_t i = 0; i < subviews.size(); ++i) {
        ScreenElement child = describe(host, subviews[i].get(), id + "." + std::to_string(i), shown, screen);
        if (tellsNothing(child))
            continue;
        element.children.push_back(std::move(child));
    }
    return element;
}

void flattenInto(const std::vector<ScreenElement>& elements, std::vector<const ScreenElement*>& out) {
    for (const ScreenElement& element : elements) {
        out.push_back(&element);
        flattenInto(element.children, out);
    }
}

bool overlaps(const CGRect& a, const CGRect& b) {
    return CGRectGetMinX(a) < CGRectGetMaxX(b) && CGRectGetMinX(b) < CGRectGetMaxX(a) &&
           CGRectGetMinY(a) < CGRectGetMaxY(b) && CGRectGetMinY(b) < CGRectGetMaxY(a);
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void textInto(const std::vector<ScreenElement>& elements, int depth, std::string& out) {
    for (const ScreenElement& element : elements) {
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + element.role;
        if (!element.label.empty())
            out += " \"" + element.label + "\"";
        if (element.value)
            out += " = " + element.value->text();
        const CGRect& f = element.frame;
        out += "  (" + number(f.origin.x) + ", " + number(f.origin.y) + ", " + number(f.size.width) + " x " +
               number(f.size.height) + ")  #" + element.id + " " + element.className;
        if (element.hidden)
            out += " hidden";
        out += "\n";
        textInto(element.children, depth + 1, out);
    }
}

} // namespace

std::vector<ScreenElement> describeScreen(const ScriptedHost& host) {
    std::vector<ScreenElement> elements;
    UIView* top = host.screenView();
    if (!top)
        return elements;
    top->layoutIfNeeded();
    CGRect screen = top->bounds();
    const auto& subviews = top->subviews();
    for (size_t i = 0; i < subviews.size(); ++i) {
        ScreenElement element =
            describe(host, subviews[i].get(), std::to_string(i), !top->isHidden(), screen);
        if (tellsNothing(element))
            continue;
        elements.push_back(std::move(element));
    }
    return elements;
}

Json elementsJson(const std::vector<ScreenElement>& elements) {
    std::vector<Json> items;
    for (const ScreenElement& element : elements)
        items.push_back(Json::Object()
                            .add("id", Json::string(element.id))
                            .add("class", Json::string(element.className))
                            .add("role", Json::string(element.role))
                            .add("label", Json::string(element.label))
                            .add("value", element.value ? *element.value : Json::null())
                            .add("frame", frameJson(element.frame))
                            .add("hidden", Json::boolean(element.hidden))
                            .add("children", elementsJson(element.children))
                            .done());
    return Json::array(items);
}

std::string elementsText(const std::vector<ScreenElement>& elements) {
    std::string out;
    textInto(elements, 0, out);
    return out;
}

std::vector<const ScreenElement*> flatten(const std::vector<ScreenElement>& elements) {
    std::vector<const ScreenElement*> out;
    flattenInto(elements, out);
    return out;
}
