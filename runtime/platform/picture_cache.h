// Native cursors and icons made from pictures, cached per picture: what
// every desktop backend keeps, templated on the desktop's handle type.
#pragma once

#include <cstddef>
#include <map>

#include "../graphics/picture.h"

namespace rt::platform {

// One native handle per picture, made the first time the picture is asked
// for. The cache holds a reference to each picture, so that no other
// picture can take its address while the entry lives. Should a caller keep
// handing over new pictures, a full cache first frees the handles that are
// no longer in use.
template <class Handle>
class PictureCache {
public:
    // `limit`: how many entries make the cache full.
    explicit PictureCache(std::size_t limit = 16) : limit_(limit) {}

    // The handle for `picture`: the cached one, else make(*picture). When
    // the cache is full, the entries whose handle inUse(handle) denies are
    // freed with release(handle) before the new one is made.
    template <class Make, class InUse, class Release>
    Handle obtain(const PictureRef& picture, Make&& make, InUse&& inUse, Release&& release) {
        auto it = entries_.find(picture.get());
        if (it != entries_.end()) return it->second.handle;
        if (entries_.size() >= limit_)
            std::erase_if(entries_, [&](const auto& entry) {
                if (inUse(entry.second.handle)) return false;
                release(entry.second.handle);
                return true;
            });
        return entries_.emplace(picture.get(), Entry{picture, make(*picture)}).first->second.handle;
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
    std::size_t limit_;
    std::map<const Picture*, Entry> entries_;
};

}  // namespace rt::platform
