#include "platform/graphics/DecodedImageCache.h"
#include "runtime/Weak.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace DecodedImageCache {

namespace {

using Key = std::pair<std::string, FileIdentity>;

struct Entries {
    std::mutex lock;
    std::map<Key, std::vector<Weak<CGImage>>, std::less<>> images;
};

// Never destroyed: images may be released while the process exits.
Entries& entries() {
    static Entries* const shared = new Entries;
    return *shared;
}

std::optional<std::vector<Ref<CGImage>>> held(const std::vector<Weak<CGImage>>& weak) {
    if (weak.empty())
        return std::nullopt;
    std::vector<Ref<CGImage>> strong;
    for (const auto& image : weak) {
        strong.push_back(image.load());
        if (!strong.back())
            return std::nullopt;
    }
    return strong;
}

} // namespace

std::optional<std::vector<Ref<CGImage>>> find(std::string_view decoder, const FileIdentity& file) {
    auto& cache = entries();
    std::lock_guard guard(cache.lock);
    auto it = cache.images.find(Key(std::string(decoder), file));
    if (it == cache.images.end())
        return std::nullopt;
    return held(it->second);
}

void remember(std::string_view decoder, const FileIdentity& file, const std::vector<Ref<CGImage>>& images) {
    auto& cache = entries();
    std::lock_guard guard(cache.lock);
    // Entries whose images have all gone are dropped here, so the map stays as small as what is held.
    std::erase_if(cache.images, [](const auto& entry) { return !held(entry.second); });
    std::vector<Weak<CGImage>> weak;
    for (const auto& image : images)
        weak.emplace_back(image.get());
    cache.images[Key(std::string(decoder), file)] = std::move(weak);
}

} // namespace DecodedImageCache
