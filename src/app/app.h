// The application object: it assembles the crawl's parts and services and
// runs its life. Front ends create it, call Initialise, Run (or drive the
// main loop themselves) and Shutdown; they read Snapshot and give commands
// through the services.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/app_types.h"
#include "app/crawl_snapshot.h"
#include "app/ui_port.h"
#include "download/dynamic_pages.h"

namespace wg {

struct AppParts;
struct AppPaths;
struct AppSettings;
struct CrawlCounters;
struct RewriteOptions;
struct Timing;
class CookieJar;
class CrawlFetcher;
class CrawlQueues;
class CrawlStateFile;
class CrawlTally;
class CrawlWork;
class WorkerPool;
class OptionSetters;
class CrawlControl;
class DirectorySearch;
class DupeService;
class LastDownloads;
class OptionFiles;
class RecentTexts;
class RunState;
class SharedText;
class TransferSlotTable;
class UrlErrorLog;
class ValidUrlLog;

class App {
public:
    explicit App(UiPort& port);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // ---- lifecycle: Run is StartWorkers, the main loop and LeaveMainLoop ----
    bool Initialise(const InitOptions& options = {});
    void Run();
    void Shutdown();
    // For front ends whose own event loop drives the main loop.
    void StartWorkers();
    void MainLoopStep();  // one round of the loop body, without the 50 ms sleep
    void LeaveMainLoop();
    // Sets the exit request and ends the main loop's wait at once.
    void NoteExitRequested();
    // Workers fetch from the network (else they count their items through).
    void UseNetworkWorkers();

    // ---- starting a crawl ----
    // "Go Fetch": false when nothing was started (empty or ftp address).
    bool StartCrawl(const CrawlRequest& request);
    bool StartCrawlFromWizard(const WizardAnswers& answers);
    // Names the per-site state and settings files after the address.
    void NameStateFileForUrl(std::string_view address);
    // The typed addresses, for the Down and Up keys of the address field.
    RecentTexts& RecentUrls();

    // ---- what the front ends show ----
    // The queue lengths, counters, run switches and "In Process" lines now.
    CrawlSnapshot Snapshot();
    // The closing line of the crawl so far.
    std::string CrawlSummary() const;
    void ShowStatus(std::string_view text);
    void AppendStatus(std::string_view text);
    void SetAddressText(std::string_view text);
    void RefreshCounterText(Counter counter, bool listEmptied = false);
    void ChangeToProgramDirectory();

    // ---- faults and logs ----
    // A file of the download directory could not be created or written: a
    // full or read-only disk holds the queues and ends the crawl with them kept.
    void DiskWriteFailed(int error, std::string_view localName);
    // A URL that could not be fetched, routed by VERBOSE, LOG_URL_ERRORS and LOGDEBUG.
    void RecordUrlError(int code, std::string_view url);
    std::string UrlErrorLogPath() const;
    // Appends a downloaded URL to "ValidURLs.log"; length 0 means the whole text.
    void LogValidUrl(std::string_view url, std::size_t length = 0);
    // The last system error as a message box ("System Error").
    void ShowWindowsError(const char* context);

    // ---- the services ----
    CrawlWork& Work();            // queuing, taking, held items, the download history
    WorkerPool& Workers();        // the workers' threads, item steps and wake-ups
    CrawlControl& Control();      // stop, pause, resume, exit-after, the exit request
    CrawlFetcher& Fetcher();      // the workers' work on the network
    CrawlStateFile& StateFile();  // save, load and recover the crawl
    OptionFiles& Options();       // the settings file and the options' defaults
    OptionSetters& Setters();     // the options whose change has side effects
    DupeService& Dupes();         // the duplication data
    LastDownloads& LastFiles();   // "Open Last Download" and the newest picture
    DirectorySearch& Directories();
    const DirectorySearch& Directories() const;

    // ---- the parts they share ----
    UiPort& Port();
    RunState& State();  // stop, pause, held work, the exit-after choices
    const RunState& State() const;
    AppSettings& Settings();
    const AppSettings& Settings() const;
    AppPaths& Paths();
    const AppPaths& Paths() const;
    CrawlQueues& Queues();       // the crawl's lists, each reached through its lock
    TransferSlotTable& Slots();  // what each worker is transferring now
    const TransferSlotTable& Slots() const;
    CrawlCounters& Counters();
    const CrawlCounters& Counters() const;
    CrawlTally& Tally();            // what the current crawl came to
    WorkHooks& Hooks();             // what the workers do with their items; set before they start
    const Timing& Timings() const;  // pauses and timeouts; set before the workers start
    void SetTimings(const Timing& timing);
    RedirectFileList RedirectFiles();  // the query pages' redirect scripts, under their lock
    SharedText& CurrentUrl();          // the address field's text
    SharedText& RejectReason();        // the last refusal, shown at the end of a crawl
    UrlErrorLog& UrlErrors();
    ValidUrlLog& ValidUrls();
    CookieJar& Cookies();           // "Cookies.txt" in the program directory
    RecentTexts& RecentSearches();  // the queue viewers' search terms (main thread only)
    // How a page from `pageHost` is edited for offline reading: its links lead
    // to local files only where this crawl saves them.
    RewriteOptions RewriteOptionsFor(std::string_view pageHost);

private:
    friend class AppDupeHost;
    friend class AppPageWorker;
    friend class AppDownloadWorker;
    friend class CrawlStateFile;

    std::unique_ptr<AppParts> parts_;
};

}  // namespace wg
