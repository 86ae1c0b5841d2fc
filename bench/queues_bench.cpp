// Cost of queuing a page or a file against lists of growing size: the
// duplicate tests must not grow with the lists.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/crawl_work.h"
#include "crawl/crawl_queues.h"
#include "crawl/text_index.h"
#include "settings/app_settings.h"

namespace {

using namespace wg;

class SilentPort : public UiPort {
public:
    bool HasMainWindow() const override { return false; }
    void ShowStatus(std::string_view) override {}
    void AppendStatus(std::string_view) override {}
    void SetCounterText(Counter, std::string_view) override {}
    Answer Ask(std::string_view, std::string_view, Buttons, Icon) override { return Answer::No; }
    void Tell(std::string_view, std::string_view, Icon) override {}
    void ProcessMessages() override {}
};

std::string PageUrl(std::int64_t i) {
    return "http://127.0.0.1:8080/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
           ".html";
}

std::string FileUrl(std::int64_t i) {
    return "http://127.0.0.1:8080/images/" + std::to_string(i % 89) + "/photo" + std::to_string(i) +
           ".jpg";
}

struct BenchApp {
    SilentPort port;
    std::unique_ptr<App> app;
    std::filesystem::path home;

    BenchApp() {
        home = std::filesystem::temp_directory_path() / "wg-bench-queues";
        std::filesystem::create_directories(home);
        app = std::make_unique<App>(port);
        InitOptions init;
        init.programDir = home;
        app->Initialise(init);
    }
    ~BenchApp() {
        app.reset();
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

// AddSite of a new link of a scoped crawl (filtered): search words, skip
// words, the visited test and the queue's duplicate test all run.
void BM_AddSiteFiltered(benchmark::State& state) {
    BenchApp b;
    App& a = *b.app;
    const std::int64_t n = state.range(0);
    for (std::int64_t i = 0; i < n; ++i) {
        auto r = std::make_shared<UrlRecord>();
        r->url = PageUrl(i);
        a.Queues().Visited()->PushBack(r);
        auto q = std::make_shared<UrlRecord>();
        q->url = PageUrl(n + i);
        a.Queues().Pages()->PushBack(q);
    }
    // Timed in batches of new links; between batches (untimed) the queue is
    // brought back to its size, so every batch runs against n entries.
    constexpr int kBatch = 512;
    std::int64_t next = 2 * n;
    std::vector<std::string> urls(kBatch);
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& u : urls) {
            u = PageUrl(next++);
        }
        state.ResumeTiming();
        for (const auto& u : urls) {
            benchmark::DoNotOptimize(a.Work().AddSite(u, 0, 1, 0, true));
        }
        state.PauseTiming();
        {
            auto pages = a.Queues().Pages();
            for (int i = 0; i < kBatch; ++i) {
                benchmark::DoNotOptimize(pages->PopFront());
            }
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_AddSiteFiltered)->Arg(1000)->Arg(64000)->Arg(1000000)->Unit(benchmark::kNanosecond);

// AddFile of a new file link: the download history test, the keyword walk
// and the queue's duplicate test.
void BM_AddFile(benchmark::State& state) {
    BenchApp b;
    App& a = *b.app;
    a.Settings().ignoreList.store(true);
    const std::int64_t n = state.range(0);
    for (std::int64_t i = 0; i < n; ++i) {
        a.Queues().History()->downloaded.PushBack(FileUrl(i));
        a.Queues().Files()->PushBack(FileUrl(n + i));
    }
    constexpr int kBatch = 512;
    std::int64_t next = 2 * n;
    std::vector<std::string> urls(kBatch);
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& u : urls) {
            u = FileUrl(next++);
        }
        state.ResumeTiming();
        for (const auto& u : urls) {
            a.Work().AddFile(u, false, false);
        }
        state.PauseTiming();
        {
            auto files = a.Queues().Files();
            for (int i = 0; i < kBatch; ++i) {
                benchmark::DoNotOptimize(files->PopFront());
            }
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_AddFile)->Arg(1000)->Arg(64000)->Arg(1000000)->Unit(benchmark::kNanosecond);

}  // namespace

namespace {

// The index alone: looking up texts that are not there, the common case of a
// crawl that keeps finding new links.
void BM_TextIndexLookupAbsent(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    std::vector<std::shared_ptr<const std::string>> texts;
    texts.reserve(static_cast<std::size_t>(n));
    wg::TextIndex index;
    for (std::int64_t i = 0; i < n; ++i) {
        texts.push_back(std::make_shared<const std::string>(PageUrl(i)));
        index.Add(*texts.back(), texts.back());
    }
    std::vector<std::string> probes;
    for (std::int64_t i = 0; i < 4096; ++i) {
        probes.push_back(PageUrl(n + i));
    }
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(index.Contains(probes[k++ & 4095]));
    }
}
BENCHMARK(BM_TextIndexLookupAbsent)->Arg(1000)->Arg(64000)->Arg(1000000);

}  // namespace
