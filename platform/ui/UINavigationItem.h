#pragma once

// What a view controller shows in the navigation bar while it is on top: a title and a button at
// the right. Changes reach the bar through the observer its navigation controller installs.

#include "platform/ui/UIBarButtonItem.h"

#include <functional>
#include <string>

class UINavigationItem : public NSObject {
public:
    static Class objcClass();

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    UIBarButtonItem* rightBarButtonItem() const { return m_right.get(); }
    void setRightBarButtonItem(UIBarButtonItem* item);
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }

private:
    void changed() {
        if (m_observer)
            m_observer();
    }

    std::string m_title;
    Ref<UIBarButtonItem> m_right;
    std::function<void()> m_observer;
};
