// A page worker's fetch: the URL split into host, port, directory and request
// name, the worker's connection reused while host and port stay the same,
// connect tries with pauses, one retry of a broken transaction, and the
// connectivity test when a server cannot be reached at all.
#include <atomic>
#include <string>

#include "app/app.h"
#include "app/app_fetch_environment.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "app/page_url.h"
#include "download/download_transaction.h"
#include "net/http_fetch.h"
#include "platform/hosts.h"
#include "util/pause.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

constexpr int kConnectTries = 3;

}  // namespace

PageUrlParts SplitPageUrl(std::string_view url) {
    PageUrlParts parts;
    parts.secure = StartsWithNoCase(url, "https:");
    const std::size_t colon = url.find(':');
    const std::size_t hostStart = colon == std::string_view::npos ? 0 : colon + 3;
    std::string_view rest = hostStart < url.size() ? url.substr(hostStart) : std::string_view();
    const std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    const std::size_t portColon = host.rfind(':');
    if (portColon != std::string_view::npos && portColon + 1 < host.size() &&
        host.substr(portColon + 1).find_first_not_of("0123456789") == std::string_view::npos) {
        parts.port = std::string(host.substr(portColon + 1));
        host = host.substr(0, portColon);
    } else {
        parts.port = parts.secure ? "443" : "80";
    }
    parts.host = std::string(host);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    const std::size_t lastSlash = path.size() > 1 ? path.rfind('/') : std::string_view::npos;
    if (lastSlash == std::string_view::npos || lastSlash == 0) {
        parts.requestName = std::string(path);
        return parts;
    }
    const std::size_t query = path.find('?');
    if (query != std::string_view::npos && query < lastSlash) {
        parts.directory = std::string(path.substr(0, query + 1));
        parts.requestName = std::string(path.substr(query));
    } else {
        parts.directory = std::string(path.substr(0, lastSlash + 1));
        parts.requestName = std::string(path.substr(lastSlash + 1));
    }
    return parts;
}

HttpConnection* CrawlFetcher::PageConnection(int slot) {
    return pageConnections_[static_cast<std::size_t>(slot)].get();
}

void CrawlFetcher::DropPageConnection(int slot) {
    pageConnections_[static_cast<std::size_t>(slot)].reset();
}

void CrawlFetcher::DropDownloadConnection(int slot) {
    downloadConnections_[static_cast<std::size_t>(slot)].reset();
}

CrawlFetcher::ConnectOutcome CrawlFetcher::ConnectWithTries(HttpConnection& c, int slot,
                                                            const std::string* download) {
    TransferSlot& s = slots_[slot];
    const Timing& timing = timing_;
    // With KEEP_ALIVE the connection the last answer left open takes the
    // next request (a closed or unread one is dropped first).
    if (settings_.keepAlive.load() && KeepOpenConnection(c)) {
        return ConnectOutcome::Connected;
    }
    for (int attempt = 1;; ++attempt) {
        if (c.Connect(timing.connectTimeoutMs)) {
            return ConnectOutcome::Connected;
        }
        c.Close();
        if (download == nullptr) {
            if (s.cancel.exchange(false) || run_.WorkersStopping()) {
                return ConnectOutcome::Abandoned;
            }
        } else {
            // An exit while connecting puts the URL back, so that a later run has it.
            if (run_.ExitAfterThisDownload() || run_.WorkersStopping()) {
                app_.Work().AddFile(*download, true, false);
                return ConnectOutcome::Abandoned;
            }
            if (s.cancel.load()) {
                return ConnectOutcome::Abandoned;
            }
        }
        if (attempt == kConnectTries) {
            if (download != nullptr) {
                NoteFailure(&s, FailureKind::Connect);
                ProbeConnectivity(slot);
            }
            return ConnectOutcome::Unreachable;
        }
        PauseMs(timing.connectRetryMs);
        (void)HttpConnection::CheckDialUp();
    }
}

bool CrawlFetcher::ProbeLineReachable() {
    // Without a configured probe host the test counts as failed.
    const std::optional<platform::HostPort> probe = platform::ProbeHost();
    if (!probe) {
        return false;
    }
    HttpConnection test;
    test.timing = timing_;
    test.Open(probe->host, probe->port, "", false);
    const bool reachable = !test.dnsFailed && test.Connect(timing_.connectTimeoutMs);
    test.Close();
    return reachable;
}

void CrawlFetcher::TestConnectivity(int slot) {
    DropPageConnection(slot);
    if (!ProbeLineReachable() && !connectionBoxShown_.exchange(true)) {
        port_.Tell("Connection Error: Please check your internet connection.", "Error",
                   Icon::Error);
    }
}

bool CrawlFetcher::FetchPage(int slot, UrlRecord& record) {
    TransferSlot& s = slots_[slot];
    s.cancel = false;
    std::unique_ptr<HttpConnection>& held = pageConnections_[static_cast<std::size_t>(slot)];
    FetchState& state = pageStates_[static_cast<std::size_t>(slot)];
    FetchRequest request;
    request.slot = slot;

    if (record.url.find(':') == std::string::npos) {
        if (!held) {
            return false;
        }
        request.name = record.url;
        return RunTransaction(*held, state, request, *environment_).Usable();
    }

    const PageUrlParts parts = SplitPageUrl(record.url);
    if (held && !held->dnsFailed && EqualsNoCase(held->host, parts.host) &&
        held->port == parts.port) {
        held->SetPath(parts.directory);
    } else {
        held = std::make_unique<HttpConnection>();
        held->timing = timing_;
        state = {};
        held->environment = &*environment_;
        held->Open(parts.host, parts.port, parts.directory, parts.secure);
    }
    HttpConnection& c = *held;
    if (c.dnsFailed) {
        NoteFailure(&s, FailureKind::Connect);
        if (settings_.verbose.load()) {
            app_.ShowStatus(record.url + " not found");
            app_.RecordUrlError(404, record.url);
        }
        return false;
    }
    switch (ConnectWithTries(c, slot)) {
        case ConnectOutcome::Connected:
            break;
        case ConnectOutcome::Abandoned:
            return false;
        case ConnectOutcome::Unreachable:
            NoteFailure(&s, FailureKind::Connect);
            TestConnectivity(slot);
            return false;
    }

    request.name = parts.requestName;
    const FetchResult result = RunTransaction(c, state, request, *environment_);
    if (result.Usable()) {
        if (result.HasBody() && settings_.guessUrls.load() && !state.answer.redirected) {
            app_.Work().GuessUrls(record, true);
        }
        return true;
    }
    if (s.cancel.exchange(false) || run_.WorkersStopping()) {
        return false;
    }
    c.Close();
    if (!c.Connect(timing_.connectTimeoutMs)) {
        PauseMs(timing_.connectRetryMs);
        (void)HttpConnection::CheckDialUp();
        (void)c.Connect(timing_.connectTimeoutMs);
    }
    return RunTransaction(c, state, request, *environment_).Usable();
}

}  // namespace wg
