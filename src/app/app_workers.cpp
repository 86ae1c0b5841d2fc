// The page and download worker threads and the item steps they share.
#include <mutex>

#include "app/app_parts.h"
#include "app/counter_text.h"
#include "app/crawl_control.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "crawl/page_worker.h"
#include "download/download_worker.h"
#include "net/http_connection.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "util/timing.h"

namespace wg {

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
            app_.ApplyStartPriority(threadId_, true);
        }
        return slot;
    }
    bool WantsMorePages() override { return app_.AllowMorePages(); }
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord) override {
        return app_.Work().TakeNextPage(slot, keepRecord);
    }
    void ItemStarted(const std::string& url) override { app_.ItemStarted(&url); }
    void ProcessPage(int slot, UrlRecord& record) override {
        if (app_.Hooks().pageHandler) {
            (void)app_.Hooks().pageHandler(slot, record);
        }
    }
    void ItemFinished(int slot) override {
        app_.Work().NoteHeldPage(slot, nullptr);
        app_.ItemFinished(slot);
    }
    void PageDone(const UrlRecord& record) override { app_.Work().PageDone(record); }
    void End(int slot) override {
        app_.Fetcher().DropPageConnection(slot);
        app_.Fetcher().DropDownloadConnection(slot);
        app_.PageWorkerEnded();
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
            app_.ApplyStartPriority(threadId_, false);
        }
        return slot;
    }
    std::optional<std::string> TakeNextDownload(int slot) override {
        return app_.Work().TakeNextDownload(slot);
    }
    bool HandPageToPageWorker(int slot, const std::string& url) override {
        return app_.Fetcher().HandPageToPageWorker(slot, url);
    }
    void ItemStarted(const std::string* url) override { app_.ItemStarted(url); }
    bool Download(int slot, const std::string& url) override {
        const bool succeeded =
            app_.Hooks().downloadHandler ? app_.Hooks().downloadHandler(slot, url) : true;
        app_.Work().NoteHeldDownload(slot, {});
        return succeeded;
    }
    void ItemFinished(int slot) override { app_.ItemFinished(slot); }
    void End(int slot) override {
        app_.Fetcher().DropDownloadConnection(slot);
        app_.parts_->slots.Release(slot);
        app_.DownloadWorkerEnded();
    }

private:
    App& app_;
    std::atomic<int>* threadId_;
};

std::thread App::StartWorkerThread(WorkerKind kind, std::atomic<int>* threadId) {
    if (kind == WorkerKind::Page) {
        return platform::StartThread("wg-page", [this, threadId] {
            AppPageWorker context(*this, threadId);
            RunPageWorker(context);
        });
    }
    return platform::StartThread("wg-download", [this, threadId] {
        AppDownloadWorker context(*this, threadId);
        RunDownloadWorker(context);
    });
}

bool App::NoWorkLeft() {
    // Items are taken and shown busy under their queue's lock, so with both
    // locks held no item can be between a queue and a slot.
    const auto [files, pages] = parts_->queues.FilesAndPages();
    return files->Empty() && pages->Empty() && parts_->slots.CountBusy() == 0;
}

bool App::AllowMorePages() {
    auto lock = parts_->queues.Files();
    UrlList& toDownload = *lock;
    return static_cast<std::int64_t>(toDownload.Size()) < parts_->settings.minDownloadQueue.load();
}

void App::ItemStarted(const std::string* url) {
    {
        std::lock_guard<std::mutex> lock(parts_->inProcessMutex);
        parts_->counters.inProcessCount.fetch_add(1);
    }
    if (parts_->mainWindow && parts_->settings.verbose.load() && url != nullptr) {
        std::string_view shown = *url;
        if (shown.size() >= 10) {
            shown.remove_prefix(shown[5] == ':' ? 8 : 7);
        }
        ShowStatus(shown);
    }
    RefreshCounterText(Counter::InProcess);
}

void App::ItemFinished(int slot) {
    TransferSlot& s = parts_->slots[slot];
    s.cancel.store(true);
    s.SetUrl({});

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
        Control().PauseWhenDownloadsEmpty();
    }
    RefreshCounterText(Counter::InProcess);
    if (parts_->counters.inProcessCount.load() != 0) {
        return;
    }
    // A full disk ends the crawl with its queues kept, paused, so that the
    // state file keeps every unfinished file and Resume goes on once there is
    // room again.
    if (parts_->run.DiskFull() && parts_->diskStopPending.exchange(false)) {
        ShowStatus(parts_->diskFullText.Get());
        ShowStatus("Stopped.");
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
                    ShowStatus("Last Fail Reason: ");
                    AppendStatus(reason);
                }
                AppendStatus("   Finished.");
            }
        }
    }
    if (exitNow) {
        ShowStatus("Exiting...");
        Control().RequestExit();
    }
    // Two workers may finish their last items at the same moment and both find
    // no busy slot: only one of them ends the Stop.
    bool expected = false;
    if (parts_->run.StopRequested() && parts_->stopEnding.compare_exchange_strong(expected, true)) {
        if (parts_->run.StopRequested()) {
            ShowStatus("Stopped.");
            StopCleanup();
            parts_->port.SetCrawlRunning(false);
            parts_->run.EndStop();
        }
        parts_->stopEnding.store(false);
    }
}

void App::StopCleanup() {
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
    platform::SleepMs(parts_->timing.stopSettleMs);
    if (parts_->run.TakeClearVisited()) {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        visited.Clear();
        std::lock_guard<std::mutex> redirects(parts_->redirectMutex);
        parts_->redirectFiles.clear();
    }
    RefreshCounterText(Counter::LinksToGrubble);
    RefreshCounterText(Counter::ToDownload);
    RefreshCounterText(Counter::InProcess);
    RefreshCounterText(Counter::FilesDownloaded);
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
