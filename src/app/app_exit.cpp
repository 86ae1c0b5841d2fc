// The exit protocol, Stop, the exit-after options and shutdown.
#include "app/app.h"
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
    run_.StopWorkers();
    WakeWorkers();
    port_.SetCrawlRunning(false);
    if (livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0) {
        NoteExitRequested();
    }
}

void App::ExitNow() {
    if (run_.WorkersStopping()) {
        NoteExitRequested();
        return;
    }
    run_.StopWorkers();
    WakeWorkers();
    optionFiles_->SetAlwaysSaveForThisRun(false);
    NoteExitRequested();
}

void App::PageWorkerEnded() {
    LowerLiveCount(livePageWorkers_);
    if (livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0) {
        ExitNow();
    }
}

void App::DownloadWorkerEnded() {
    LowerLiveCount(liveDownloadWorkers_);
    if (livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0) {
        ExitNow();
    }
}

void App::Stop(bool clearVisited) {
    run_.BeginStop(clearVisited);
    platform::SleepMs(timing_.stopSettleMs);
}

void App::StopAll() {
    run_.SetAbortTransfers(true);
    slots_.SetAllCancel(true);
    run_.BeginStop(false);
    platform::SleepMs(timing_.stopSettleMs);
}

void App::StopWithAbort(bool abort) {
    run_.SetAbortTransfers(abort);
    slots_.SetAllCancel(abort);
    if (abort) {
        Stop(true);
    }
}

void App::ResumeAfterStop() {
    run_.ResumeAfterStop();
    WakeWorkers();
}

void App::SetExitAfterThisDownload(bool flag) {
    if (flag == run_.ExitAfterThisDownload()) {
        if (flag) {
            RequestExit();
        }
        return;
    }
    run_.SetExitAfterThisDownload(flag);
    if (!flag) {
        run_.LetWorkersRun();
        StartExtraWorkers();
        return;
    }
    bool downloadsQueued = false;
    {
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        downloadsQueued = !toDownload.Empty();
    }
    if (downloadsQueued && slots_.CountBusy() > 0) {
        return;  // the download worker ends the crawl after its current file
    }
    RequestExit();
}

void App::SetExitAfterLastDownload(bool flag) {
    if (flag == run_.ExitAfterLastDownload()) {
        return;
    }
    run_.SetExitAfterLastDownload(flag);
    if (!flag) {
        run_.LetWorkersRun();
        StartExtraWorkers();
        return;
    }
    if (NoWorkLeft()) {
        RequestExit();
    }
}

void App::ReleaseLists() {
    const Timing& t = timing_;
    ShowStatus("Exiting: Releasing sites visited list...");
    // Workers that have not counted themselves out get a moment to do so.
    if (!AllWorkersEnded()) {
        platform::SleepMs(t.stopSettleMs);
    }
    {
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        visited.Clear([this] { AppendStatus("."); });
        ShowStatus("Exiting: Releasing Redirect file list...");
        std::lock_guard<std::mutex> redirects(redirectMutex_);
        redirectFiles_.clear();
    }
    {
        auto lock = queues_.Pages();
        RecordList& linksToGrubble = *lock;
        ShowStatus("Exiting: Releasing 'Links To Grubble' list...");
        linksToGrubble.Clear([this] { AppendStatus("."); });
    }
    dupes_->Release();
    {
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        ShowStatus("Exiting: Releasing 'To download' list...");
        toDownload.Clear();
    }
    {
        auto lock = queues_.History();
        UrlList& downloadHistory = lock->downloaded;
        UrlList& runDownloads = lock->thisRun;
        ShowStatus("Exiting: Releasing 'Sites to Ignore' list...");
        downloadHistory.Clear();
        runDownloads.Clear();
    }
    dirSearch_.Forget();
}

void App::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    // 1. Workers that still run end at their next look.
    run_.StopWorkers();
    WakeWorkers();
    // A build or update of the duplication data stops at the exit request.
    NoteExitRequested();
    dupes_->JoinThread();
    // 2.
    settings_.searchDlSubDirs.store(false);
    // 3. Without exit messages the window goes first.
    if (!settings_.showExitingMsgs.load()) {
        mainWindow_ = false;
    }
    // 4.-10. The lists, each under its own mutex.
    ReleaseLists();
    // 11. The window.
    mainWindow_ = false;
    // 12. The logs.
    DebugLogFile().Close();
    ErrorLogFile().Close();
}

}  // namespace wg
