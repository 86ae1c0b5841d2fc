// The five counter texts of the main window, the snapshot of the crawl
// the front ends show, its closing line, and a refused download directory.
#include <cerrno>
#include "app/app.h"
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
            value = static_cast<std::int64_t>(queues_.Pages()->Size());
            break;
        case Counter::ToDownload:
            value = static_cast<std::int64_t>(queues_.Files()->Size());
            break;
        case Counter::InProcess:
            value = counters_.inProcessCount.load();
            break;
        case Counter::FilesDownloaded:
            value = counters_.filesDownloaded.load();
            break;
        case Counter::UrlsScanned:
            value = counters_.urlsScanned.load();
            break;
    }
    if (!mainWindow_) {
        return;
    }
    // Workers never wait for the window: when its text lock is busy for 1 ms
    // the update is dropped, except that an empty queue and no item in
    // process are always shown (the last word of a crawl).
    const bool queueCounter = counter == Counter::LinksToGrubble || counter == Counter::ToDownload;
    std::unique_lock<std::mutex> lock(counterTextMutex_, std::try_to_lock);
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
            value = counters_.inProcessCount.load();
            break;
        case Counter::FilesDownloaded:
            value = counters_.filesDownloaded.load();
            break;
        case Counter::UrlsScanned:
            value = counters_.urlsScanned.load();
            break;
        default:
            break;
    }
    port_.SetCounterText(counter, FormatCounterText(counter, value));
    if (counter == Counter::ToDownload && listEmptied) {
        port_.QueueViewerEmptied(Counter::ToDownload);
    }
}

CrawlSnapshot App::Snapshot() {
    CrawlSnapshot shot;
    const QueueCounts queued = queues_.Counts();
    shot.pagesQueued = queued.pages;
    shot.filesQueued = queued.files;
    shot.inProcess = counters_.inProcessCount.load();
    shot.filesDownloaded = counters_.filesDownloaded.load();
    shot.urlsScanned = counters_.urlsScanned.load();
    shot.paused = run_.Paused();
    shot.exitAfterLastDownload = run_.ExitAfterLastDownload();
    shot.inProcessLines = InProcessLines(slots_);
    shot.tally = tally_.Read(platform::SteadyMilliseconds());
    shot.stateSaveFailed = counters_.stateSaveFailed.load();
    return shot;
}

void App::DiskWriteFailed(int error, std::string_view localName) {
    // A refusal of the download directory itself (seen as a directory that
    // could not be made, or a file that could not be created) stops everything
    // as a full disk does; one of a single file or sub-directory fails that
    // file only.
    int directoryError = 0;
    if (error == EACCES || error == EPERM || error == ENOENT) {
        directoryError = platform::DirectoryWritable(paths_.downloadDir);
    }
    const std::string reason = platform::ErrorText(directoryError != 0 ? directoryError : error);
    ShowStatus("Could not write \"" + std::string(localName) + "\": " + reason);
    const bool wholeDisk =
        error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO || directoryError != 0;
    if (wholeDisk && run_.MarkDiskFull()) {
        diskFullText_.Set("Disk full: \"" + paths_.downloadDir.string() + "\" cannot be written (" +
                          reason + "). The crawl stops; the queues are kept.");
        diskStopPending_.store(true);
        ShowStatus(diskFullText_.Get());
    }
}

std::string App::CrawlSummary() const {
    return FormatCrawlSummary(tally_.Read(platform::SteadyMilliseconds()));
}

}  // namespace wg
