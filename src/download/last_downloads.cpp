#include "download/last_downloads.h"

#include <filesystem>

#include "platform/clock.h"
#include "util/text.h"

namespace wg {

namespace {

// A path longer than this is not remembered (the platform's path limit).
constexpr std::size_t kLastDownloadPathLimit = 4096;

}  // namespace

bool LastDownloads::PicturePathAccepted(std::string_view path) const {
    const TypeSnapshot pictures = settings_.types.Get(TypeKind::PictureTypes);
    if (!pictures) {
        return true;  // no list at all: nothing to test against
    }
    for (const std::string& entry : pictures->entries) {
        if (!entry.empty() && FindNoCase(path, entry, false) != kNotFound) {
            return true;
        }
    }
    return false;
}

void LastDownloads::Note(std::string_view localName) {
    if (localName.empty() || noteBusy_.test_and_set(std::memory_order_acquire)) {
        return;
    }
    struct ClearBusy {
        std::atomic_flag& busy;
        ~ClearBusy() { busy.clear(std::memory_order_release); }
    } clearBusy{noteBusy_};
    // The transaction's name already starts with the download directory; a
    // relative one is made absolute so that opening it later does not depend
    // on the working directory.
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(localName), ec);
    if (ec) {
        return;
    }
    std::string path = full.lexically_normal().string();
    if (path.size() >= kLastDownloadPathLimit) {
        return;
    }
    // The main thread holds the mutex only briefly: one more try after a
    // millisecond, then the note is skipped.
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        platform::SleepMs(1);
        if (!lock.try_lock()) {
            return;
        }
    }
    previous_ = std::move(last_);
    last_ = path;
    if (settings_.showLastImage.load() && PicturePathAccepted(path)) {
        newestImage_ = std::move(path);
        if (previewTime_.load() == 0) {
            previewTime_.store(platform::SteadyMilliseconds());
        }
    }
}

std::string LastDownloads::LastPath() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
}

std::string LastDownloads::PreviousPath() {
    std::lock_guard<std::mutex> lock(mutex_);
    return previous_;
}

std::string LastDownloads::NewestImage() {
    std::lock_guard<std::mutex> lock(mutex_);
    return newestImage_;
}

std::string LastDownloads::TakeDueImage() {
    const std::uint64_t due = previewTime_.load();
    if (due == 0 || platform::SteadyMilliseconds() <= due + 1000) {
        return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (newestImage_ == lastShownImage_ || !PicturePathAccepted(newestImage_)) {
        return {};
    }
    lastShownImage_ = newestImage_;
    return newestImage_;
}

std::string LastDownloads::TakeNewestImage() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastShownImage_ = newestImage_;
    return newestImage_;
}

void LastDownloads::ImageShown(bool decoded) {
    const std::uint64_t now = platform::SteadyMilliseconds();
    if (decoded) {
        previewTime_.store(now + 1500);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastShownImage_.clear();
    }
    previewTime_.store(now + 30000);
}

bool LastDownloads::ShowAgainAfter(std::uint64_t delayMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lastShownImage_.empty()) {
            return false;
        }
    }
    previewTime_.store(platform::SteadyMilliseconds() + delayMs);
    return true;
}

}  // namespace wg
