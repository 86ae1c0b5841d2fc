// The page and download workers as the App runs them: their threads and
// priorities, the steps every item goes through, their wake-ups and the
// notes of their ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>

#include "crawl/worker_wakeups.h"

namespace wg {

class App;
struct AppParts;

class WorkerPool {
public:
    WorkerPool(App& app, AppParts& parts) : app_(app), parts_(&parts) {}

    void PageWorkerEnded();
    void DownloadWorkerEnded();
    void ItemStarted(const std::string* url);
    void ItemFinished(int slot);
    // No item queued and none in hand, seen in one instant.
    bool NoWorkLeft();
    bool AllowMorePages();
    void StopCleanup();
    // No worker thread is alive any more.
    bool AllWorkersEnded() const;
    // Wakes every idle worker at once (stop, pause, exit, a changed limit).
    void WakeWorkers();
    // One item was queued: wakes one idle worker of that kind.
    void WakeOneWorker(WorkerKind kind);
    // Number of workers alive.
    int LivePageWorkers() const;
    int LiveDownloadWorkers() const;
    void ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker);
    void StartExtraWorkers();
    void ApplyPriority(int priority);
    // A worker of `kind` on a thread of its own; it notes its system id in `threadId`.
    std::thread StartWorkerThread(WorkerKind kind, std::atomic<int>* threadId);

private:
    App& app_;
    AppParts* parts_;
};

}  // namespace wg
