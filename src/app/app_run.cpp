// Starting the workers, the main loop and leaving it.
#include "app/app_parts.h"
#include "app/crawl_state_file.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/thread_priority.h"
#include "util/error_texts.h"
#include "util/timing.h"

namespace wg {

void App::StartWorkers() {
    if (!parts_->mainWindow || parts_->run.WorkersStopping()) {
        return;
    }
    if (parts_->settings.numUrlThreads.load() == 0 &&
        parts_->settings.numDownloadThreads.load() > 1) {
        parts_->settings.numUrlThreads.store(2);
    }
    parts_->threads.StartAt(WorkerKind::Page, 0);
    for (int slot = 1; slot < parts_->settings.numUrlThreads.load() && slot < kMaxThreads; ++slot) {
        parts_->threads.StartAt(WorkerKind::Page, slot);
    }
    parts_->threads.StartAt(WorkerKind::Download, 0);
    for (int slot = 1; slot < parts_->settings.numDownloadThreads.load() && slot < kMaxThreads;
         ++slot) {
        parts_->threads.StartAt(WorkerKind::Download, slot);
    }
    // Workers apply the lowest priority themselves as they start (see the worker
    // loops), since a thread's id is known only once it runs.
}

void App::MainLoopStep() {
    const Timing& t = parts_->timing;
    // 1.-2. The newest-image preview.
    if (!parts_->run.NewImageRequest() && !parts_->run.Minimised() && !parts_->run.Paused()) {
        const std::string newest = parts_->lastFiles.TakeDueImage();
        if (!newest.empty() && parts_->settings.showLastImage.load()) {
            parts_->port.ShowNewestImage(newest);
        }
    }
    if (parts_->run.NewImageRequest() && !parts_->run.Minimised()) {
        parts_->run.SetNewImageRequest(false);
        const std::string newest = parts_->lastFiles.TakeNewestImage();
        if (!newest.empty()) {
            parts_->port.ShowNewestImage(newest);
        }
    }
    // 3. The window's pending messages.
    parts_->port.ProcessMessages();
    // 4. The periodic save.
    if (parts_->settings.saveEvery5.load() &&
        platform::SteadyMilliseconds() > parts_->counters.nextPeriodicSave.load() &&
        !parts_->port.QueueViewerOpen()) {
        bool work = false;
        {
            auto lock = parts_->queues.Pages();
            RecordList& linksToGrubble = *lock;
            work = !linksToGrubble.Empty();
        }
        if (!work) {
            auto lock = parts_->queues.Files();
            UrlList& toDownload = *lock;
            work = !toDownload.Empty();
        }
        if (work) {
            (void)parts_->stateFile->Save(false);
            parts_->counters.nextPeriodicSave.store(platform::SteadyMilliseconds() +
                                                    static_cast<std::uint64_t>(t.periodicSaveMs));
        }
    }
}

void App::Run() {
    StartWorkers();
    while (!parts_->run.ExitRequested()) {
        MainLoopStep();
        if (parts_->run.ExitRequested()) {
            break;
        }
        parts_->wakeups.WaitUntil([this] { return parts_->run.ExitRequested(); },
                                  parts_->timing.mainLoopMs);
    }
    LeaveMainLoop();
}

void App::LeaveMainLoop() {
    const Timing& t = parts_->timing;
    // 1. Wait a bounded time for the workers to count themselves out.
    if (parts_->livePageWorkers.load() > 0 || parts_->liveDownloadWorkers.load() > 0) {
        ShowStatus("Waiting for threads to exit...");
        for (int round = 0; round < t.exitWaitRounds; ++round) {
            if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
                break;
            }
            Workers().WakeWorkers();
            parts_->wakeups.WaitUntil([this] { return Workers().AllWorkersEnded(); }, t.exitWaitMs);
            parts_->port.ProcessMessages();
        }
    }
    // 2. Threads that have ended are joined now; a straggler is joined when the
    //    App is destroyed, after shutdown has told it to leave.
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        parts_->threads.JoinAll();
    }
    // 3.-4. The download history, and the state when it is saved at exit.
    ShowStatus("Saving settings...");
    Work().SaveHistory();
    const std::filesystem::path cookieFile = parts_->paths.programDir / kCookieFileName;
    if (parts_->cookies.Size() != 0 || platform::FileExists(cookieFile)) {
        (void)parts_->cookies.Save(cookieFile);
    }
    if (parts_->settings.alwaysSave.load()) {
        (void)parts_->stateFile->Save(true);
    }
    // 5. A last moment for a worker still counting itself out.
    parts_->wakeups.WaitUntil([this] { return Workers().AllWorkersEnded(); }, t.finalPauseMs);
}

void App::NoteExitRequested() {
    parts_->wakeups.Announce([this] { parts_->run.SetExitRequested(true); });
}

}  // namespace wg
