// The page and download worker threads, and the steps every item goes through.
#include <mutex>

#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"
#include "crawl/page_worker.h"
#include "download/download_worker.h"
#include "platform/error_text.h"
#include "platform/thread_priority.h"
#include "platform/threads.h"
#include "util/error_texts.h"

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

// The App as its page workers see it.
class AppPageWorker final : public PageWorkerContext {
public:
    AppPageWorker(App& app, std::atomic<int>* threadId) : app_(app), threadId_(threadId) {}

    const RunState& Run() const override { return app_.State(); }
    WorkerWakeups& Wakeups() override { return app_.parts_->wakeups; }
    int IdleMs() const override { return app_.Timings().pageIdleMs; }
    int Begin() override {
        const int slot = app_.parts_->slots.Acquire();
        if (slot >= 0) {
            app_.parts_->livePageWorkers.fetch_add(1);
            app_.Workers().ApplyStartPriority(threadId_, true);
        }
        return slot;
    }
    bool WantsMorePages() override { return app_.Workers().AllowMorePages(); }
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord) override {
        return app_.Work().TakeNextPage(slot, keepRecord);
    }
    void ItemStarted(const std::string& url) override { app_.Workers().ItemStarted(&url); }
    void ProcessPage(int slot, UrlRecord& record) override {
        if (app_.Hooks().pageHandler) {
            (void)app_.Hooks().pageHandler(slot, record);
        }
    }
    void ItemFinished(int slot) override {
        app_.Work().NoteHeldPage(slot, nullptr);
        app_.Workers().ItemFinished(slot);
    }
    void PageDone(const UrlRecord& record) override { app_.Work().PageDone(record); }
    void End(int slot) override {
        app_.Fetcher().DropPageConnection(slot);
        app_.Fetcher().DropDownloadConnection(slot);
        app_.Workers().PageWorkerEnded();
    }

private:
    App& app_;
    std::atomic<int>* threadId_;
};

// The App as its download workers see it.
class AppDownloadWorker final : public DownloadWorkerContext {
public:
    AppDownloadWorker(App& app, std::atomic<int>* threadId) : app_(app), threadId_(threadId) {}

    const RunState& Run() const override { return app_.State(); }
    WorkerWakeups& Wakeups() override { return app_.parts_->wakeups; }
    int IdleMs() const override { return app_.Timings().downloadIdleMs; }
    int Begin() override {
        const int slot = app_.parts_->slots.Acquire();
        if (slot >= 0) {
            app_.parts_->liveDownloadWorkers.fetch_add(1);
            app_.Workers().ApplyStartPriority(threadId_, false);
        }
        return slot;
    }
    std::optional<std::string> TakeNextDownload(int slot) override {
        return app_.Work().TakeNextDownload(slot);
    }
    bool HandPageToPageWorker(int slot, const std::string& url) override {
        return app_.Fetcher().HandPageToPageWorker(slot, url);
    }
    void ItemStarted(const std::string* url) override { app_.Workers().ItemStarted(url); }
    bool Download(int slot, const std::string& url) override {
        const bool succeeded =
            app_.Hooks().downloadHandler ? app_.Hooks().downloadHandler(slot, url) : true;
        app_.Work().NoteHeldDownload(slot, {});
        return succeeded;
    }
    void ItemFinished(int slot) override { app_.Workers().ItemFinished(slot); }
    void End(int slot) override {
        app_.Fetcher().DropDownloadConnection(slot);
        app_.parts_->slots.Release(slot);
        app_.Workers().DownloadWorkerEnded();
    }

private:
    App& app_;
    std::atomic<int>* threadId_;
};

int WorkerPool::LivePageWorkers() const {
    return parts_->livePageWorkers.load();
}

int WorkerPool::LiveDownloadWorkers() const {
    return parts_->liveDownloadWorkers.load();
}

// A worker counts itself out under the wake-ups' lock, so that the exit's
// waits for the last worker return as soon as it has ended.
void WorkerPool::PageWorkerEnded() {
    parts_->wakeups.Announce([this] { LowerLiveCount(parts_->livePageWorkers); });
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        app_.Control().ExitNow();
    }
}

void WorkerPool::DownloadWorkerEnded() {
    parts_->wakeups.Announce([this] { LowerLiveCount(parts_->liveDownloadWorkers); });
    if (parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0) {
        app_.Control().ExitNow();
    }
}

void WorkerPool::StartExtraWorkers() {
    // Tops the live workers up to the configured counts.
    parts_->threads.StartExtra(
        WorkerKind::Page, parts_->settings.numUrlThreads.load() - parts_->livePageWorkers.load());
    parts_->threads.StartExtra(WorkerKind::Download, parts_->settings.numDownloadThreads.load() -
                                                         parts_->liveDownloadWorkers.load());
}

void WorkerPool::ApplyPriority(int priority) {
    parts_->threads.ForEachId([priority](int id, WorkerKind kind) {
        const int err = platform::SetThreadPriorityOf(id, priority);
        if (err != 0) {
            platform::SetLastError(err);
            LogWindowsError(kind == WorkerKind::Page ? kPagePriorityFailed
                                                     : kDownloadPriorityFailed);
        }
    });
}

void WorkerPool::ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker) {
    threadId->store(platform::CurrentThreadId());
    if (parts_->settings.priority.load() == -2) {
        ApplyPriorityTo(*threadId, -2, pageWorker ? kPagePriorityFailed : kDownloadPriorityFailed);
    }
}

bool WorkerPool::AllWorkersEnded() const {
    return parts_->livePageWorkers.load() <= 0 && parts_->liveDownloadWorkers.load() <= 0;
}

void WorkerPool::WakeWorkers() {
    parts_->wakeups.WakeAll();
}

void WorkerPool::WakeOneWorker(WorkerKind kind) {
    parts_->wakeups.WakeOne(kind);
}

std::thread WorkerPool::StartWorkerThread(WorkerKind kind, std::atomic<int>* threadId) {
    if (kind == WorkerKind::Page) {
        return platform::StartThread("wg-page", [this, threadId] {
            AppPageWorker context(app_, threadId);
            RunPageWorker(context);
        });
    }
    return platform::StartThread("wg-download", [this, threadId] {
        AppDownloadWorker context(app_, threadId);
        RunDownloadWorker(context);
    });
}

bool WorkerPool::NoWorkLeft() {
    // Items are taken and shown busy under their queue's lock, so with both
    // locks held no item can be between a queue and a slot.
    const auto [files, pages] = parts_->queues.FilesAndPages();
    return files->Empty() && pages->Empty() && parts_->slots.CountBusy() == 0;
}

bool WorkerPool::AllowMorePages() {
    auto lock = parts_->queues.Files();
    UrlList& toDownload = *lock;
    return static_cast<std::int64_t>(toDownload.Size()) < parts_->settings.minDownloadQueue.load();
}

void WorkerPool::ItemStarted(const std::string* url) {
    {
        std::lock_guard<std::mutex> lock(parts_->inProcessMutex);
        parts_->counters.inProcessCount.fetch_add(1);
    }
    if (parts_->mainWindow && parts_->settings.verbose.load() && url != nullptr) {
        std::string_view shown = *url;
        if (shown.size() >= 10) {
            shown.remove_prefix(shown[5] == ':' ? 8 : 7);
        }
        app_.ShowStatus(shown);
    }
    app_.RefreshCounterText(Counter::InProcess);
}

void WorkerPool::ItemFinished(int slot) {
    TransferSlot& s = parts_->slots[slot];
    s.cancel.store(true);
    // The slot is free: a wait for the busy slots to drain looks again.
    parts_->wakeups.Announce([&s] { s.SetUrl({}); });

    bool downloadsEmpty = false;
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        downloadsEmpty = toDownload.Empty();
    }
    bool pauseNow = false;
    {
        std::lock_guard<std::mutex> lock(parts_->inProcessMutex);
        parts_->counters.inProcessCount.store(
            static_cast<std::uint32_t>(parts_->slots.CountBusy()));
        pauseNow = parts_->run.PauseAfterDownloads() && downloadsEmpty;
    }
    if (pauseNow) {
        app_.Control().PauseWhenDownloadsEmpty();
    }
    app_.RefreshCounterText(Counter::InProcess);
    if (parts_->counters.inProcessCount.load() != 0) {
        return;
    }
    // A full disk ends the crawl with its queues kept, paused, so that the
    // state file keeps every unfinished file and Resume goes on once there is
    // room again.
    if (parts_->run.DiskFull() && parts_->diskStopPending.exchange(false)) {
        app_.ShowStatus(parts_->diskFullText.Get());
        app_.ShowStatus("Stopped.");
        parts_->port.SetCrawlRunning(false);
        parts_->run.SetPaused(true);
        parts_->port.SetPauseState(true);
        parts_->itemsSinceFinished.store(false);
        parts_->run.SetDiskFull(false);
        return;
    }

    bool exitNow = parts_->run.ExitAfterThisDownload();
    if (!exitNow) {
        if (NoWorkLeft()) {
            if (parts_->run.ExitAfterLastDownload()) {
                exitNow = true;
            } else if (!parts_->run.StopRequested() && parts_->itemsSinceFinished.exchange(false)) {
                // A crawl being stopped ends with "Stopped.", not "Finished.".
                // Two workers may find the work done at the same moment: the
                // crawl is reported finished once.
                parts_->port.SetCrawlRunning(false);
                const std::string reason = parts_->rejectReason.Get();
                if (!reason.empty()) {
                    app_.ShowStatus("Last Fail Reason: ");
                    app_.AppendStatus(reason);
                }
                app_.AppendStatus("   Finished.");
            }
        }
    }
    if (exitNow) {
        app_.ShowStatus("Exiting...");
        app_.Control().RequestExit();
    }
    // Two workers may finish their last items at the same moment and both find
    // no busy slot: only one of them ends the Stop. Stop cancels every slot, so
    // the test is that no worker holds an item any more: a page worker whose
    // fetch was cancelled still queues the links it read, and a Stop ended
    // before it would leave them to be crawled.
    bool expected = false;
    if (parts_->run.StopRequested() && parts_->slots.CountHolding() == 0 &&
        parts_->stopEnding.compare_exchange_strong(expected, true)) {
        if (parts_->run.StopRequested()) {
            app_.ShowStatus("Stopped.");
            StopCleanup();
            parts_->port.SetCrawlRunning(false);
            // A Stop waiting for its end returns now.
            parts_->wakeups.Announce([this] { parts_->run.EndStop(); });
        }
        parts_->stopEnding.store(false);
    }
}

void WorkerPool::StopCleanup() {
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        linksToGrubble.Clear();
    }
    parts_->port.QueueViewerEmptied(Counter::LinksToGrubble);
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        toDownload.Clear();
        auto held = parts_->queues.Held();
        auto& pagesToSave = held->pagesToSave;
        pagesToSave.clear();
    }
    // Items still in hand are put down before the visited list goes.
    parts_->wakeups.WaitUntil([this] { return parts_->slots.CountHolding() == 0; },
                              parts_->timing.stopSettleMs);
    if (parts_->run.TakeClearVisited()) {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        visited.Clear();
        std::lock_guard<std::mutex> redirects(parts_->redirectMutex);
        parts_->redirectFiles.clear();
    }
    app_.RefreshCounterText(Counter::LinksToGrubble);
    app_.RefreshCounterText(Counter::ToDownload);
    app_.RefreshCounterText(Counter::InProcess);
    app_.RefreshCounterText(Counter::FilesDownloaded);
    bool expected = false;
    if (parts_->stopQuestionOpen.compare_exchange_strong(expected, true)) {
        if (parts_->run.StateLoaded() &&
            parts_->port.Ask("Do you want to delete the save file?", "Question", Buttons::YesNo,
                             Icon::Question) == Answer::Yes) {
            (void)platform::ForceDelete(parts_->paths.stateFile);
        }
        parts_->stopQuestionOpen.store(false);
    }
    parts_->run.SetPaused(false);
}

}  // namespace wg
