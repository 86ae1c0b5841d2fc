// The exit protocol, Stop, the exit-after options and shutdown.
#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/option_files.h"
#include "app/worker_pool.h"
#include "platform/clock.h"
#include "util/log_file.h"
#include "util/timing.h"

namespace wg {

namespace {

// The lists, each emptied under its own lock, with a status line for each.
void ReleaseLists(App& app, AppParts& parts) {
    const Timing& t = parts.timing;
    app.ShowStatus("Exiting: Releasing sites visited list...");
    // Workers that have not counted themselves out get a moment to do so.
    parts.wakeups.WaitUntil([&app] { return app.Workers().AllWorkersEnded(); }, t.stopSettleMs);
    {
        auto lock = parts.queues.Visited();
        RecordList& visited = *lock;
        visited.Clear([&app] { app.AppendStatus("."); });
        app.ShowStatus("Exiting: Releasing Redirect file list...");
        std::lock_guard<std::mutex> redirects(parts.redirectMutex);
        parts.redirectFiles.clear();
    }
    {
        auto lock = parts.queues.Pages();
        RecordList& linksToGrubble = *lock;
        app.ShowStatus("Exiting: Releasing 'Links To Grubble' list...");
        linksToGrubble.Clear([&app] { app.AppendStatus("."); });
    }
    parts.dupes->Release();
    {
        auto lock = parts.queues.Files();
        UrlList& toDownload = *lock;
        app.ShowStatus("Exiting: Releasing 'To download' list...");
        toDownload.Clear();
    }
    {
        auto lock = parts.queues.History();
        UrlList& downloadHistory = lock->downloaded;
        UrlList& runDownloads = lock->thisRun;
        app.ShowStatus("Exiting: Releasing 'Sites to Ignore' list...");
        downloadHistory.Clear();
        runDownloads.Clear();
    }
    parts.dirSearch.Forget();
}

}  // namespace

void App::Shutdown() {
    if (parts_->shutDown) {
        return;
    }
    parts_->shutDown = true;
    // 1. Workers that still run end at their next look.
    parts_->run.StopWorkers();
    Workers().WakeWorkers();
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
    ReleaseLists(*this, *parts_);
    // 11. The window.
    parts_->mainWindow = false;
    // 12. The logs.
    DebugLogFile().Close();
    ErrorLogFile().Close();
}

}  // namespace wg
