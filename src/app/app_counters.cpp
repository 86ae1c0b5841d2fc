// The five counter texts of the main window, the snapshot of the crawl
// the front ends show, its closing line, and a refused download directory.
#include <cerrno>
#include "app/app_parts.h"
#include "app/counter_text.h"
#include "app/queue_view.h"

#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/files.h"

namespace wg {

void App::RefreshCounterText(Counter counter, bool listEmptied) {
    std::int64_t value = 0;
    switch (counter) {
        case Counter::LinksToGrubble:
            value = static_cast<std::int64_t>(parts_->queues.Pages()->Size());
            break;
        case Counter::ToDownload:
            value = static_cast<std::int64_t>(parts_->queues.Files()->Size());
            break;
        case Counter::InProcess:
            value = parts_->counters.inProcessCount.load();
            break;
        case Counter::FilesDownloaded:
            value = parts_->counters.filesDownloaded.load();
            break;
        case Counter::UrlsScanned:
            value = parts_->counters.urlsScanned.load();
            break;
    }
    if (!parts_->mainWindow) {
        return;
    }
    // Workers never wait for the window: when its text lock is busy for 1 ms
    // the update is dropped, except that an empty queue and no item in
    // process are always shown (the last word of a crawl).
    const bool queueCounter = counter == Counter::LinksToGrubble || counter == Counter::ToDownload;
    std::unique_lock<std::mutex> lock(parts_->counterTextMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        platform::SleepMs(1);
        (void)lock.try_lock();
    }
    if (!lock.owns_lock()) {
        const bool mustShow = value == 0 && (queueCounter || counter == Counter::InProcess);
        if (!mustShow) {
            return;
        }
        lock.lock();
    }
    // A worker that read its value before another one wrote a newer text must
    // not put the older value back: the counters kept in atomics are read
    // again under the lock.
    switch (counter) {
        case Counter::InProcess:
            value = parts_->counters.inProcessCount.load();
            break;
        case Counter::FilesDownloaded:
            value = parts_->counters.filesDownloaded.load();
            break;
        case Counter::UrlsScanned:
            value = parts_->counters.urlsScanned.load();
            break;
        default:
            break;
    }
    parts_->port.SetCounterText(counter, FormatCounterText(counter, value));
    if (counter == Counter::ToDownload && listEmptied) {
        parts_->port.QueueViewerEmptied(Counter::ToDownload);
    }
}

CrawlSnapshot App::Snapshot() {
    CrawlSnapshot shot;
    const QueueCounts queued = parts_->queues.Counts();
    shot.pagesQueued = queued.pages;
    shot.filesQueued = queued.files;
    shot.inProcess = parts_->counters.inProcessCount.load();
    shot.filesDownloaded = parts_->counters.filesDownloaded.load();
    shot.urlsScanned = parts_->counters.urlsScanned.load();
    shot.paused = parts_->run.Paused();
    shot.exitAfterLastDownload = parts_->run.ExitAfterLastDownload();
    shot.inProcessLines = InProcessLines(parts_->slots);
    shot.tally = parts_->tally.Read(platform::SteadyMilliseconds());
    shot.stateSaveFailed = parts_->counters.stateSaveFailed.load();
    return shot;
}

void App::DiskWriteFailed(int error, std::string_view localName) {
    // A refusal of the download directory itself (seen as a directory that
    // could not be made, or a file that could not be created) stops everything
    // as a full disk does; one of a single file or sub-directory fails that
    // file only.
    int directoryError = 0;
    if (error == EACCES || error == EPERM || error == ENOENT) {
        directoryError = platform::DirectoryWritable(parts_->paths.downloadDir);
    }
    const std::string reason = platform::ErrorText(directoryError != 0 ? directoryError : error);
    ShowStatus("Could not write \"" + std::string(localName) + "\": " + reason);
    const bool wholeDisk =
        error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO || directoryError != 0;
    if (wholeDisk && parts_->run.MarkDiskFull()) {
        parts_->diskFullText.Set("Disk full: \"" + parts_->paths.downloadDir.string() +
                                 "\" cannot be written (" + reason +
                                 "). The crawl stops; the queues are kept.");
        parts_->diskStopPending.store(true);
        ShowStatus(parts_->diskFullText.Get());
    }
}

std::string App::CrawlSummary() const {
    return FormatCrawlSummary(parts_->tally.Read(platform::SteadyMilliseconds()));
}

}  // namespace wg
