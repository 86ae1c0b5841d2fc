// The last files the download workers finished ("Open Last Download" and its
// fallback) and the newest picture among them, which the window's preview
// shows a little after it arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "settings/app_settings.h"

namespace wg {

class LastDownloads {
public:
    explicit LastDownloads(const AppSettings& settings) : settings_(settings) {}

    // Records a finished file (its transaction name, made absolute) and,
    // when it is a picture and the preview is on, the newest image. One
    // worker at a time; a worker that would wait passes.
    void Note(std::string_view localName);
    // Whether the preview's picture types accept a path.
    bool PicturePathAccepted(std::string_view path) const;
    // What "Open Last Download" opens, and its fallback (empty when none).
    std::string LastPath();
    std::string PreviousPath();

    // The newest picture a download brought, and whether the preview waits to show it.
    std::string NewestImage();
    bool PreviewPending() const { return previewTime_.load() != 0; }
    // A picture the preview has not shown yet, once its time has come; empty when there is none. It
    // counts as shown from here on.
    std::string TakeDueImage();
    // The newest picture, shown again (a restored window); empty when none.
    std::string TakeNewestImage();
    // The preview's report on the picture it was handed: shown, or not
    // decodable (then no picture is tried for 30 s).
    void ImageShown(bool decoded);
    // The preview was turned on again: true when it had shown a picture,
    // which then comes back after `delayMs`.
    bool ShowAgainAfter(std::uint64_t delayMs);

private:
    const AppSettings& settings_;
    std::atomic_flag noteBusy_ = ATOMIC_FLAG_INIT;
    std::mutex mutex_;  // the paths below
    std::string last_;
    std::string previous_;
    std::string newestImage_;
    std::string lastShownImage_;
    std::atomic<std::uint64_t> previewTime_{0};
};

}  // namespace wg
