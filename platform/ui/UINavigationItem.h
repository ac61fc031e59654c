#pragma once

// What a view controller shows in the navigation bar while it is on top: a title, a button at the
// right, and whether the title shows large at the top of the page. Changes reach the bar through the
// observer its navigation controller installs.

#include "platform/ui/UIBarButtonItem.h"

#include <functional>
#include <string>

// Automatic: large where the bar prefers large titles and the item is the stack's first.
enum class UINavigationItemLargeTitleDisplayMode : long { Automatic = 0, Always = 1, Never = 2 };

class UINavigationItem : public NSObject {
public:
    static Class objcClass();

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    UIBarButtonItem* rightBarButtonItem() const { return m_right.get(); }
    void setRightBarButtonItem(UIBarButtonItem* item);
    UINavigationItemLargeTitleDisplayMode largeTitleDisplayMode() const { return m_largeTitleMode; }
    void setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode mode);
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }

private:
    void changed() {
        if (m_observer)
            m_observer();
    }

    std::string m_title;
    Ref<UIBarButtonItem> m_right;
    UINavigationItemLargeTitleDisplayMode m_largeTitleMode = UINavigationItemLargeTitleDisplayMode::Automatic;
    std::function<void()> m_observer;
};
