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
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/transfer_slots.h"
#include "app/ui_port.h"
#include "crawl/url_record.h"
#include "settings/app_settings.h"
#include "util/shared_text.h"
#include "util/url_error_log.h"

namespace wg {

// While true every worker leaves its loop after its current item.
extern std::atomic<bool> g_bStopWorkers;

class App;

// The process-wide App, or null before initialisation and from the start of shutdown.
App* CurrentApp();
// Clears the process-wide pointer when it still names `app`.
void ClearCurrentApp(App* app);

inline constexpr int kThreadHandleSlots = 33;
inline constexpr int kRecentUrlCount = 10;

struct AppPaths {
    std::filesystem::path programDir;
    std::filesystem::path downloadDir;    // SAVEPATH
    std::filesystem::path stateFile;      // Save.dat or a per-site state file
    std::filesystem::path pointerFile;    // load.cfg
    std::filesystem::path historyFile;    // History.dta
    std::filesystem::path historyBackup;  // History.bak
    std::filesystem::path settingsFile;   // Grubbler.ini
    std::filesystem::path readMeFile;     // ReadMe.html
};

struct InitOptions {
    // The program directory; empty means the current directory.
    std::filesystem::path programDir;
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

    // ---- window ----
    void ShowStatus(std::string_view text);
    void AppendStatus(std::string_view text);
    void SetAddressText(std::string_view text);
    void ChangeToProgramDirectory();
    void RefreshCounterText(Counter counter);

    // ---- worker steps ----
    void ItemStarted(const std::string* url);
    void ItemFinished(int slot);
    bool AllowMorePages();
    void StopCleanup();
    // Takes the oldest page; `keepRecord` tells the caller it owns the record
    // (it was not put into the visited list).
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord);
    // Takes the oldest file URL; empty when there is none to take.
    std::optional<std::string> TakeNextDownload(int slot);

    // What a worker does with an item it took; set before the workers start.
    // Without a handler an item is only counted through.
    std::function<bool(int slot, UrlRecord& record)> pageHandler;
    std::function<bool(int slot, const std::string& url)> downloadHandler;

    // Wakes idle workers at once (new work, stop or exit).
    void WakeWorkers();
    // Sleeps up to `ms`, returning early when woken.
    void IdleWait(int ms);

    // Number of workers alive.
    int LivePageWorkers() const { return livePageWorkers_.load(); }
    int LiveDownloadWorkers() const { return liveDownloadWorkers_.load(); }

    UiPort& Port() { return port_; }

    // ---- run-state flags ----
    std::atomic<bool> m_bAbortTransfers{false};
    std::atomic<bool> m_bExitRequested{false};
    std::atomic<bool> m_bPaused{false};
    std::atomic<bool> m_bStateLoaded{false};
    std::atomic<bool> m_bHoldWork{false};
    std::atomic<bool> m_bDownloadingUserFile{false};
    std::atomic<bool> m_bNewImageRequest{false};
    std::atomic<bool> m_bUpdatePending{false};
    std::atomic<bool> m_bMinimised{false};
    std::atomic<bool> m_bHistoryLoaded{false};
    std::atomic<bool> m_bClearVisitedOnStop{false};
    std::atomic<bool> m_bStateFileDirty{false};
    std::atomic<bool> m_bBackupPending{true};
    std::atomic<bool> m_bStopAddingLinks{false};
    std::atomic<bool> m_bPauseAfterDownloads{false};
    std::atomic<bool> m_bStopAddingHistory{false};
    std::atomic<bool> m_bExitAfterThisDownload{false};
    std::atomic<bool> m_bExitAfterLastDownload{false};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bCrawlStarted{false};

    AppSettings settings;
    AppPaths paths;

    // ---- texts ----
    SharedText currentUrl;    // the address field's text
    SharedText rejectReason;  // last reject reason, shown at the end of a crawl
    std::array<std::string, kRecentUrlCount> recentUrls;  // main thread only
    int recentUrlNewest = 0;
    std::array<std::string, kRecentUrlCount> recentSearches;  // main thread only
    int recentSearchNewest = 0;

    // ---- lists, each guarded by its own mutex; never hold two at once ----
    std::mutex linksMutex;  // "Links To Grubble"
    std::deque<UrlRecordPtr> linksToGrubble;
    std::mutex downloadMutex;  // "To Download"
    std::deque<std::string> toDownload;
    std::mutex visitedMutex;  // "Sites Visited": visited list and redirect files
    std::deque<UrlRecordPtr> visited;
    std::vector<std::pair<std::string, std::string>> redirectFiles;
    std::mutex dupeMutex;  // duplication data
    bool dupeDataExists = false;
    std::mutex ignoreMutex;  // "Sites to Ignore": download history and this run's downloads
    std::deque<std::string> downloadHistory;
    std::deque<std::string> runDownloads;
    std::mutex subDirMutex;  // sub-directory list
    std::vector<std::string> subDirs;
    bool subDirsExist = false;
    std::mutex inProcessMutex;  // the "In Process" recount
    UrlErrorLog urlErrorLog;
    ValidUrlLog validUrlLog;
    std::mutex imageMutex;  // the newest-image path
    std::string newestImage;
    std::string lastShownImage;

    // ---- counters ----
    std::atomic<std::uint32_t> inProcessCount{0};
    std::atomic<std::uint32_t> filesDownloaded{0};
    std::atomic<std::uint32_t> urlsScanned{0};
    std::atomic<std::uint32_t> filesTaken{0};
    std::atomic<std::uint32_t> pagesTaken{0};
    std::atomic<std::uint64_t> nextPeriodicSave{0};
    std::atomic<std::uint64_t> imagePreviewTime{0};

    // The status text shown at the end of start-up.
    std::string startupMessage;

private:
    bool ReadSettingsFile();
    void LoadStateAtStart();
    void LoadHistoryAtStart();
    void SaveStateAtExit();
    void SaveHistoryAtExit();
    void SavePeriodicState();
    void ApplyStartPriority(std::atomic<int>* threadId, bool pageWorker);

    void StartPageWorker(int handleSlot);
    void StartDownloadWorker(int handleSlot);
    void StartExtraWorkers();
    void ApplyPriority(int priority);
    void JoinAllThreads();
    void ReleaseLists();

    static void PageWorkerMain(std::atomic<int>* threadId);
    static void DownloadWorkerMain(std::atomic<int>* threadId);

    UiPort& port_;
    bool initialised_ = false;
    bool shutDown_ = false;
    std::atomic<bool> mainWindow_{false};

    std::atomic<int> livePageWorkers_{0};
    std::atomic<int> liveDownloadWorkers_{0};

    std::mutex threadsMutex_;  // the thread arrays below
    std::array<std::thread, kThreadHandleSlots> pageThreads_;
    std::array<std::thread, kThreadHandleSlots> downloadThreads_;
    std::vector<std::thread> extraThreads_;  // workers added by the exit-after options
    // System ids of the workers, for priority changes; 0 = none.
    std::array<std::atomic<int>, kThreadHandleSlots> pageThreadIds_{};
    std::array<std::atomic<int>, kThreadHandleSlots> downloadThreadIds_{};
    std::deque<std::atomic<int>> extraThreadIds_;

    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    std::uint64_t wakeGeneration_ = 0;
};

}  // namespace wg
