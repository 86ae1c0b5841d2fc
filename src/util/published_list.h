// A list that readers take whole: a reader gets the current vector and walks
// its own reference to it; writers publish whole new vectors. The lock inside
// is held only to copy or swap the pointer, so a reader never waits for a
// walk nor sees a list being changed.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace wg {

class PublishedList {
public:
    using Snapshot = std::shared_ptr<const std::vector<std::string>>;

    // The list as published last; null when there is none.
    Snapshot Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_;
    }
    void Publish(std::vector<std::string> entries) {
        auto next = std::make_shared<const std::vector<std::string>>(std::move(entries));
        std::lock_guard<std::mutex> lock(mutex_);
        list_.swap(next);
    }
    // Releases the list (readers still holding it keep their copy).
    void Clear() {
        Snapshot old;
        std::lock_guard<std::mutex> lock(mutex_);
        list_.swap(old);
    }

private:
    mutable std::mutex mutex_;
    Snapshot list_;
};

}  // namespace wg
