#include "download/download_worker.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace wg {
namespace {

// A context that hands out its URLs and writes down what the worker did: a
// URL ending in "#page" is handed to the page workers, one ending in "#fail"
// fails. A worker that finds nothing to take idles once and is then stopped.
class FakeDownloadContext : public DownloadWorkerContext {
public:
    const RunState& Run() const override { return run; }
    WorkerWakeups& Wakeups() override { return wakeups; }
    int IdleMs() const override {
        run.StopWorkers();
        return 1;
    }
    int Begin() override { return 5; }
    std::optional<std::string> TakeNextDownload(int) override {
        if (urls.empty()) {
            return std::nullopt;
        }
        std::string url = urls.front();
        urls.pop_front();
        return url;
    }
    bool HandPageToPageWorker(int, const std::string& url) override {
        return url.ends_with("#page");
    }
    void ItemStarted(const std::string* url) override {
        log.push_back("start " + (url != nullptr ? *url : std::string("(not shown)")));
    }
    bool Download(int, const std::string& url) override {
        log.push_back("get " + url);
        return !url.ends_with("#fail");
    }
    void ItemFinished(int) override { log.push_back("finished"); }
    void End(int slot) override { log.push_back("end " + std::to_string(slot)); }

    mutable RunState run;
    WorkerWakeups wakeups;
    std::deque<std::string> urls;
    std::vector<std::string> log;
};

// A handed-over page is only put down; after a failed file the next one's
// URL is not shown (the status line keeps the failure).
TEST(DownloadWorker, HandsPagesOverAndShowsNoUrlAfterAFailure) {
    FakeDownloadContext context;
    context.urls = {"a#fail", "b", "c#page", "d"};
    RunDownloadWorker(context);
    const std::vector<std::string> expected = {
        "start a#fail", "get a#fail", "finished", "start (not shown)", "get b", "finished",
        "finished",     "start d",    "get d",    "finished",          "end 5"};
    EXPECT_EQ(context.log, expected);
}

}  // namespace
}  // namespace wg
