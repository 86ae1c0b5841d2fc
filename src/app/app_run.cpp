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

void App::StartPageWorker(int handleSlot) {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    auto idx = static_cast<std::size_t>(handleSlot);
    if (pageThreads_[idx].joinable()) {
        // An earlier worker (perhaps still running after a lowered count) keeps
        // its thread until the end.
        extraThreads_.push_back(std::move(pageThreads_[idx]));
    }
    pageThreadIds_[idx].store(0);
    pageThreads_[idx] = StartWorkerThread(WorkerKind::Page, &pageThreadIds_[idx]);
}

void App::StartDownloadWorker(int handleSlot) {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    auto idx = static_cast<std::size_t>(handleSlot);
    if (downloadThreads_[idx].joinable()) {
        extraThreads_.push_back(std::move(downloadThreads_[idx]));
    }
    downloadThreadIds_[idx].store(0);
    downloadThreads_[idx] = StartWorkerThread(WorkerKind::Download, &downloadThreadIds_[idx]);
}

void App::StartExtraWorkers() {
    // Tops the live workers up to the configured counts. These workers are
    // kept apart from the handle arrays.
    std::lock_guard<std::mutex> lock(threadsMutex_);
    const int pagesToStart = settings.numUrlThreads.load() - livePageWorkers_.load();
    const int downloadsToStart = settings.numDownloadThreads.load() - liveDownloadWorkers_.load();
    for (int i = 0; i < pagesToStart; ++i) {
        extraThreadIds_.emplace_back(0);
        extraThreads_.push_back(StartWorkerThread(WorkerKind::Page, &extraThreadIds_.back()));
    }
    for (int i = 0; i < downloadsToStart; ++i) {
        extraThreadIds_.emplace_back(0);
        extraThreads_.push_back(StartWorkerThread(WorkerKind::Download, &extraThreadIds_.back()));
    }
}

void App::StartWorkers() {
    if (!mainWindow_ || run_.WorkersStopping()) {
        return;
    }
    if (settings.numUrlThreads.load() == 0 && settings.numDownloadThreads.load() > 1) {
        settings.numUrlThreads.store(2);
    }
    StartPageWorker(0);
    for (int slot = 1; slot < settings.numUrlThreads.load() && slot < kMaxThreads; ++slot) {
        StartPageWorker(slot);
    }
    StartDownloadWorker(0);
    for (int slot = 1; slot < settings.numDownloadThreads.load() && slot < kMaxThreads; ++slot) {
        StartDownloadWorker(slot);
    }
    // Workers apply the lowest priority themselves as they start (see the worker
    // loops), since a thread's id is known only once it runs.
}

void App::ApplyPriority(int priority) {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    for (const auto& id : pageThreadIds_) {
        ApplyPriorityTo(id, priority, kPagePriorityFailed);
    }
    for (const auto& id : downloadThreadIds_) {
        ApplyPriorityTo(id, priority, kDownloadPriorityFailed);
    }
    for (const auto& id : extraThreadIds_) {
        ApplyPriorityTo(id, priority, kPagePriorityFailed);
    }
}

void App::ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker) {
    threadId->store(platform::CurrentThreadId());
    if (settings.priority.load() == -2) {
        ApplyPriorityTo(*threadId, -2, pageWorker ? kPagePriorityFailed : kDownloadPriorityFailed);
    }
}

void App::MainLoopStep() {
    const Timing& t = timing_;
    // 1.-2. The newest-image preview.
    if (!run_.NewImageRequest() && !run_.Minimised() && imagePreviewTime_.load() != 0 &&
        platform::SteadyMilliseconds() > imagePreviewTime_.load() + 1000 && !run_.Paused()) {
        std::string newest;
        {
            std::lock_guard<std::mutex> lock(imageMutex_);
            if (newestImage_ != lastShownImage_ && PicturePathAccepted(newestImage_)) {
                newest = newestImage_;
                lastShownImage_ = newestImage_;
            }
        }
        if (!newest.empty() && settings.showLastImage.load()) {
            port_.ShowNewestImage(newest);
        }
    }
    if (run_.NewImageRequest() && !run_.Minimised()) {
        run_.SetNewImageRequest(false);
        std::string newest;
        {
            std::lock_guard<std::mutex> lock(imageMutex_);
            newest = newestImage_;
            lastShownImage_ = newestImage_;
        }
        if (!newest.empty()) {
            port_.ShowNewestImage(newest);
        }
    }
    // 3. The window's pending messages.
    port_.ProcessMessages();
    // 4. The periodic save.
    if (settings.saveEvery5.load() && platform::SteadyMilliseconds() > nextPeriodicSave.load() &&
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
            nextPeriodicSave.store(platform::SteadyMilliseconds() +
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
        JoinAllThreads();
    }
    // 3.-4. The download history, and the state when it is saved at exit.
    ShowStatus("Saving settings...");
    SaveHistoryAtExit();
    SaveCookies();
    if (settings.alwaysSave.load()) {
        SaveStateAtExit();
    }
    // 5. Not needed when every worker has ended.
    if (!AllWorkersEnded()) {
        platform::SleepMs(t.finalPauseMs);
    }
}

void App::JoinAllThreads() {
    std::vector<std::thread> toJoin;
    {
        std::lock_guard<std::mutex> lock(threadsMutex_);
        for (auto& th : pageThreads_) {
            if (th.joinable()) {
                toJoin.push_back(std::move(th));
            }
        }
        for (auto& th : downloadThreads_) {
            if (th.joinable()) {
                toJoin.push_back(std::move(th));
            }
        }
        for (auto& th : extraThreads_) {
            if (th.joinable()) {
                toJoin.push_back(std::move(th));
            }
        }
        extraThreads_.clear();
    }
    for (auto& th : toJoin) {
        th.join();
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
