// What the workers do with the items they take when the program works on the
// network: a page is fetched, scanned for links and counted as scanned; a
// file is downloaded (see fetcher_downloads.cpp).
#include "app/app.h"
#include "app/app_fetch_environment.h"
#include "app/app_link_sink.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "crawl/link_scanner.h"
#include "download/save_names.h"
#include "net/http_connection.h"
#include "util/text.h"

namespace wg {

CrawlFetcher::CrawlFetcher(App& app)
    : app_(app),
      settings_(app.Settings()),
      paths_(app.Paths()),
      run_(app.State()),
      port_(app.Port()),
      queues_(app.Queues()),
      slots_(app.Slots()),
      counters_(app.Counters()),
      tally_(app.Tally()),
      timing_(app.Timings()),
      environment_(std::make_unique<AppFetchEnvironment>(app)) {}

CrawlFetcher::~CrawlFetcher() = default;

void CrawlFetcher::UrlScanned() {
    counters_.urlsScanned.fetch_add(1);
    app_.RefreshCounterText(Counter::UrlsScanned);
}

void CrawlFetcher::ScanReceivedPage(const HttpConnection& c, const HttpAnswer& answer,
                                    UrlRecord& record, int slot) {
    FetchedPage page;
    page.body = std::string_view(c.buffer.data(), answer.received);
    page.host = c.host;
    page.domain = c.domain;
    AppLinkSink sink(app_);
    ScanPage(settings_, sink, page, record, slot);
}

bool CrawlFetcher::ProcessPage(int slot, UrlRecord& record) {
    TransferSlot& s = slots_[slot];
    s.failure = FailureKind::None;
    if (ClaimPageDownload(slot, record.url) && SaveAndScanPage(slot, record)) {
        return true;
    }
    s.failure = FailureKind::None;
    // What the user broke off by stopping is no failure.
    auto countFailure = [&](FailureKind failure) {
        if (!run_.StopRequested() && !run_.WorkersStopping()) {
            tally_.Failed(failure);
        }
    };
    if (!FetchPage(slot, record)) {
        countFailure(s.failure.load());
        return false;
    }
    HttpConnection* c = PageConnection(slot);
    const HttpAnswer& answer = pageStates_[static_cast<std::size_t>(slot)].answer;
    // An answer that failed before any byte of the page came is no page.
    if (const FailureKind failure = s.failure.load();
        failure != FailureKind::None && (c == nullptr || answer.received == 0)) {
        countFailure(failure);
        return true;
    }
    tally_.PageScanned();
    if (c != nullptr) {
        ScanReceivedPage(*c, answer, record, slot);
    }
    UrlScanned();
    return true;
}

namespace {

// A plain-HTTP file name that a download worker saves in one request.
bool SavedInOneRequest(const std::string& url) {
    return StartsWithNoCase(url, "http://") && !url.ends_with('/') &&
           SplitWorkerUrl(url).url == url;
}

}  // namespace

bool CrawlFetcher::HandPageToPageWorker(int slot, const std::string& url) {
    if (!SavedInOneRequest(url) || run_.DownloadingUserFile()) {
        return false;
    }
    // Under the page queue's lock: the page worker that takes the page finds
    // the file handed over.
    auto lock = queues_.Pages();
    RecordList& linksToGrubble = *lock;
    if (!linksToGrubble.ContainsUrl(url)) {
        return false;
    }
    auto held = queues_.Held();
    auto& heldDownloads = held->downloads;
    auto& pagesToSave = held->pagesToSave;
    pagesToSave.insert(url);
    heldDownloads.erase(slot);
    return true;
}

bool CrawlFetcher::ClaimPageDownload(int slot, const std::string& url) {
    if (!SavedInOneRequest(url) || run_.DownloadingUserFile()) {
        return false;
    }
    {
        auto held = queues_.Held();
        auto& heldDownloads = held->downloads;
        auto& pagesToSave = held->pagesToSave;
        if (pagesToSave.erase(url) != 0) {
            heldDownloads[slot] = url;
            return true;
        }
    }
    auto lock = queues_.Files();
    UrlList& toDownload = *lock;
    // Taken and held in one step, as a download worker takes its files.
    if (!toDownload.Contains(url) || app_.Work().HeldByDownloadWorker(url) ||
        !toDownload.RemoveFirst(url)) {
        return false;
    }
    app_.Work().NoteHeldDownload(slot, url);
    counters_.filesTaken.fetch_add(1);
    return true;
}

bool CrawlFetcher::SaveAndScanPage(int slot, UrlRecord& record) {
    TransferSlot& s = slots_[slot];
    app_.RefreshCounterText(Counter::ToDownload);
    // The file's whole work, as a download worker does it.
    (void)ProcessDownload(slot, record.url, true);
    app_.Work().NoteHeldDownload(slot, {});
    HttpConnection* c = downloadConnections_[static_cast<std::size_t>(slot)].get();
    const FetchState& state = downloadStates_[static_cast<std::size_t>(slot)];
    if (c == nullptr || !state.pageKept || state.answer.redirected || !s.saved.load()) {
        return false;
    }
    tally_.PageScanned();
    ScanReceivedPage(*c, state.answer, record, slot);
    if (settings_.guessUrls.load()) {
        app_.Work().GuessUrls(record, true);
    }
    UrlScanned();
    return true;
}

}  // namespace wg
