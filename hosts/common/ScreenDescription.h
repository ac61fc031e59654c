#pragma once

// What a screen shows, as a tree of elements a tool can read: each view of the tree with what it
// is for (its role), the text a person reads on it, its value, and where it lies in screen points.
// The walk is the same for every host; a host adds what only it knows (ScriptedHost::describeView).
//
// Roles: button, switch, cell, link, field, text, image, waves, bar, view. An element's id is its
// place in the tree ("2.0.1": the first subview's second subview ... of the screen's third), the
// same for as long as the screen is laid out the same way. Plain views that show nothing and hold
// nothing are left out.

#include "hosts/common/Json.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/UIView.h"

#include <optional>
#include <string>
#include <vector>

class ScriptedHost;

struct ScreenElement {
    std::string id;
    std::string className;
    std::string role = "view";
    std::string label;
    std::optional<Json> value;
    CGRect frame{};
    bool hidden = false;
    // Whether a finger can reach it: shown (it and every view above it), and on the screen.
    bool visible = true;
    std::vector<ScreenElement> children;
};

// The elements of the screen (the subviews of its top view, with theirs).
std::vector<ScreenElement> describeScreen(const ScriptedHost& host);

Json elementsJson(const std::vector<ScreenElement>& elements);
// An indented tree, one element a line.
std::string elementsText(const std::vector<ScreenElement>& elements);

// Every element, depth first.
std::vector<const ScreenElement*> flatten(const std::vector<ScreenElement>& elements);
