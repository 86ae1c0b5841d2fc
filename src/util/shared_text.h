// A text that one thread replaces while others read it.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace wg {

class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::string_view initial) : text_(initial) {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    void Set(std::string_view text) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.assign(text);
    }
    bool Empty() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_.empty();
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace wg
