// A page worker's loop: take the oldest page while the run allows it, hand it
// to the page step, put it down, and wait idle on its condition when there is
// nothing to take. Everything it needs from the engine around it comes through
// its context, which the App supplies and tests replace.
#pragma once

#include <cstdint>
#include <string>

#include "crawl/run_state.h"
#include "crawl/url_record.h"
#include "crawl/worker_wakeups.h"

namespace wg {

class PageWorkerContext {
public:
    virtual ~PageWorkerContext() = default;

    virtual const RunState& Run() const = 0;
    virtual WorkerWakeups& Wakeups() = 0;
    // How long an idle worker waits before it looks again unasked.
    virtual int IdleMs() const = 0;
    // A transfer slot for the worker's whole life; -1 when none is left (the
    // worker then never starts). Counts the worker in.
    virtual int Begin() = 0;
    // "To Download" is short enough for more pages.
    virtual bool WantsMorePages() = 0;
    // The oldest page; `keepRecord` tells that it was not put into the
    // visited list, so the worker owns it.
    virtual UrlRecordPtr TakeNextPage(int slot, bool& keepRecord) = 0;
    virtual void ItemStarted(const std::string& url) = 0;
    // Fetches, saves where asked and scans the page.
    virtual void ProcessPage(int slot, UrlRecord& record) = 0;
    // The page is down: the slot is free and the crawl may have ended.
    virtual void ItemFinished(int slot) = 0;
    // A page the worker owned is done with.
    virtual void PageDone(const UrlRecord& record) = 0;
    // The worker leaves: its connections go and it is counted out.
    virtual void End(int slot) = 0;
};

// Runs until the run state tells the workers to stop.
void RunPageWorker(PageWorkerContext& context);

}  // namespace wg
