// The workers' work on the network: a page fetched, scanned and counted; a
// file downloaded into the download directory, resumed when cut, and a page
// that is also queued as a file fetched once for both. Holds each slot's
// connection and what its last transaction left. The App decides what is
// queued and when work stops; this object does the fetching.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "app/crawl_tally.h"
#include "app/ui_port.h"
#include "crawl/crawl_counters.h"
#include "crawl/crawl_queues.h"
#include "crawl/run_state.h"
#include "crawl/url_record.h"
#include "download/download_transaction.h"
#include "download/file_claims.h"
#include "net/http_answer.h"
#include "net/transfer_slots.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "util/timing.h"

namespace wg {

class App;
class AppFetchEnvironment;
class HttpConnection;

class CrawlFetcher {
public:
    explicit CrawlFetcher(App& app);
    ~CrawlFetcher();
    CrawlFetcher(const CrawlFetcher&) = delete;
    CrawlFetcher& operator=(const CrawlFetcher&) = delete;

    // Loads a page into the slot's connection buffer; false when it could not
    // be fetched (not found, unreachable, broken twice, stopped).
    bool FetchPage(int slot, UrlRecord& record);
    // Fetch, scan and count one page.
    bool ProcessPage(int slot, UrlRecord& record);
    // Fetches one file into the download directory: true when the URL is done
    // with (downloaded, or answered so that a retry is pointless).
    // `asFile`: a name without an extension, which is first asked for as a
    // directory ("LICENSE/"), is asked for as written, saved at the same place.
    // `keepPage`: the body also stays in the connection's buffer (pageKept).
    bool DownloadOne(int slot, const std::string& url, bool asFile = false, bool keepPage = false);
    // DownloadOne, then the history and "ValidURLs.log" for what is done.
    bool ProcessDownload(int slot, const std::string& url, bool keepPage = false);
    // A download worker's page whose page is still queued is left to the
    // page worker that takes it; true when it was handed over.
    bool HandPageToPageWorker(int slot, const std::string& url);
    // The page connection of a slot (null before its first page).
    HttpConnection* PageConnection(int slot);
    void DropPageConnection(int slot);
    void DropDownloadConnection(int slot);
    // The environment of the transactions, and the local files they are writing now.
    AppFetchEnvironment& Environment() { return *environment_; }
    FileClaims& LocalFiles() { return localFiles_; }

private:
    enum class ConnectOutcome { Connected, Unreachable, Abandoned };
    // Three connect attempts (with KEEP_ALIVE, the connection the last answer
    // left open first). A page's gives up on a cancel, which it takes, or a
    // stop; a download's (`download` names its URL) on a cancel, a stop or an
    // exit after this download, puts the URL back when the program is leaving,
    // and notes the failure and probes the line when the attempts run out.
    ConnectOutcome ConnectWithTries(HttpConnection& connection, int slot,
                                    const std::string* download = nullptr);
    // Tells a dead line from a dead site; shows the connection box once a run.
    void TestConnectivity(int slot);
    bool ProbeLineReachable();
    // Every reconnect of a download: the connection is closed, `pauseMs`
    // waited, one quick attempt made, then a download's ConnectWithTries.
    ConnectOutcome Reconnect(HttpConnection& connection, int slot, const std::string& url,
                             int pauseMs);
    void ProbeConnectivity(int slot);
    bool ResumeDownload(HttpConnection& connection, FetchState& state, FetchRequest& request,
                        bool flat);
    // A page that is also queued as a file is taken out of "To Download" and
    // held by the page worker's slot, which fetches it once for both; false
    // when it is not queued, held by a download worker, or not a plain file
    // name.
    bool ClaimPageDownload(int slot, const std::string& url);
    // Saves a claimed page and scans it from the same body; false when the
    // body could not be used as the page (the page is then fetched again).
    bool SaveAndScanPage(int slot, UrlRecord& record);
    // Scans the page a connection holds in its buffer (the answer's
    // `received` bytes).
    void ScanReceivedPage(const HttpConnection& c, const HttpAnswer& answer, UrlRecord& record,
                          int slot);
    // Raises and shows "URLs Scanned".
    void UrlScanned();
    // A saved stylesheet: queues the files it names and edits it for offline
    // reading. Nothing for other URLs.
    void ProcessStylesheet(const std::string& url);

    App& app_;
    // The parts of the App the fetches read and count into.
    AppSettings& settings_;
    const AppPaths& paths_;
    RunState& run_;
    UiPort& port_;
    CrawlQueues& queues_;
    TransferSlotTable& slots_;
    CrawlCounters& counters_;
    CrawlTally& tally_;
    const Timing& timing_;
    std::unique_ptr<AppFetchEnvironment> environment_;
    FileClaims localFiles_;
    std::atomic<bool> connectionBoxShown_{false};  // shown once a run (page workers)
    std::atomic<bool> downloadBoxShown_{false};    // and by the download workers
    // Each worker's connection, by its slot (a slot has one worker), and
    // what its last transaction left (made afresh with the connection).
    std::array<std::unique_ptr<HttpConnection>, kTransferSlotCount> pageConnections_;
    std::array<FetchState, kTransferSlotCount> pageStates_;
    std::array<std::unique_ptr<HttpConnection>, kTransferSlotCount> downloadConnections_;
    std::array<FetchState, kTransferSlotCount> downloadStates_;
};

}  // namespace wg
