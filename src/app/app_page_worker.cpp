// What the workers do with the items they take when the program works on the
// network: a page is fetched, scanned for links and counted as scanned; a
// file is downloaded (see app_download.cpp).
#include "app/app.h"
#include "app/app_link_sink.h"
#include "crawl/link_scanner.h"
#include "download/save_names.h"
#include "net/http_connection.h"

namespace wg {

void App::UrlScanned() {
    urlsScanned.fetch_add(1);
    RefreshCounterText(Counter::UrlsScanned);
}

bool App::ProcessPage(int slot, UrlRecord& record) {
    TransferSlot& s = TransferSlots()[slot];
    s.failure = FailureKind::None;
    // What the user broke off by stopping is no failure.
    auto countFailure = [&](FailureKind failure) {
        if (!m_bStopRequested.load() && !g_bStopWorkers.load()) {
            tally.Failed(failure);
        }
    };
    if (!FetchPage(slot, record)) {
        countFailure(s.failure.load());
        return false;
    }
    HttpConnection* c = PageConnection(slot);
    // An answer that failed before any byte of the page came is no page.
    if (const FailureKind failure = s.failure.load();
        failure != FailureKind::None && (c == nullptr || c->received == 0)) {
        countFailure(failure);
        return true;
    }
    tally.PageScanned();
    if (c != nullptr) {
        FetchedPage page;
        page.body = std::string_view(c->buffer.data(), c->received);
        page.host = c->host;
        page.domain = c->domain;
        AppLinkSink sink(*this);
        ScanPage(settings, sink, page, record, slot);
    }
    UrlScanned();
    return true;
}

void App::UseNetworkWorkers() {
    pageHandler = [this](int slot, UrlRecord& record) { return ProcessPage(slot, record); };
    downloadHandler = [this](int slot, const std::string& url) {
        return ProcessDownload(slot, url);
    };
    alreadyOnDisk = [this](const std::string& url) {
        return FindOnDisk(url, SaveNameOptionsFrom(settings), DiskSearchFor());
    };
}

}  // namespace wg
