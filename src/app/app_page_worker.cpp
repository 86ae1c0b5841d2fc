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
    if (!FetchPage(slot, record)) {
        return false;
    }
    if (HttpConnection* c = PageConnection(slot)) {
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
