// The one application object: run-state flags, options, paths, the shared
// lists with their mutexes, the worker threads and the counters. Front ends
// create it, call Initialise, Run (or drive the main loop themselves) and
// Shutdown.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/app_types.h"
#include "app/crawl_snapshot.h"
#include "app/ui_port.h"
#include "crawl/url_record.h"
#include "crawl/worker_wakeups.h"
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
class DupeHost;
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

    // ---- lifecycle ----
    bool Initialise(const InitOptions& options = {});
    void Run();  // StartWorkers, main loop, LeaveMainLoop
    void Shutdown();

    // Pieces of Run for front ends whose own event loop drives the main loop.
    void StartWorkers();
    void MainLoopStep();  // one round of the loop body, without the 50 ms sleep
    void LeaveMainLoop();

    // ---- starting a crawl ----
    // "Go Fetch": false when nothing was started (empty or ftp address).
    bool StartCrawl(const CrawlRequest& request);
    bool StartCrawlFromWizard(const WizardAnswers& answers);
    // Names the per-site state and settings files after the address.
    void NameStateFileForUrl(std::string_view address);
    void RememberTypedUrl(const std::string& address);
    // The Down and Up keys of the address field.
    std::string RecentUrlOlder(const std::string& fieldText) const;
    std::string RecentUrlNewer(const std::string& fieldText) const;

    // ---- exit protocol ----

    // ---- stop and resume ----

    // ---- option setters with side effects ----

    // ---- the options on disk ----
    OptionFiles& Options();

    // ---- logs ----
    // A URL that could not be fetched, routed by VERBOSE, LOG_URL_ERRORS and LOGDEBUG.
    void RecordUrlError(int code, std::string_view url);
    std::string UrlErrorLogPath() const;
    // Appends a downloaded URL to "ValidURLs.log"; length 0 means the whole text.
    void LogValidUrl(std::string_view url, std::size_t length = 0);
    // The last system error as a message box ("System Error").
    void ShowWindowsError(const char* context);

    // ---- what the front ends show ----
    // The queue lengths, counters, run switches and "In Process" lines now.
    CrawlSnapshot Snapshot();

    // ---- window ----
    void ShowStatus(std::string_view text);
    void AppendStatus(std::string_view text);
    void SetAddressText(std::string_view text);
    void ChangeToProgramDirectory();
    void RefreshCounterText(Counter counter, bool listEmptied = false);

    // ---- worker steps ----

    // ---- the queues and the download history ----
    CrawlWork& Work();
    // The workers' threads, item steps and wake-ups.
    WorkerPool& Workers();
    // The options whose change has side effects.
    OptionSetters& Setters();
    // Stop, pause, resume, the exit-after choices, the request to exit.
    CrawlControl& Control();

    // ---- the workers' work on the network ----
    CrawlFetcher& Fetcher();
    // Makes the workers fetch from the network (front ends call it; without it
    // a worker only counts its items through).
    void UseNetworkWorkers();
    // A file of the download directory could not be created or written (a
    // system error). A full or read-only disk holds the queues and ends the
    // crawl with them kept, once every busy worker has put its item down.
    void DiskWriteFailed(int error, std::string_view localName);
    // The closing line of the crawl so far (see FormatCrawlSummary).
    std::string CrawlSummary() const;

    // Sets the exit request and ends the main loop's wait at once.
    void NoteExitRequested();

    UiPort& Port();
    // The queue viewers' ten recent search terms (main thread only).
    RecentTexts& RecentSearches();
    // The pauses and timeouts of this App and its connections; set before
    // the workers start.
    const Timing& Timings() const;
    void SetTimings(const Timing& timing);
    // The query pages' redirect scripts, reached through their lock.
    RedirectFileList RedirectFiles();
    // The crawl's lists, each reached through its lock.
    CrawlQueues& Queues();
    // The workers' slots: what each is transferring now.
    TransferSlotTable& Slots();
    const TransferSlotTable& Slots() const;

    // ---- the state file ----
    CrawlStateFile& StateFile();

    // ---- the last download and the newest picture ----
    LastDownloads& LastFiles();

    // ---- the duplication data ----
    DupeService& Dupes();

    // ---- run state ----
    // Stop, pause, held work and the exit-after choices; the workers' stop.
    RunState& State();
    const RunState& State() const;

    // The options in use and the files they name.
    AppSettings& Settings();
    const AppSettings& Settings() const;
    AppPaths& Paths();
    const AppPaths& Paths() const;
    // The address field's text, and the last reject reason (shown at the end of a crawl).
    SharedText& CurrentUrl();
    SharedText& RejectReason();
    UrlErrorLog& UrlErrors();
    ValidUrlLog& ValidUrls();
    // "Cookies.txt" in the program directory; guards itself.
    CookieJar& Cookies();
    CrawlCounters& Counters();
    const CrawlCounters& Counters() const;
    // What the current crawl came to.
    CrawlTally& Tally();
    // What the workers do with their items; set before the workers start.
    WorkHooks& Hooks();

    // The check directories and the list of their sub-directories.
    DirectorySearch& Directories();
    const DirectorySearch& Directories() const;
    // How a page from `pageHost` is edited for offline reading: its links
    // lead to local files only where this crawl saves them (in its reach, of
    // a wanted type, or on disk already).
    RewriteOptions RewriteOptionsFor(std::string_view pageHost);

private:
    bool ReadSettingsFile();
    void LoadStateAtStart();
    void LoadHistoryAtStart();
    void SaveStateAtExit();
    void SaveHistoryAtExit();
    void LoadCookies();
    void SaveCookies();
    void SavePeriodicState();
    void ReleaseLists();
    // The directories a build of the duplication data walks.
    std::vector<std::string> DupeDirectories();
    std::unique_ptr<DupeHost> MakeDupeHost();

    friend struct AppParts;
    friend class AppDupeHost;
    friend class CrawlControl;
    friend class WorkerPool;
    friend class OptionSetters;
    friend class AppPageWorker;
    friend class AppDownloadWorker;
    friend class CrawlStateFile;

    std::unique_ptr<AppParts> parts_;
};

}  // namespace wg
