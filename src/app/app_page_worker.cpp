// What a page worker does with a page it took, when the program works on the
// network: fetch it, scan it for links, count it as scanned.
#include "app/app.h"
#include "app/app_link_sink.h"
#include "crawl/link_scanner.h"
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
}

}  // namespace wg
