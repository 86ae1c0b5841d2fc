// A download worker's file: the URL split and named, the worker's connection
// reused for the same plain-HTTP server, connect tries, the transaction and
// what its result means in each directory mode, and resuming a cut transfer.
#include <cerrno>
#include <string>

#include "app/app.h"
#include "app/app_fetch_environment.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "download/download_transaction.h"
#include "download/save_names.h"
#include "net/http_fetch.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "util/pause.h"
#include "util/text.h"
#include "util/timing.h"
#include "util/url_error_log.h"

namespace wg {
namespace {

constexpr int kReconnectPauseMs = 1000;

}  // namespace

CrawlFetcher::ConnectOutcome CrawlFetcher::Reconnect(HttpConnection& c, int slot,
                                                     const std::string& url, int pauseMs) {
    c.Close();
    if (pauseMs > 0) {
        PauseMs(pauseMs);
    }
    if (c.Connect(timing_.connectTimeoutMs)) {
        return ConnectOutcome::Connected;
    }
    return ConnectWithTries(c, slot, &url);
}

void CrawlFetcher::ProbeConnectivity(int slot) {
    downloadConnections_[static_cast<std::size_t>(slot)].reset();
    if (!ProbeLineReachable() && !downloadBoxShown_.exchange(true)) {
        port_.Tell("Connection Error: Please check your internet connection.", "Error",
                   Icon::Error);
    }
}

// Asks for the rest while each attempt brings new bytes. False when the item
// was abandoned (only in the flat directory mode; the others judge by
// completeness).
bool CrawlFetcher::ResumeDownload(HttpConnection& c, FetchState& state, FetchRequest& request,
                                  bool flat) {
    TransferSlot& s = slots_[request.slot];
    const HttpAnswer& answer = state.answer;
    std::uint32_t previous = 0;
    while (!answer.IsComplete()) {
        if (!flat && run_.WorkersStopping()) {
            break;
        }
        const std::uint32_t have = answer.received;
        if (have <= previous) {
            break;
        }
        previous = have;
        // A rewritten page is fetched whole again rather than resumed.
        request.resumeFrom = state.rewritten ? 0 : have;
        request.expectedTotal = answer.contentLength;
        (void)RunTransaction(c, state, request, *environment_);
        if (s.cancel.load() || (!flat && run_.WorkersStopping())) {
            s.cancel = false;
            if (flat) {
                return false;
            }
            break;
        }
    }
    return true;
}

bool CrawlFetcher::DownloadOne(int slot, const std::string& rawUrl, bool asFile, bool keepPage) {
    TransferSlot& s = slots_[slot];
    std::unique_ptr<HttpConnection>& held = downloadConnections_[static_cast<std::size_t>(slot)];
    FetchState& state = downloadStates_[static_cast<std::size_t>(slot)];
    const HttpAnswer& answer = state.answer;
    const SaveNameOptions nameOptions = SaveNameOptionsFrom(settings_);
    const bool flat = nameOptions.mode == kNoSubDirectories;
    auto guess = [&](const std::string& url) {
        if (settings_.guessUrls.load()) {
            app_.Work().GuessFileUrls(url);
        }
    };

    WorkerUrl w = SplitWorkerUrl(rawUrl);
    FetchRequest request;
    request.slot = slot;
    if (w.pathOnly) {
        if (!held) {
            app_.RecordUrlError(404, rawUrl);
            return false;
        }
        const SaveTarget target = SaveNameFor(w, nameOptions, held->host);
        request.name = rawUrl.substr(1);
        request.saveDir = held->host;
        request.saveName = target.saveName;
        FetchResult result = RunTransaction(*held, state, request, *environment_);
        if (s.cancel.exchange(false)) {
            return false;
        }
        if (result.Usable() && !answer.IsComplete()) {
            request.name = rawUrl;
            request.saveName.reset();
            request.resumeFrom = answer.received;
            result = RunTransaction(*held, state, request, *environment_);
        }
        return result.Usable();
    }

    const std::string& url = w.url;
    const SaveTarget target = SaveNameFor(w, nameOptions);
    if (asFile && url.ends_with('/')) {
        w.url.pop_back();
        w.path.pop_back();
        const std::size_t cut = w.directory.rfind('/');
        w.file = cut == std::string::npos ? w.directory : w.directory.substr(cut + 1);
        w.directory = cut == std::string::npos ? std::string() : w.directory.substr(0, cut);
    }
    // The connection (its resolved address and buffers) serves the next file
    // of the same plain-HTTP server, whatever its port.
    if (held && !held->dnsFailed && EqualsNoCase(held->host, w.hostName) && held->port == w.port &&
        !held->secure && !w.secure) {
        held->SetPath(w.directory);
    } else {
        held = std::make_unique<HttpConnection>();
        held->timing = timing_;
        state = {};
        held->environment = &*environment_;
        held->Open(w.hostName, w.port, w.directory, w.secure);
    }
    HttpConnection& c = *held;
    if (c.dnsFailed) {
        NoteFailure(&s, FailureKind::Connect);
        app_.ShowStatus("Can't resolve host: " + w.hostName + "...");
        return false;
    }
    if (ConnectWithTries(c, slot, &url) != ConnectOutcome::Connected || s.cancel.load()) {
        return false;
    }

    request.name = w.file;
    request.saveDir = target.saveDir;
    request.saveName = target.saveName;
    request.keepPage = keepPage;
    FetchResult result = RunTransaction(c, state, request, *environment_);
    if (s.cancel.load() && (flat || !result.Usable())) {
        s.cancel = false;
        return false;
    }
    // A file that cannot be written is not fetched again now.
    if (s.failure.load() == FailureKind::Disk) {
        return false;
    }
    // A body as large as MIN_FILE_SIZE (none counts as large enough).
    const int minSize = settings_.minFileSize.load();
    auto largeEnough = [&](const FetchResult& r) {
        return minSize <= 0 || r.bytes >= static_cast<std::uint32_t>(minSize);
    };

    if (!result.Usable()) {
        if (Reconnect(c, slot, url, 0) != ConnectOutcome::Connected) {
            return false;
        }
        if (s.cancel.exchange(false)) {
            return false;
        }
        result = RunTransaction(c, state, request, *environment_);
        if (!result.Usable()) {
            return false;
        }
        if (result.HasBody()) {
            guess(url);
        }
        return true;
    }

    if (result.HasBody()) {
        if (flat) {
            if (answer.IsComplete()) {
                if (largeEnough(result)) {
                    guess(url);
                }
                return true;
            }
            if (!ResumeDownload(c, state, request, true) || !answer.IsComplete()) {
                return false;
            }
            guess(url);
            return true;
        }
        if (largeEnough(result)) {
            guess(url);
        }
        if (!answer.IsComplete()) {
            (void)ResumeDownload(c, state, request, false);
        }
        return answer.IsComplete();
    }

    // Nothing usable came.
    if (answer.IsComplete()) {
        return flat;
    }
    const bool connected = Reconnect(c, slot, url, kReconnectPauseMs) == ConnectOutcome::Connected;
    if (!connected || s.cancel.load()) {
        s.cancel = false;
        return !flat && connected;
    }
    request.resumeFrom = state.rewritten ? 0 : answer.received;
    request.expectedTotal = answer.contentLength;
    (void)RunTransaction(c, state, request, *environment_);
    if (!answer.IsComplete()) {
        return false;
    }
    guess(url);
    return true;
}

bool CrawlFetcher::ProcessDownload(int slot, const std::string& url, bool keepPage) {
    TransferSlot& s = slots_[slot];
    // The status is this item's: a 404 of the previous file must not mark
    // a file that never got an answer.
    s.status = 0;
    s.failure = FailureKind::None;
    s.saved = false;
    // A name without an extension (LICENSE) is asked for as written first; a
    // server that refuses it or sends it on (to "docs/") has a directory of
    // that name.
    const bool guessedDirectory = SplitWorkerUrl(url).url != url && !url.ends_with('/');
    bool done = DownloadOne(slot, url, guessedDirectory, keepPage && !guessedDirectory);
    const int status = s.status.load();
    if (guessedDirectory && !done && (status == 404 || (status >= 300 && status < 400)) &&
        !s.cancel.load()) {
        s.status = 0;
        s.failure = FailureKind::None;
        done = DownloadOne(slot, url);
    }
    const FailureKind failure = s.failure.load();
    // An item that left no file failed for its last reason (some refusals
    // still count as done); what the user broke off by stopping is no failure.
    const bool brokenOff = run_.StopRequested() || run_.WorkersStopping();
    if (!s.saved.load() && (!brokenOff || failure == FailureKind::Disk)) {
        tally_.Failed(failure);
    }
    if (done) {
        if (settings_.logUrls.load()) {
            app_.LogValidUrl(url);
        }
        app_.Work().RecordDownloaded(url);
        ProcessStylesheet(url);
    } else if (s.status.load() == 404) {
        app_.Work().RecordDownloaded(url);  // not to be tried again
    } else {
        if (failure == FailureKind::Disk && settings_.logUrlErrors.load()) {
            (void)app_.UrlErrors().WriteEntry(0, url);
        }
        // With the disk full every unfinished file stays queued for later.
        if (run_.DiskFull()) {
            app_.Work().AddFile(url, true, false);
        }
    }
    return done;
}

}  // namespace wg
