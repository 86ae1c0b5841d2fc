#include <filesystem>
#include <string>

#include "app/app.h"
#include "platform/clock.h"
#include "util/text.h"

namespace wg {

namespace {

// A path longer than this is not remembered (the platform's path limit).
constexpr std::size_t kLastDownloadPathLimit = 4096;

}  // namespace

bool App::PicturePathAccepted(std::string_view path) const {
    const TypeSnapshot pictures = settings.types.Get(TypeKind::PictureTypes);
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

void App::NoteLastDownload(std::string_view localName) {
    if (noteLastDownloadBusy_.test_and_set(std::memory_order_acquire)) {
        return;
    }
    struct ClearBusy {
        std::atomic_flag& busy;
        ~ClearBusy() { busy.clear(std::memory_order_release); }
    } clearBusy{noteLastDownloadBusy_};
    // The main thread holds the image mutex only briefly: one more try after
    // a millisecond, then the note is skipped.
    std::unique_lock<std::mutex> lock(imageMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        platform::SleepMs(1);
        if (!lock.try_lock()) {
            return;
        }
    }
    const CrawlScope scope = port_.SelectedScope();
    if ((settings.dft.load() & kGroupWebPages) != 0 && scope != CrawlScope::AllLinked &&
        scope != CrawlScope::WithinDomain) {
        run_.SetTrackLastDownload(false);
    }
    if (localName.empty()) {
        return;
    }
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
    previousDownload_ = std::move(lastDownload_);
    lastDownload_ = path;
    if (settings.showLastImage.load() && PicturePathAccepted(path)) {
        newestImage_ = std::move(path);
        if (imagePreviewTime_.load() == 0) {
            imagePreviewTime_.store(platform::SteadyMilliseconds());
        }
    }
}

std::string App::LastDownloadPath() {
    std::lock_guard<std::mutex> lock(imageMutex_);
    return lastDownload_;
}

std::string App::PreviousDownloadPath() {
    std::lock_guard<std::mutex> lock(imageMutex_);
    return previousDownload_;
}

void App::NewestImageShown(bool decoded) {
    const std::uint64_t now = platform::SteadyMilliseconds();
    if (decoded) {
        imagePreviewTime_.store(now + 1500);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        lastShownImage_.clear();
    }
    imagePreviewTime_.store(now + 30000);
}

void App::SetShowLastImage(bool on) {
    settings.showLastImage.store(on);
    if (!on) {
        port_.ShowNewestImage(std::string());
        return;
    }
    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        shown = !lastShownImage_.empty();
    }
    if (shown) {
        imagePreviewTime_.store(platform::SteadyMilliseconds() + 3000);
        platform::SleepMs(50);
        run_.SetNewImageRequest(true);
    }
}

std::string App::NewestImage() {
    std::lock_guard<std::mutex> lock(imageMutex_);
    return newestImage_;
}

}  // namespace wg
