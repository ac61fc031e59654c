#include "runtime/Selector.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct objc_selector {
    std::string name;
};

namespace {

struct SelectorTable {
    std::mutex lock;
    std::unordered_map<std::string_view, std::unique_ptr<objc_selector>> entries;
};

// Never destroyed: selectors stay valid while anything at exit still sends messages.
SelectorTable& selectorTable() {
    static SelectorTable* const instance = new SelectorTable;
    return *instance;
}

} // namespace

SEL sel_registerName(std::string_view name) {
    auto& t = selectorTable();
    std::lock_guard guard(t.lock);
    if (auto it = t.entries.find(name); it != t.entries.end())
        return it->second.get();
    auto sel = std::make_unique<objc_selector>(objc_selector{std::string(name)});
    std::string_view key = sel->name;
    SEL result = sel.get();
    t.entries.emplace(key, std::move(sel));
    return result;
}

const char* sel_getName(SEL sel) {
    return sel ? sel->name.c_str() : "<null selector>";
}

int sel_getArgumentCount(SEL sel) {
    return sel ? static_cast<int>(std::count(sel->name.begin(), sel->name.end(), ':')) : 0;
}
