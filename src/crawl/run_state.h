// Where a run stands: whether the workers go on, a Stop on its way, the pause,
// held work, a full disk and the exit-after choices. Any thread reads and
// changes it; each change is one atomic step, so a worker never sees half a
// transition of one flag. Transitions that set several flags together (a
// Stop, the Resume after it) are named here, so that every caller sets the
// same ones.
#pragma once

#include <atomic>

namespace wg {

class RunState {
public:
    // ---- the workers ----
    // While set, every worker leaves its loop after its current item.
    bool WorkersStopping() const { return workersStop_.load(); }
    void StopWorkers() { workersStop_.store(true); }
    void LetWorkersRun() { workersStop_.store(false); }

    // ---- Stop ----
    bool StopRequested() const { return stopRequested_.load(); }
    // The workers put their items down and pause; the queues are emptied
    // when the last item is down. `clearVisited` empties "Sites Visited" too.
    void BeginStop(bool clearVisited) {
        stopRequested_.store(true);
        paused_.store(true);
        clearVisitedOnStop_.store(clearVisited);
    }
    // The Stop was reported ("Stopped.").
    void EndStop() { stopRequested_.store(false); }
    // Go on after a Stop: neither stopping nor paused.
    void ResumeAfterStop() {
        stopRequested_.store(false);
        paused_.store(false);
    }
    // True once for a Stop that was to empty "Sites Visited".
    bool TakeClearVisited() { return clearVisitedOnStop_.exchange(false); }
    bool ClearVisitedOnStop() const { return clearVisitedOnStop_.load(); }
    // Transfers in hand are broken off, not finished.
    bool AbortingTransfers() const { return abortTransfers_.load(); }
    void SetAbortTransfers(bool on) { abortTransfers_.store(on); }

    // ---- pause and held work ----
    bool Paused() const { return paused_.load(); }
    void SetPaused(bool on) { paused_.store(on); }
    // Pauses; true when the run was paused already.
    bool PauseAndTell() { return paused_.exchange(true); }
    // Held work: no worker takes a new item (a state file or the duplication
    // data being read, an update check).
    bool WorkHeld() const { return holdWork_.load(); }
    void SetWorkHeld(bool on) { holdWork_.store(on); }
    // Holds work; true when it was held already.
    bool HoldWorkAndTell() { return holdWork_.exchange(true); }
    // The download directory cannot be written: no new item is taken.
    bool DiskFull() const { return diskFull_.load(); }
    void SetDiskFull(bool on) { diskFull_.store(on); }
    // Marks the disk full; true for the first mark only.
    bool MarkDiskFull() { return !diskFull_.exchange(true); }
    // Links found on pages are no longer queued.
    bool StopAddingLinks() const { return stopAddingLinks_.load(); }
    void SetStopAddingLinks(bool on) { stopAddingLinks_.store(on); }

    // ---- the exit-after choices and the exit ----
    bool PauseAfterDownloads() const { return pauseAfterDownloads_.load(); }
    void SetPauseAfterDownloads(bool on) { pauseAfterDownloads_.store(on); }
    bool ExitAfterThisDownload() const { return exitAfterThisDownload_.load(); }
    void SetExitAfterThisDownload(bool on) { exitAfterThisDownload_.store(on); }
    bool ExitAfterLastDownload() const { return exitAfterLastDownload_.load(); }
    void SetExitAfterLastDownload(bool on) { exitAfterLastDownload_.store(on); }
    // The main loop is to end.
    bool ExitRequested() const { return exitRequested_.load(); }
    void SetExitRequested(bool on) { exitRequested_.store(on); }

    // ---- the crawl and the user's switches ----
    // A crawl was started this run ("Go Fetch" or the wizard).
    bool CrawlStarted() const { return crawlStarted_.load(); }
    void SetCrawlStarted(bool on) { crawlStarted_.store(on); }
    // The crawl is a single file the user asked for.
    bool DownloadingUserFile() const { return downloadingUserFile_.load(); }
    void SetDownloadingUserFile(bool on) { downloadingUserFile_.store(on); }
    // Every finished file becomes the last download (set by Go).
    bool TrackLastDownload() const { return trackLastDownload_.load(); }
    void SetTrackLastDownload(bool on) { trackLastDownload_.store(on); }
    // Pages taken are not remembered as visited.
    bool StopAddingHistory() const { return stopAddingHistory_.load(); }
    void SetStopAddingHistory(bool on) { stopAddingHistory_.store(on); }
    // A fetched update waits for the run to end.
    bool UpdatePending() const { return updatePending_.load(); }
    void SetUpdatePending(bool on) { updatePending_.store(on); }

    // ---- files on disk ----
    // The state file in use was loaded (a Stop asks whether to delete it).
    bool StateLoaded() const { return stateLoaded_.load(); }
    void SetStateLoaded(bool on) { stateLoaded_.store(on); }
    // The lists changed since the state file was last written.
    bool StateFileDirty() const { return stateFileDirty_.load(); }
    void SetStateFileDirty(bool on) { stateFileDirty_.store(on); }
    // True once after a change: the next periodic save writes.
    bool TakeStateFileDirty() { return stateFileDirty_.exchange(false); }
    // The first save of the run still makes its backup; true once.
    bool TakeBackupPending() { return backupPending_.exchange(false); }
    // The download history was read.
    bool HistoryLoaded() const { return historyLoaded_.load(); }
    void SetHistoryLoaded(bool on) { historyLoaded_.store(on); }

    // ---- the window ----
    // The preview asked for the newest picture.
    bool NewImageRequest() const { return newImageRequest_.load(); }
    void SetNewImageRequest(bool on) { newImageRequest_.store(on); }
    // The main window is minimised (the preview waits).
    bool Minimised() const { return minimised_.load(); }
    void SetMinimised(bool on) { minimised_.store(on); }

    // One update check at a time: false when one runs already.
    bool BeginUpdateCheck() { return !updateCheck_.exchange(true); }
    void EndUpdateCheck() { updateCheck_.store(false); }

private:
    std::atomic<bool> workersStop_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> clearVisitedOnStop_{false};
    std::atomic<bool> abortTransfers_{false};
    std::atomic<bool> holdWork_{false};
    std::atomic<bool> diskFull_{false};
    std::atomic<bool> stopAddingLinks_{false};
    std::atomic<bool> pauseAfterDownloads_{false};
    std::atomic<bool> exitAfterThisDownload_{false};
    std::atomic<bool> exitAfterLastDownload_{false};
    std::atomic<bool> exitRequested_{false};
    std::atomic<bool> updateCheck_{false};
    std::atomic<bool> crawlStarted_{false};
    std::atomic<bool> downloadingUserFile_{false};
    std::atomic<bool> trackLastDownload_{false};
    std::atomic<bool> stopAddingHistory_{false};
    std::atomic<bool> updatePending_{false};
    std::atomic<bool> stateLoaded_{false};
    std::atomic<bool> stateFileDirty_{false};
    std::atomic<bool> backupPending_{true};
    std::atomic<bool> historyLoaded_{false};
    std::atomic<bool> newImageRequest_{false};
    std::atomic<bool> minimised_{false};
};

}  // namespace wg
