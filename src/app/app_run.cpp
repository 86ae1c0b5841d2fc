// Starting the workers, the main loop and leaving it.
#include "app/app.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/thread_priority.h"
#include "util/error_texts.h"
#include "util/timing.h"

namespace wg {

namespace {

void ApplyPriorityTo(const std::atomic<int>& threadId, int priority, const char* failureContext) {
    const int id = threadId.load();
    if (id == 0) {
        return;
    }
    const int err = platform::SetThreadPriorityOf(id, priority);
    if (err != 0) {
        platform::SetLastError(err);
        LogWindowsError(failureContext);
    }
}

constexpr const char* kPagePriorityFailed = "SetThreadPriority failed";
constexpr const char* kDownloadPriorityFailed =
    "SetThreadPriority failed for m_ulDownloadThreadHandle";

}  // namespace

void App::StartExtraWorkers() {
    // Tops the live workers up to the configured counts.
    threads_.StartExtra(WorkerKind::Page, settings_.numUrlThreads.load() - livePageWorkers_.load());
    threads_.StartExtra(WorkerKind::Download,
                        settings_.numDownloadThreads.load() - liveDownloadWorkers_.load());
}

void App::StartWorkers() {
    if (!mainWindow_ || run_.WorkersStopping()) {
        return;
    }
    if (settings_.numUrlThreads.load() == 0 && settings_.numDownloadThreads.load() > 1) {
        settings_.numUrlThreads.store(2);
    }
    threads_.StartAt(WorkerKind::Page, 0);
    for (int slot = 1; slot < settings_.numUrlThreads.load() && slot < kMaxThreads; ++slot) {
        threads_.StartAt(WorkerKind::Page, slot);
    }
    threads_.StartAt(WorkerKind::Download, 0);
    for (int slot = 1; slot < settings_.numDownloadThreads.load() && slot < kMaxThreads; ++slot) {
        threads_.StartAt(WorkerKind::Download, slot);
    }
    // Workers apply the lowest priority themselves as they start (see the worker
    // loops), since a thread's id is known only once it runs.
}

void App::ApplyPriority(int priority) {
    threads_.ForEachId([priority](int id, WorkerKind kind) {
        const int err = platform::SetThreadPriorityOf(id, priority);
        if (err != 0) {
            platform::SetLastError(err);
            LogWindowsError(kind == WorkerKind::Page ? kPagePriorityFailed
                                                     : kDownloadPriorityFailed);
        }
    });
}

void App::ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker) {
    threadId->store(platform::CurrentThreadId());
    if (settings_.priority.load() == -2) {
        ApplyPriorityTo(*threadId, -2, pageWorker ? kPagePriorityFailed : kDownloadPriorityFailed);
    }
}

void App::MainLoopStep() {
    const Timing& t = timing_;
    // 1.-2. The newest-image preview.
    if (!run_.NewImageRequest() && !run_.Minimised() && !run_.Paused()) {
        const std::string newest = lastFiles_.TakeDueImage();
        if (!newest.empty() && settings_.showLastImage.load()) {
            port_.ShowNewestImage(newest);
        }
    }
    if (run_.NewImageRequest() && !run_.Minimised()) {
        run_.SetNewImageRequest(false);
        const std::string newest = lastFiles_.TakeNewestImage();
        if (!newest.empty()) {
            port_.ShowNewestImage(newest);
        }
    }
    // 3. The window's pending messages.
    port_.ProcessMessages();
    // 4. The periodic save.
    if (settings_.saveEvery5.load() &&
        platform::SteadyMilliseconds() > counters_.nextPeriodicSave.load() &&
        !port_.QueueViewerOpen()) {
        bool work = false;
        {
            auto lock = queues_.Pages();
            RecordList& linksToGrubble = *lock;
            work = !linksToGrubble.Empty();
        }
        if (!work) {
            auto lock = queues_.Files();
            UrlList& toDownload = *lock;
            work = !toDownload.Empty();
        }
        if (work) {
            SavePeriodicState();
            counters_.nextPeriodicSave.store(platform::SteadyMilliseconds() +
                                             static_cast<std::uint64_t>(t.periodicSaveMs));
        }
    }
}

void App::Run() {
    StartWorkers();
    while (!run_.ExitRequested()) {
        MainLoopStep();
        if (run_.ExitRequested()) {
            break;
        }
        wakeups_.WaitUntil([this] { return run_.ExitRequested(); }, timing_.mainLoopMs);
    }
    LeaveMainLoop();
}

void App::LeaveMainLoop() {
    const Timing& t = timing_;
    // 1. Wait a bounded time for the workers to count themselves out.
    if (livePageWorkers_.load() > 0 || liveDownloadWorkers_.load() > 0) {
        ShowStatus("Waiting for threads to exit...");
        for (int round = 0; round < t.exitWaitRounds; ++round) {
            if (livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0) {
                break;
            }
            WakeWorkers();
            platform::SleepMs(t.exitWaitMs);
            port_.ProcessMessages();
        }
    }
    // 2. Threads that have ended are joined now; a straggler is joined when the
    //    App is destroyed, after shutdown has told it to leave.
    if (livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0) {
        threads_.JoinAll();
    }
    // 3.-4. The download history, and the state when it is saved at exit.
    ShowStatus("Saving settings...");
    SaveHistoryAtExit();
    SaveCookies();
    if (settings_.alwaysSave.load()) {
        SaveStateAtExit();
    }
    // 5. Not needed when every worker has ended.
    if (!AllWorkersEnded()) {
        platform::SleepMs(t.finalPauseMs);
    }
}

void App::NoteExitRequested() {
    wakeups_.Announce([this] { run_.SetExitRequested(true); });
}

bool App::AllWorkersEnded() const {
    return livePageWorkers_.load() <= 0 && liveDownloadWorkers_.load() <= 0;
}

void App::WakeWorkers() {
    wakeups_.WakeAll();
}

void App::WakeOneWorker(WorkerKind kind) {
    wakeups_.WakeOne(kind);
}

}  // namespace wg
