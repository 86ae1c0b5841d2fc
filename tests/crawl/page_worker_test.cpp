#include "crawl/page_worker.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace wg {
namespace {

// A context that hands out its pages and writes down what the worker did.
// A worker that finds nothing to take idles once and is then told to stop.
class FakePageContext : public PageWorkerContext {
public:
    const RunState& Run() const override { return run; }
    WorkerWakeups& Wakeups() override { return wakeups; }
    int IdleMs() const override {
        run.StopWorkers();
        return 1;
    }
    int Begin() override { return slot; }
    bool WantsMorePages() override { return wantsMore; }
    UrlRecordPtr TakeNextPage(int, bool& keepRecord) override {
        if (pages.empty()) {
            return nullptr;
        }
        auto record = std::make_shared<UrlRecord>();
        record->url = pages.front();
        pages.pop_front();
        keepRecord = record->url.ends_with("#own");
        return record;
    }
    void ItemStarted(const std::string& url) override { log.push_back("start " + url); }
    void ProcessPage(int, UrlRecord& record) override { log.push_back("page " + record.url); }
    void ItemFinished(int) override { log.push_back("finished"); }
    void PageDone(const UrlRecord& record) override { log.push_back("done " + record.url); }
    void End(int s) override { log.push_back("end " + std::to_string(s)); }

    mutable RunState run;
    WorkerWakeups wakeups;
    int slot = 3;
    bool wantsMore = true;
    std::deque<std::string> pages;
    std::vector<std::string> log;
};

TEST(PageWorker, TakesPagesOnlyWhenTheRunLetsIt) {
    struct Case {
        const char* name;
        void (*set)(FakePageContext&);
        std::vector<std::string> log;
    };
    const std::vector<std::string> both = {"start a",    "page a",   "finished",   "start b#own",
                                           "page b#own", "finished", "done b#own", "end 3"};
    const Case cases[] = {
        {"free to run", [](FakePageContext&) {}, both},
        {"no slot left", [](FakePageContext& c) { c.slot = -1; }, {}},
        {"work held", [](FakePageContext& c) { c.run.SetWorkHeld(true); }, {"end 3"}},
        {"disk full", [](FakePageContext& c) { c.run.SetDiskFull(true); }, {"end 3"}},
        {"pause after downloads",
         [](FakePageContext& c) { c.run.SetPauseAfterDownloads(true); },
         {"end 3"}},
        {"enough files queued", [](FakePageContext& c) { c.wantsMore = false; }, {"end 3"}},
    };
    for (const Case& c : cases) {
        FakePageContext context;
        context.pages = {"a", "b#own"};
        c.set(context);
        RunPageWorker(context);
        EXPECT_EQ(context.log, c.log) << c.name;
        EXPECT_EQ(context.pages.size(), c.log.size() > 1 ? 0u : 2u) << c.name;
    }
}

}  // namespace
}  // namespace wg
