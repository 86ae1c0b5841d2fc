#include "download/file_claims.h"

namespace wg {

void FileClaims::Claim(std::string_view localName) {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [&] { return !held_.contains(localName); });
    held_.emplace(localName);
}

void FileClaims::Release(std::string_view localName) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = held_.find(localName);
        if (it == held_.end()) {
            return;
        }
        held_.erase(it);
    }
    released_.notify_all();
}

}  // namespace wg
