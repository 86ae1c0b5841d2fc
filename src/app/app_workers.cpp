// The page and download worker threads and the item steps they share.
#include <mutex>

#include "app/app.h"
#include "app/counter_text.h"
#include "app/crawl_fetcher.h"
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
    WorkerWakeups& Wakeups() override { return app_.wakeups_; }
    int IdleMs() const override { return app_.Timings().pageIdleMs; }
    int Begin() override {
        const int slot = app_.slots_.Acquire();
        if (slot >= 0) {
            app_.livePageWorkers_.fetch_add(1);
            app_.ApplyStartPriority(threadId_, true);
        }
        return slot;
    }
    bool WantsMorePages() override { return app_.AllowMorePages(); }
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord) override {
        return app_.TakeNextPage(slot, keepRecord);
    }
    void ItemStarted(const std::string& url) override { app_.ItemStarted(&url); }
    void ProcessPage(int slot, UrlRecord& record) override {
        if (app_.Hooks().pageHandler) {
            (void)app_.Hooks().pageHandler(slot, record);
        }
    }
    void ItemFinished(int slot) override {
        app_.NoteHeldPage(slot, nullptr);
        app_.ItemFinished(slot);
    }
    void PageDone(const UrlRecord& record) override { app_.PageDone(record); }
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
    WorkerWakeups& Wakeups() override { return app_.wakeups_; }
    int IdleMs() const override { return app_.Timings().downloadIdleMs; }
    int Begin() override {
        const int slot = app_.slots_.Acquire();
        if (slot >= 0) {
            app_.liveDownloadWorkers_.fetch_add(1);
            app_.ApplyStartPriority(threadId_, false);
        }
        return slot;
    }
    std::optional<std::string> TakeNextDownload(int slot) override {
        return app_.TakeNextDownload(slot);
    }
    bool HandPageToPageWorker(int slot, const std::string& url) override {
        return app_.Fetcher().HandPageToPageWorker(slot, url);
    }
    void ItemStarted(const std::string* url) override { app_.ItemStarted(url); }
    bool Download(int slot, const std::string& url) override {
        const bool succeeded =
            app_.Hooks().downloadHandler ? app_.Hooks().downloadHandler(slot, url) : true;
        app_.NoteHeldDownload(slot, {});
        return succeeded;
    }
    void ItemFinished(int slot) override { app_.ItemFinished(slot); }
    void End(int slot) override {
        app_.Fetcher().DropDownloadConnection(slot);
        app_.slots_.Release(slot);
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
    const auto [files, pages] = queues_.FilesAndPages();
    return files->Empty() && pages->Empty() && slots_.CountBusy() == 0;
}

bool App::AllowMorePages() {
    auto lock = queues_.Files();
    UrlList& toDownload = *lock;
    return static_cast<std::int64_t>(toDownload.Size()) < settings_.minDownloadQueue.load();
}

void App::ItemStarted(const std::string* url) {
    {
        std::lock_guard<std::mutex> lock(inProcessMutex_);
        counters_.inProcessCount.fetch_add(1);
    }
    if (mainWindow_ && settings_.verbose.load() && url != nullptr) {
        std::string_view shown = *url;
        if (shown.size() >= 10) {
            shown.remove_prefix(shown[5] == ':' ? 8 : 7);
        }
        ShowStatus(shown);
    }
    RefreshCounterText(Counter::InProcess);
}

void App::ItemFinished(int slot) {
    TransferSlot& s = slots_[slot];
    s.cancel.store(true);
    s.SetUrl({});

    bool downloadsEmpty = false;
    {
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        downloadsEmpty = toDownload.Empty();
    }
    bool pauseNow = false;
    {
        std::lock_guard<std::mutex> lock(inProcessMutex_);
        counters_.inProcessCount.store(static_cast<std::uint32_t>(slots_.CountBusy()));
        pauseNow = run_.PauseAfterDownloads() && downloadsEmpty;
    }
    if (pauseNow) {
        PauseWhenDownloadsEmpty();
    }
    RefreshCounterText(Counter::InProcess);
    if (counters_.inProcessCount.load() != 0) {
        return;
    }
    // A full disk ends the crawl with its queues kept, paused, so that the
    // state file keeps every unfinished file and Resume goes on once there is
    // room again.
    if (run_.DiskFull() && diskStopPending_.exchange(false)) {
        ShowStatus(diskFullText_.Get());
        ShowStatus("Stopped.");
        port_.SetCrawlRunning(false);
        run_.SetPaused(true);
        port_.SetPauseState(true);
        itemsSinceFinished_.store(false);
        run_.SetDiskFull(false);
        return;
    }

    bool exitNow = run_.ExitAfterThisDownload();
    if (!exitNow) {
        if (NoWorkLeft()) {
            if (run_.ExitAfterLastDownload()) {
                exitNow = true;
            } else if (!run_.StopRequested() && itemsSinceFinished_.exchange(false)) {
                // A crawl being stopped ends with "Stopped.", not "Finished.".
                // Two workers may find the work done at the same moment: the
                // crawl is reported finished once.
                port_.SetCrawlRunning(false);
                const std::string reason = rejectReason_.Get();
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
        RequestExit();
    }
    // Two workers may finish their last items at the same moment and both find
    // no busy slot: only one of them ends the Stop.
    bool expected = false;
    if (run_.StopRequested() && stopEnding_.compare_exchange_strong(expected, true)) {
        if (run_.StopRequested()) {
            ShowStatus("Stopped.");
            StopCleanup();
            port_.SetCrawlRunning(false);
            run_.EndStop();
        }
        stopEnding_.store(false);
    }
}

void App::StopCleanup() {
    {
        auto lock = queues_.Pages();
        RecordList& linksToGrubble = *lock;
        linksToGrubble.Clear();
    }
    port_.QueueViewerEmptied(Counter::LinksToGrubble);
    {
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        toDownload.Clear();
        auto held = queues_.Held();
        auto& pagesToSave = held->pagesToSave;
        pagesToSave.clear();
    }
    platform::SleepMs(timing_.stopSettleMs);
    if (run_.TakeClearVisited()) {
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        visited.Clear();
        std::lock_guard<std::mutex> redirects(redirectMutex_);
        redirectFiles_.clear();
    }
    RefreshCounterText(Counter::LinksToGrubble);
    RefreshCounterText(Counter::ToDownload);
    RefreshCounterText(Counter::InProcess);
    RefreshCounterText(Counter::FilesDownloaded);
    bool expected = false;
    if (stopQuestionOpen_.compare_exchange_strong(expected, true)) {
        if (run_.StateLoaded() && port_.Ask("Do you want to delete the save file?", "Question",
                                            Buttons::YesNo, Icon::Question) == Answer::Yes) {
            (void)platform::ForceDelete(paths_.stateFile);
        }
        stopQuestionOpen_.store(false);
    }
    run_.SetPaused(false);
}

void App::PauseWhenDownloadsEmpty() {
    if (!mainWindow_) {
        run_.SetPaused(true);
        run_.SetPauseAfterDownloads(false);
        return;
    }
    counters_.inProcessCount.store(static_cast<std::uint32_t>(slots_.CountBusy()));
    RefreshCounterText(Counter::InProcess);
    TogglePause();
    if (run_.PauseAfterDownloads()) {
        SetPauseAfterDownloads(false);
    }
}

}  // namespace wg
