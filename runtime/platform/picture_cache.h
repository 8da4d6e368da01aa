// Native cursors and icons made from pictures, cached per picture: what
// every backend keeps, templated on the desktop's handle type.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>
#include <variant>

#include "../graphics/picture.h"

namespace rt::platform {

// One native handle per picture, made the first time the picture is asked
// for. The cache holds a reference to each picture, so that no other
// picture can take its address while the entry lives. Should a caller keep
// handing over new pictures, a full cache first frees the handles that are
// no longer in use. `Variant` tells apart the handles made from one
// picture (a size, say); by default there is one per picture.
template <class Handle, class Variant = std::monostate>
class PictureCache {
public:
    // `limit`: how many entries make the cache full.
    explicit PictureCache(std::size_t limit = 16) : limit_(limit) {}

    // The handle for `picture`: the cached one, else make(*picture). When
    // the cache is full, the entries whose handle inUse(handle) denies are
    // freed with release(handle) before the new one is made.
    template <class Make, class InUse, class Release>
    Handle obtain(const PictureRef& picture, Make&& make, InUse&& inUse, Release&& release) {
        return obtain(picture, Variant{}, make, inUse, release);
    }

    // The same for the `variant` of `picture`: make(*picture) makes that one.
    template <class Make, class InUse, class Release>
    Handle obtain(const PictureRef& picture, const Variant& variant, Make&& make, InUse&& inUse, Release&& release) {
        const Key key{picture.get(), variant};
        auto it = entries_.find(key);
        if (it != entries_.end()) return it->second.handle;
        if (entries_.size() >= limit_)
            std::erase_if(entries_, [&](const auto& entry) {
                if (inUse(entry.second.handle)) return false;
                release(entry.second.handle);
                return true;
            });
        return entries_.emplace(key, Entry{picture, make(*picture)}).first->second.handle;
    }

    // Frees every handle with release(handle) and empties the cache.
    template <class Release>
    void clear(Release&& release) {
        for (auto& [key, entry] : entries_) release(entry.handle);
        entries_.clear();
    }

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        PictureRef picture;  // keeps the key alive
        Handle handle{};
    };
    using Key = std::pair<const Picture*, Variant>;
    std::size_t limit_;
    std::map<Key, Entry> entries_;
};

// True when a window shows `cursor`: `windows` maps each window to a state
// whose `cursor` member is the handle it shows. A cache's inUse for cursors.
template <class Windows, class Handle>
bool cursorShown(const Windows& windows, const Handle& cursor) {
    return std::any_of(windows.begin(), windows.end(), [&](const auto& entry) { return entry.second.cursor == cursor; });
}

}  // namespace rt::platform
