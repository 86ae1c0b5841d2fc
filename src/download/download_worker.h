// A download worker's loop: take the oldest file URL, hand a page whose page
// is still queued over to the page workers, else fetch the file, and wait
// idle on its condition when there is nothing to take. Everything it needs
// from the engine around it comes through its context, which the App supplies
// and tests replace.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crawl/run_state.h"
#include "crawl/worker_wakeups.h"

namespace wg {

class DownloadWorkerContext {
public:
    virtual ~DownloadWorkerContext() = default;

    virtual const RunState& Run() const = 0;
    virtual WorkerWakeups& Wakeups() = 0;
    virtual int IdleMs() const = 0;
    // A transfer slot for the worker's life; -1 when none is left. Counts the
    // worker in.
    virtual int Begin() = 0;
    virtual std::optional<std::string> TakeNextDownload(int slot) = 0;
    // True when the page worker that takes the page saves it too.
    virtual bool HandPageToPageWorker(int slot, const std::string& url) = 0;
    // `url` is null after a failed item, whose URL is not shown again.
    virtual void ItemStarted(const std::string* url) = 0;
    // Fetches the file; false when it failed.
    virtual bool Download(int slot, const std::string& url) = 0;
    virtual void ItemFinished(int slot) = 0;
    // The worker leaves: its connection and slot go and it is counted out.
    virtual void End(int slot) = 0;
};

// Runs until the run state tells the workers to stop.
void RunDownloadWorker(DownloadWorkerContext& context);

}  // namespace wg
