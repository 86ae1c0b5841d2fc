// The one application object: run-state flags, options, paths, the shared
// lists with their mutexes, the worker threads and the counters. Front ends
// create it, call Initialise, Run (or drive the main loop themselves) and
// Shutdown.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/crawl_snapshot.h"
#include "app/crawl_tally.h"
#include "app/recent_texts.h"
#include "app/ui_port.h"
#include "crawl/crawl_counters.h"
#include "crawl/crawl_queues.h"
#include "crawl/record_list.h"
#include "crawl/run_state.h"
#include "crawl/url_list.h"
#include "crawl/url_record.h"
#include "crawl/worker_threads.h"
#include "crawl/worker_wakeups.h"
#include "download/directory_search.h"
#include "download/download_environment.h"
#include "download/download_transaction.h"
#include "download/dynamic_pages.h"
#include "download/file_claims.h"
#include "download/last_downloads.h"
#include "dupes/dupe_service.h"
#include "net/cookie_jar.h"
#include "net/transfer_slots.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "util/published_list.h"
#include "util/shared_text.h"
#include "util/timing.h"
#include "util/url_error_log.h"

namespace wg {

class App;
class CrawlFetcher;
class CrawlStateFile;
class OptionFiles;

// What a worker does with an item it took, and the "already downloaded"
// test of the download directories. Without a handler an item is only
// counted through; without the test nothing counts as on disk.
struct WorkHooks {
    std::function<bool(const std::string& url)> alreadyOnDisk;
    std::function<bool(int slot, UrlRecord& record)> pageHandler;
    std::function<bool(int slot, const std::string& url)> downloadHandler;
};

struct InitOptions {
    // The program directory; empty means the current directory.
    std::filesystem::path programDir;
    // The download directory until the settings name one; empty means
    // "Downloads" below the program directory.
    std::filesystem::path downloadDir;
};

// The main window's controls at the moment of "Go Fetch".
struct CrawlRequest {
    std::string address;                          // the address field
    CrawlScope scope = CrawlScope::OnlyThisPage;  // the scope buttons
    bool webPagesChecked = false;                 // the "Web Pages" box
};

// The start-up wizard's answers.
struct WizardAnswers {
    std::string address;
    bool fileMode = false;
    bool allLinked = false;
    bool withinDomain = false;
    std::uint8_t thirdFlag = 0;
    bool singlePage = false;
};

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
    void RequestExit();
    void ExitNow();
    void PageWorkerEnded();
    void DownloadWorkerEnded();

    // ---- stop and resume ----
    void Stop(bool clearVisited);
    void StopAll();
    void StopWithAbort(bool abort);
    void ResumeAfterStop();

    // ---- option setters with side effects ----
    void SetExitAfterThisDownload(bool flag);
    void SetExitAfterLastDownload(bool flag);
    void SetPauseAfterDownloads(bool flag);
    void PauseWhenDownloadsEmpty();
    void SetUrlThreadCount(int count);
    void SetDownloadThreadCount(int count);
    void SetThreadPriority(int priority);
    void SetUserAgent(std::string_view text);
    void SetMinDownloadQueue(int count);
    void SetMaxFileSize(int size);
    void ToggleStopAddingHistory();
    void TogglePause();

    // ---- the options on disk ----
    OptionFiles& Options() { return *optionFiles_; }
    // IGNORE_LIST: turning it on loads the download history when not loaded yet.
    void SetIgnoreList(bool on);

    // ---- logs ----
    // A URL that could not be fetched, routed by VERBOSE, LOG_URL_ERRORS and LOGDEBUG.
    void RecordUrlError(int code, std::string_view url);
    // Sets LOG_URL_ERRORS and opens or closes the URL error log beside the state file.
    void SetUrlErrorLogging(bool on);
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
    void ItemStarted(const std::string* url);
    void ItemFinished(int slot);
    // No item queued and none in hand, seen in one instant.
    bool NoWorkLeft();
    bool AllowMorePages();
    void StopCleanup();

    // ---- work queues and histories ----
    // Queues a page. `filtered` (links found on pages, guessed URLs) applies the
    // search-word, skip-word and visited tests and shows nothing; unfiltered
    // adds show the outcome. `baseUrl`, when given, is set before the record is
    // visible to any worker. Returns the queued record or null.
    UrlRecordPtr AddSite(std::string_view url, std::uint8_t allLinked, std::uint8_t withinDomain,
                         std::uint8_t thirdFlag, bool filtered,
                         const std::string* baseUrl = nullptr);
    // Queues a file URL; a user-added URL skips the history, keyword and
    // on-disk tests.
    void AddFile(std::string_view url, bool userAdded, bool fileUrlMode);
    // The add-time file-type test, then AddFile. `requiredDomain` (may be
    // empty) must occur in the URL when the scope is "Within This Domain Only".
    void AddFileIfWanted(std::string_view url, std::string_view requiredDomain, bool userAdded);
    // Takes the oldest page; `keepRecord` tells the caller it owns the record
    // (it was not put into the visited list).
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord);
    void RecordVisited(const UrlRecordPtr& record, bool freeIfNotRecorded);
    bool RemovePage(const UrlRecord* record);
    void PageDone(const UrlRecord& record);
    // Takes the oldest file URL; empty when there is none to take.
    std::optional<std::string> TakeNextDownload(int slot);
    void EmptyDownloads();
    bool RemoveDownload(std::string_view url, bool recordAsDownloaded);
    void RefreshDownloadCount();
    void RecordDownloaded(std::string_view url);
    bool DownloadedBefore(std::string_view url);
    void ClearRunDownloads();
    bool UrlInHistory(std::string_view url);
    void EraseUrlHistory(bool ask);
    void GuessUrls(const UrlRecord& record, bool filtered);
    void GuessFileUrls(std::string_view url);
    // Apply changed keyword lists to the queues already filled, after asking.
    void ApplySkipKeywordsToQueue();
    void ApplyDownloadKeywordsToQueue();
    void ApplySearchWordsToQueue();
    // Records a refusal reason (cut to 255 characters) for the end of the crawl.
    void SetRejectReason(std::string_view reason);

    // ---- the workers' work on the network ----
    CrawlFetcher& Fetcher() { return *fetcher_; }
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
    // No worker thread is alive any more.
    bool AllWorkersEnded() const;
    // Wakes every idle worker at once (stop, pause, exit, a changed limit).
    void WakeWorkers();
    // One item was queued: wakes one idle worker of that kind.
    void WakeOneWorker(WorkerKind kind);

    // Number of workers alive.
    int LivePageWorkers() const { return livePageWorkers_.load(); }
    int LiveDownloadWorkers() const { return liveDownloadWorkers_.load(); }

    UiPort& Port() { return port_; }
    // The queue viewers' ten recent search terms (main thread only).
    RecentTexts& RecentSearches() { return recentSearches_; }
    // The pauses and timeouts of this App and its connections; set before
    // the workers start.
    const Timing& Timings() const { return timing_; }
    void SetTimings(const Timing& timing) { timing_ = timing; }
    // The query pages' redirect scripts, reached through their lock.
    RedirectFileList RedirectFiles() { return RedirectFileList(redirectMutex_, redirectFiles_); }
    // The crawl's lists, each reached through its lock.
    CrawlQueues& Queues() { return queues_; }
    // The workers' slots: what each is transferring now.
    TransferSlotTable& Slots() { return slots_; }
    const TransferSlotTable& Slots() const { return slots_; }

    // ---- the state file ----
    CrawlStateFile& StateFile() { return *stateFile_; }
    void SetPeriodicSave(bool on);
    // The URL a download worker is fetching (empty: none), and the page a
    // page worker is scanning (null: none): a state save keeps them queued.
    void NoteHeldDownload(int slot, std::string_view url);
    void NoteHeldPage(int slot, UrlRecordPtr record);
    // Whether a download worker is fetching `url` (call with "To Download" locked).
    bool HeldByDownloadWorker(std::string_view url);

    // ---- the download history file ----
    // Writes "History.dta" (the old file becomes "History.bak"); a run that
    // never read it and changed nothing in the history leaves both alone.
    void SaveHistory();
    // Reads "History.dta" (else "History.bak") after what the history holds.
    void LoadHistory();

    // ---- the last download and the newest picture ----
    LastDownloads& LastFiles() { return lastFiles_; }
    // SHOW_LAST_IMAGE: on, the last picture comes back after 3 s; off, the
    // preview shows its placeholder at once.
    void SetShowLastImage(bool on);

    // ---- the duplication data ----
    DupeService& Dupes() { return *dupes_; }
    // RUNTIME_DUPLICATE_DETECT; a change asks for the list to be built again.
    void SetRuntimeDuplicateDetect(bool on);

    // ---- run state ----
    // Stop, pause, held work and the exit-after choices; the workers' stop.
    RunState& State() { return run_; }
    const RunState& State() const { return run_; }

    // The options in use and the files they name.
    AppSettings& Settings() { return settings_; }
    const AppSettings& Settings() const { return settings_; }
    AppPaths& Paths() { return paths_; }
    const AppPaths& Paths() const { return paths_; }
    // The address field's text, and the last reject reason (shown at the end of a crawl).
    SharedText& CurrentUrl() { return currentUrl_; }
    SharedText& RejectReason() { return rejectReason_; }
    UrlErrorLog& UrlErrors() { return urlErrorLog_; }
    ValidUrlLog& ValidUrls() { return validUrlLog_; }
    // "Cookies.txt" in the program directory; guards itself.
    CookieJar& Cookies() { return cookies_; }
    CrawlCounters& Counters() { return counters_; }
    const CrawlCounters& Counters() const { return counters_; }
    // What the current crawl came to.
    CrawlTally& Tally() { return tally_; }
    // What the workers do with their items; set before the workers start.
    WorkHooks& Hooks() { return hooks_; }

    // The check directories and the list of their sub-directories.
    DirectorySearch& Directories() { return dirSearch_; }
    const DirectorySearch& Directories() const { return dirSearch_; }
    // How a page from `pageHost` is edited for offline reading: its links
    // lead to local files only where this crawl saves them (in its reach, of
    // a wanted type, or on disk already).
    struct RewriteOptions RewriteOptionsFor(std::string_view pageHost);

private:
    AppSettings settings_;
    AppPaths paths_;
    SharedText currentUrl_;
    SharedText rejectReason_;
    UrlErrorLog urlErrorLog_;
    ValidUrlLog validUrlLog_;
    CookieJar cookies_;
    CrawlCounters counters_;
    CrawlTally tally_;
    WorkHooks hooks_;
    LastDownloads lastFiles_{settings_};
    std::mutex inProcessMutex_;  // the "In Process" recount

    std::atomic<bool> historyChanged_{false};  // recorded into or erased this run

    bool ReadSettingsFile();
    void LoadStateAtStart();
    void LoadHistoryAtStart();
    void SaveStateAtExit();
    void SaveHistoryAtExit();
    void LoadCookies();
    void SaveCookies();
    void SavePeriodicState();
    // Removes the queued pages for which `remove` holds, as taken pages.
    void PurgeQueuedPages(const std::function<bool(const UrlRecord&)>& remove);
    void ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker);

    void StartExtraWorkers();
    void ApplyPriority(int priority);
    void ReleaseLists();
    // The directories a build of the duplication data walks.
    std::vector<std::string> DupeDirectories();
    std::unique_ptr<DupeHost> MakeDupeHost();
    friend class AppDupeHost;

    // A worker of `kind` on a thread of its own; it notes its system id in `threadId`.
    std::thread StartWorkerThread(WorkerKind kind, std::atomic<int>* threadId);
    friend class AppPageWorker;
    friend class CrawlStateFile;
    friend class AppDownloadWorker;

    UiPort& port_;
    std::unique_ptr<DupeHost> dupeHost_;
    std::unique_ptr<DupeService> dupes_;  // after its host: it is gone first
    RunState run_;
    RecentTexts recentUrls_;      // typed addresses; main thread only
    RecentTexts recentSearches_;  // the viewers' search terms; main thread only
    Timing timing_;
    CrawlQueues queues_;
    // The query pages' redirect scripts and their main parameters.
    std::mutex redirectMutex_;
    RedirectFileRecords redirectFiles_;
    TransferSlotTable slots_;
    bool initialised_ = false;
    bool shutDown_ = false;
    std::atomic<bool> mainWindow_{false};

    std::atomic<bool> stopEnding_{false};          // a worker is ending a Stop
    std::atomic<bool> itemsSinceFinished_{false};  // work was taken since the last "Finished."
    SharedText diskFullText_;                      // "Disk full: ...", shown when the crawl ends
    std::atomic<bool> diskStopPending_{false};     // the crawl is to end for a full disk
    std::atomic<int> livePageWorkers_{0};
    std::atomic<int> liveDownloadWorkers_{0};

    WorkerThreads threads_;

    // The window-text lock of the counter texts, tried for 1 ms only.
    std::mutex counterTextMutex_;

    // The "delete the save file?" question is asked once at a time.
    std::atomic<bool> stopQuestionOpen_{false};
    std::unique_ptr<CrawlFetcher> fetcher_;  // after the parts it refers to
    std::unique_ptr<CrawlStateFile> stateFile_;
    std::unique_ptr<OptionFiles> optionFiles_;

    // Idle workers wait here for work or a stop; the main loop for an exit.
    WorkerWakeups wakeups_;
    DirectorySearch dirSearch_;
};

}  // namespace wg
