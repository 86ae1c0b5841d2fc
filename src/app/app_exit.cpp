// The exit protocol, Stop, the exit-after options and shutdown.
#include "app/app_parts.h"
#include "app/option_files.h"
#include "platform/clock.h"
#include "util/log_file.h"
#include "util/timing.h"

namespace wg {

namespace {

// Lowers a live count that is above 0; true when it was lowered.
bool LowerLiveCount(std::atomic<int>& count) {
    int value = count.load();
    while (value > 0) {
        if (count.compare_exchange_weak(value, value - 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void App::RequestExit() {
    parts_->run.StopWorkers();
    WakeWorkers();
    parts_->port.SetCrawlRunning(false);
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        NoteExitRequested();
    }
}

void App::ExitNow() {
    if (parts_->run.WorkersStopping()) {
        NoteExitRequested();
        return;
    }
    parts_->run.StopWorkers();
    WakeWorkers();
    parts_->optionFiles->SetAlwaysSaveForThisRun(false);
    NoteExitRequested();
}

void App::PageWorkerEnded() {
    LowerLiveCount(parts_->livePageWorkers);
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        ExitNow();
    }
}

void App::DownloadWorkerEnded() {
    LowerLiveCount(parts_->liveDownloadWorkers);
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        ExitNow();
    }
}

void App::Stop(bool clearVisited) {
    parts_->run.BeginStop(clearVisited);
    platform::SleepMs(parts_->timing.stopSettleMs);
}

void App::StopAll() {
    parts_->run.SetAbortTransfers(true);
    parts_->slots.SetAllCancel(true);
    parts_->run.BeginStop(false);
    platform::SleepMs(parts_->timing.stopSettleMs);
}

void App::StopWithAbort(bool abort) {
    parts_->run.SetAbortTransfers(abort);
    parts_->slots.SetAllCancel(abort);
    if (abort) {
        Stop(true);
    }
}

void App::ResumeAfterStop() {
    parts_->run.ResumeAfterStop();
    WakeWorkers();
}

void App::SetExitAfterThisDownload(bool flag) {
    if (flag == parts_->run.ExitAfterThisDownload()) {
        if (flag) {
            RequestExit();
        }
        return;
    }
    parts_->run.SetExitAfterThisDownload(flag);
    if (!flag) {
        parts_->run.LetWorkersRun();
        StartExtraWorkers();
        return;
    }
    bool downloadsQueued = false;
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        downloadsQueued = !toDownload.Empty();
    }
    if (downloadsQueued && parts_->slots.CountBusy() > 0) {
        return;  // the download worker ends the crawl after its current file
    }
    RequestExit();
}

void App::SetExitAfterLastDownload(bool flag) {
    if (flag == parts_->run.ExitAfterLastDownload()) {
        return;
    }
    parts_->run.SetExitAfterLastDownload(flag);
    if (!flag) {
        parts_->run.LetWorkersRun();
        StartExtraWorkers();
        return;
    }
    if (NoWorkLeft()) {
        RequestExit();
    }
}

void App::ReleaseLists() {
    const Timing& t = parts_->timing;
    ShowStatus("Exiting: Releasing sites visited list...");
    // Workers that have not counted themselves out get a moment to do so.
    if (!AllWorkersEnded()) {
        platform::SleepMs(t.stopSettleMs);
    }
    {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        visited.Clear([this] { AppendStatus("."); });
        ShowStatus("Exiting: Releasing Redirect file list...");
        std::lock_guard<std::mutex> redirects(parts_->redirectMutex);
        parts_->redirectFiles.clear();
    }
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        ShowStatus("Exiting: Releasing 'Links To Grubble' list...");
        linksToGrubble.Clear([this] { AppendStatus("."); });
    }
    parts_->dupes->Release();
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        ShowStatus("Exiting: Releasing 'To download' list...");
        toDownload.Clear();
    }
    {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        UrlList& runDownloads = lock->thisRun;
        ShowStatus("Exiting: Releasing 'Sites to Ignore' list...");
        downloadHistory.Clear();
        runDownloads.Clear();
    }
    parts_->dirSearch.Forget();
}

void App::Shutdown() {
    if (parts_->shutDown) {
        return;
    }
    parts_->shutDown = true;
    // 1. Workers that still run end at their next look.
    parts_->run.StopWorkers();
    WakeWorkers();
    // A build or update of the duplication data stops at the exit request.
    NoteExitRequested();
    parts_->dupes->JoinThread();
    // 2.
    parts_->settings.searchDlSubDirs.store(false);
    // 3. Without exit messages the window goes first.
    if (!parts_->settings.showExitingMsgs.load()) {
        parts_->mainWindow = false;
    }
    // 4.-10. The lists, each under its own mutex.
    ReleaseLists();
    // 11. The window.
    parts_->mainWindow = false;
    // 12. The logs.
    DebugLogFile().Close();
    ErrorLogFile().Close();
}

}  // namespace wg
