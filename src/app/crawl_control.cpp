// Stop, pause and resume, the exit-after choices and the exit request.
#include "app/crawl_control.h"
#include "app/app_parts.h"
#include "app/option_files.h"
#include "app/worker_pool.h"

namespace wg {

void CrawlControl::RequestExit() {
    parts_->run.StopWorkers();
    app_.Workers().WakeWorkers();
    parts_->port.SetCrawlRunning(false);
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        app_.NoteExitRequested();
    }
}

void CrawlControl::ExitNow() {
    if (parts_->run.WorkersStopping()) {
        app_.NoteExitRequested();
        return;
    }
    parts_->run.StopWorkers();
    app_.Workers().WakeWorkers();
    parts_->optionFiles->SetAlwaysSaveForThisRun(false);
    app_.NoteExitRequested();
}

// The worker that puts the last item down ends the Stop; a Stop with no item
// in hand stays requested until work is taken again.
void CrawlControl::WaitForStopEnd() {
    parts_->wakeups.WaitUntil([this] { return !parts_->run.StopRequested(); },
                              parts_->timing.stopSettleMs);
}

void CrawlControl::Stop(bool clearVisited) {
    parts_->run.BeginStop(clearVisited);
    WaitForStopEnd();
}

void CrawlControl::StopAll() {
    parts_->run.SetAbortTransfers(true);
    parts_->slots.SetAllCancel(true);
    parts_->run.BeginStop(false);
    WaitForStopEnd();
}

void CrawlControl::StopWithAbort(bool abort) {
    parts_->run.SetAbortTransfers(abort);
    parts_->slots.SetAllCancel(abort);
    if (abort) {
        Stop(true);
    }
}

void CrawlControl::ResumeAfterStop() {
    parts_->run.ResumeAfterStop();
    app_.Workers().WakeWorkers();
}

void CrawlControl::SetExitAfterThisDownload(bool flag) {
    if (flag == parts_->run.ExitAfterThisDownload()) {
        if (flag) {
            RequestExit();
        }
        return;
    }
    parts_->run.SetExitAfterThisDownload(flag);
    if (!flag) {
        parts_->run.LetWorkersRun();
        app_.Workers().StartExtraWorkers();
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

void CrawlControl::SetExitAfterLastDownload(bool flag) {
    if (flag == parts_->run.ExitAfterLastDownload()) {
        return;
    }
    parts_->run.SetExitAfterLastDownload(flag);
    if (!flag) {
        parts_->run.LetWorkersRun();
        app_.Workers().StartExtraWorkers();
        return;
    }
    if (app_.Workers().NoWorkLeft()) {
        RequestExit();
    }
}

void CrawlControl::ToggleStopAddingHistory() {
    parts_->run.SetStopAddingHistory(!parts_->run.StopAddingHistory());
    parts_->port.SetStopAddingHistoryChecked(parts_->run.StopAddingHistory());
}

void CrawlControl::TogglePause() {
    const bool paused = !parts_->run.Paused();
    parts_->run.SetPaused(paused);
    parts_->port.SetPauseState(paused);
    if (!paused) {
        app_.Workers().WakeWorkers();
    }
}

void CrawlControl::SetPauseAfterDownloads(bool flag) {
    parts_->run.SetPauseAfterDownloads(flag);
    if (flag) {
        app_.ShowStatus("Will pause when 'To Download' is empty...");
    } else {
        app_.Workers().WakeWorkers();
    }
}

void CrawlControl::PauseWhenDownloadsEmpty() {
    if (!parts_->mainWindow) {
        parts_->run.SetPaused(true);
        parts_->run.SetPauseAfterDownloads(false);
        return;
    }
    parts_->counters.inProcessCount.store(static_cast<std::uint32_t>(parts_->slots.CountBusy()));
    app_.RefreshCounterText(Counter::InProcess);
    TogglePause();
    if (parts_->run.PauseAfterDownloads()) {
        SetPauseAfterDownloads(false);
    }
}

}  // namespace wg
