// What an App holds: the options and paths, the crawl's lists and
// counters, the run state, the workers' slots and threads, and the services
// built over them. Only the App's own files see inside it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "app/app.h"
#include "app/crawl_tally.h"
#include "app/recent_texts.h"
#include "crawl/crawl_counters.h"
#include "crawl/crawl_queues.h"
#include "crawl/run_state.h"
#include "crawl/worker_threads.h"
#include "crawl/worker_wakeups.h"
#include "download/directory_search.h"
#include "download/dynamic_pages.h"
#include "download/last_downloads.h"
#include "dupes/dupe_service.h"
#include "net/cookie_jar.h"
#include "net/transfer_slots.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "util/shared_text.h"
#include "util/timing.h"
#include "util/url_error_log.h"

namespace wg {

class CrawlFetcher;
class CrawlStateFile;
class CrawlWork;
class WorkerPool;
class OptionSetters;
class CrawlControl;
class OptionFiles;

struct AppParts {
    AppParts(App& app, UiPort& port);
    ~AppParts();

    UiPort& port;
    AppSettings settings;
    AppPaths paths;
    SharedText currentUrl;
    SharedText rejectReason;  // the last refusal, shown at the end of a crawl
    UrlErrorLog urlErrorLog;
    ValidUrlLog validUrlLog;
    CookieJar cookies;
    CrawlCounters counters;
    CrawlTally tally;
    WorkHooks hooks;
    LastDownloads lastFiles{settings};
    std::mutex inProcessMutex;  // the "In Process" recount

    std::atomic<bool> historyChanged{false};  // recorded into or erased this run

    std::unique_ptr<DupeHost> dupeHost;
    std::unique_ptr<DupeService> dupes;  // after its host: it is gone first
    RunState run;
    RecentTexts recentUrls;      // typed addresses; main thread only
    RecentTexts recentSearches;  // the viewers' search terms; main thread only
    Timing timing;
    CrawlQueues queues;
    // The query pages' redirect scripts and their main parameters.
    std::mutex redirectMutex;
    RedirectFileRecords redirectFiles;
    TransferSlotTable slots;
    bool initialised = false;
    bool shutDown = false;
    std::atomic<bool> mainWindow{false};

    std::atomic<bool> stopEnding{false};          // a worker is ending a Stop
    std::atomic<bool> itemsSinceFinished{false};  // work was taken since the last "Finished."
    SharedText diskFullText;                      // "Disk full: ...", shown when the crawl ends
    std::atomic<bool> diskStopPending{false};     // the crawl is to end for a full disk
    std::atomic<int> livePageWorkers{0};
    std::atomic<int> liveDownloadWorkers{0};

    WorkerThreads threads;

    // The window-text lock of the counter texts, tried for 1 ms only.
    std::mutex counterTextMutex;

    // The "delete the save file?" question is asked once at a time.
    std::atomic<bool> stopQuestionOpen{false};
    std::unique_ptr<CrawlFetcher> fetcher;  // after the parts it refers to
    std::unique_ptr<CrawlStateFile> stateFile;
    std::unique_ptr<CrawlWork> work;
    std::unique_ptr<WorkerPool> workers;
    std::unique_ptr<OptionSetters> setters;
    std::unique_ptr<CrawlControl> control;
    std::unique_ptr<OptionFiles> optionFiles;

    // Idle workers wait here for work or a stop; the main loop for an exit.
    WorkerWakeups wakeups;
    DirectorySearch dirSearch;
};

// What the duplication data asks of the App.
std::unique_ptr<DupeHost> MakeDupeHost(App& app);

}  // namespace wg
