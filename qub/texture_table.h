#pragma once

#include "engine/engine.h"
#include "qub/driver.h"

#include <unordered_map>

namespace qub {

// Texture handles and what they stand for. The table only keeps the record;
// the driver owns the texture itself. Handles are never reused while the
// table lives, so a stale handle finds nothing.
class TextureTable {
  public:
    struct Entry {
        DriverTexture texture;
        int width;
        int height;
    };

    TextureHandle add(const Entry& entry) {
        if (++lastHandle_ == 0) ++lastHandle_;
        entries_[lastHandle_] = entry;
        return lastHandle_;
    }
    // The entry taken out, or null texture when the handle is unknown.
    DriverTexture remove(TextureHandle handle) {
        auto found = entries_.find(handle);
        if (found == entries_.end()) return 0;
        const DriverTexture texture = found->second.texture;
        entries_.erase(found);
        return texture;
    }
    const Entry* find(TextureHandle handle) const {
        auto found = entries_.find(handle);
        return found == entries_.end() ? nullptr : &found->second;
    }
    void clear() { entries_.clear(); }
    int count() const { return static_cast<int>(entries_.size()); }

  private:
    std::unordered_map<TextureHandle, Entry> entries_;
    TextureHandle lastHandle_ = 0;
};

} // namespace qub
