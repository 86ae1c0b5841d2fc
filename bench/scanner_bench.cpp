// Throughput of the link scanner (bytes of page text per second) on a set of
// generated pages that look like real ones: navigation, pictures, tables of
// prose, a style sheet, inline scripts, query links and absolute links.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crawl/link_scanner.h"
#include "settings/app_settings.h"

namespace {

using namespace wg;

class CountingSink : public LinkSink {
public:
    UrlRecordPtr AddSite(std::string_view, std::uint8_t, std::uint8_t, std::uint8_t, bool,
                         const std::string*) override {
        ++pages;
        return nullptr;
    }
    void AddFile(std::string_view, bool, bool) override { ++files; }
    std::uint64_t pages = 0;
    std::uint64_t files = 0;
};

// A small deterministic generator, so that every run scans the same pages.
class Random {
public:
    std::uint32_t Next(std::uint32_t bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33) % bound;
    }

private:
    std::uint64_t state_ = 42;
};

const char* const kWords[] = {"the",   "gallery", "photos", "from",  "our",    "trip",
                              "about", "music",   "video",  "links", "latest", "news",
                              "and",   "more",    "page",   "site",  "e.g.",   "etc."};

std::string Prose(Random& random, int words) {
    std::string text;
    for (int i = 0; i < words; ++i) {
        text += kWords[random.Next(sizeof(kWords) / sizeof(kWords[0]))];
        text += random.Next(12) == 0 ? ". " : " ";
    }
    return text;
}

std::string MakePage(Random& random, int index) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><title>Page " + std::to_string(index) +
        "</title>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "<link rel=\"stylesheet\" href=\"/css/site.css\">\n"
        "<script src=\"/js/menu.js\"></script>\n<style>body { background: url(img/bg.png); "
        "font: 12px Arial; } .nav a { color: #336; }</style>\n</head><body>\n<div class=\"nav\">";
    for (int i = 0; i < 12; ++i) {
        page += "<a href=\"/section" + std::to_string(i) + "/index.html\">Section " +
                std::to_string(i) + "</a> | ";
    }
    page += "<a href=\"forum/?page=" + std::to_string(index) + "\">Forum</a></div>\n<table>\n";
    for (int row = 0; row < 40; ++row) {
        page += "<tr><td><a href=\"photos/p" + std::to_string(index * 100 + row) +
                ".html\"><img src=\"thumbs/t" + std::to_string(index * 100 + row) +
                ".jpg\" width=100 height=75 alt=\"thumb\"></a></td><td>" +
                Prose(random, 30 + static_cast<int>(random.Next(40))) + "</td></tr>\n";
        if (random.Next(5) == 0) {
            page += "<tr><td colspan=2><a href=\"http://www.other-site.example/ref/" +
                    std::to_string(row) +
                    ".htm\">reference</a> and <a href=\"list.php?cat=" + std::to_string(row) +
                    "&amp;sort=date\">more</a></td></tr>\n";
        }
    }
    page +=
        "</table>\n<script type=\"text/javascript\">\nvar images = new Array();\n"
        "images[0] = 'big/a1.jpg'; images[1] = 'big/a2.jpg';\n"
        "function show(n) { document.getElementById('view').src = images[n]; "
        "if (n == 1 && window.opener) { window.status = \"done.\"; } }\n</script>\n"
        "<p>" +
        Prose(random, 120) + "</p>\n</body></html>\n";
    return page;
}

const std::vector<std::string>& Pages() {
    static const std::vector<std::string> pages = [] {
        Random random;
        std::vector<std::string> set;
        for (int i = 0; i < 32; ++i) {
            set.push_back(MakePage(random, i));
        }
        return set;
    }();
    return pages;
}

void BM_ScanPage(benchmark::State& state) {
    AppSettings settings;
    CountingSink sink;
    UrlRecord record;
    record.url = "http://www.example.com/dir/index.html";
    record.allLinked = state.range(0) == 2;
    record.withinDomain = state.range(0) == 1;
    FetchedPage page;
    page.host = "www.example.com";
    page.domain = "example.com";
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& text : Pages()) {
            page.body = text;
            ScanPage(settings, sink, page, record, 0);
            bytes += static_cast<std::int64_t>(text.size());
        }
    }
    state.SetBytesProcessed(bytes);
    state.counters["links/page"] =
        benchmark::Counter(static_cast<double>(sink.pages + sink.files) /
                           static_cast<double>(state.iterations() * Pages().size()));
}
// 0: "Only This Web Page", 1: "Within This Domain Only", 2: "All Linked Pages".
BENCHMARK(BM_ScanPage)->Arg(0)->Arg(1)->Arg(2);

void BM_ScanScript(benchmark::State& state) {
    AppSettings settings;
    CountingSink sink;
    UrlRecord record;
    record.url = "http://www.example.com/js/menu.js";
    record.withinDomain = 1;
    FetchedPage page;
    page.domain = "example.com";
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& text : Pages()) {
            page.body = text;
            ScanScript(settings, sink, page, record, 0);
            bytes += static_cast<std::int64_t>(text.size());
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ScanScript);

}  // namespace
