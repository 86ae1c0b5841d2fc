#include "app/app.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_state_file.h"
#include "app/option_files.h"

#include "app/app_fetch_environment.h"
#include "net/http_connection.h"

#include "platform/files.h"
#include "platform/interrupt.h"
#include "settings/type_groups.h"
#include "util/log_file.h"
#include "util/text.h"

namespace wg {

App::App(UiPort& port)
    : port_(port),
      threads_([this](WorkerKind kind, std::atomic<int>* threadId) {
          return StartWorkerThread(kind, threadId);
      }),
      dirSearch_(
          settings_, paths_, run_,
          [this](const std::string& text, const std::string& caption) {
              port_.Tell(text, caption, Icon::Error);
          },
          [this](std::string_view text) { ShowStatus(text); }) {
    fetcher_ = std::make_unique<CrawlFetcher>(*this);
    stateFile_ = std::make_unique<CrawlStateFile>(*this);
    optionFiles_ = std::make_unique<OptionFiles>(*this);
    dupeHost_ = MakeDupeHost();
    dupes_ = std::make_unique<DupeService>(*dupeHost_);
}

App::~App() {
    if (!shutDown_ && initialised_) {
        Shutdown();
    }
    // Every worker looks at the run state between items, so joining ends;
    // no thread may outlive the object it reads.
    run_.StopWorkers();
    WakeWorkers();
    threads_.JoinAll();
}

bool App::Initialise(const InitOptions& options) {
    // 1. Run-state flags start at their initial values (the member
    //    initialisers); the workers' stop is clear for a new App.
    run_.LetWorkersRun();
    platform::IgnoreBrokenPipe();
    platform::IgnoreFileSizeLimitSignal();
    slots_.Reset();
    initialised_ = true;

    // 2.-3. Option fields, texts and counters hold their initial values.
    port_.ProcessMessages();
    for (auto& dir : settings_.checkDirs) {
        dir.Set({});
    }
    settings_.userAgent.Set(kDefaultUserAgent);

    // 4. The program directory and the paths below it.
    if (!options.programDir.empty()) {
        (void)platform::CreateDirectories(options.programDir);
        (void)platform::SetCurrentDirectory(options.programDir);
    }
    paths_.programDir = platform::CurrentDirectory();
    paths_.downloadDir =
        options.downloadDir.empty() ? paths_.programDir / "Downloads" : options.downloadDir;
    paths_.stateFile = paths_.programDir / "Save.dat";
    paths_.pointerFile = paths_.programDir / "load.cfg";
    paths_.historyFile = paths_.programDir / "History.dta";
    paths_.historyBackup = paths_.programDir / "History.bak";
    paths_.settingsFile = paths_.programDir / "Grubbler.ini";
    paths_.readMeFile = paths_.programDir / "ReadMe.html";
    DebugLogFile().SetDirectory(paths_.programDir.string());
    validUrlLog_.SetDirectory(paths_.programDir.string());

    // 5.-6. The lists and their mutexes exist with the object.
    // 7. The millisecond clock.
    (void)TimerFrequency();

    // 8. The settings file.
    port_.ProcessMessages();
    const bool settingsRead = ReadSettingsFile();
    std::string startupMessage = settingsRead ? "Loaded Settings:  " : "Welcome.  ";

    // 9. The wizard, unless the user chose the classic view or automatic loading.
    bool wizardAskedLoad = false;
    if (!settings_.alwaysLoad.load() && !settings_.startClassic.load()) {
        const WizardOutcome outcome = port_.RunWizard();
        if (outcome.exitRequested) {
            run_.StopWorkers();
            return true;
        }
        wizardAskedLoad = outcome.loadState;
    }

    // 11. Web pages count as wanted only when the file-type list can match ".htm".
    (void)DropUnwantedWebPagesBit(settings_);

    // 12. The main window and the start-up message.
    mainWindow_ = port_.HasMainWindow();
    if (mainWindow_) {
        currentUrl_.Set(port_.AddressText());
    }
    startupMessage += (settings_.dft.load() & kGroupWebPages) != 0
                          ? "To retrieve a website, type the address above and press 'Go Fetch'."
                          : "In File Download Mode.";
    ShowStatus(startupMessage);

    // 13. Counters and the exit-after options start cleared.
    counters_.inProcessCount.store(0);
    counters_.filesDownloaded.store(0);
    counters_.urlsScanned.store(0);
    counters_.filesTaken.store(0);
    counters_.pagesTaken.store(0);
    run_.SetExitAfterThisDownload(false);
    run_.SetExitAfterLastDownload(false);

    // 14. The update check is started by front ends that offer it.

    // 15. Downloaded files are opened relative to the download directory. It is
    //     created when missing, so that files never land in the program directory.
    (void)platform::CreateDirectories(paths_.downloadDir);
    (void)platform::SetCurrentDirectory(paths_.downloadDir);

    LoadCookies();

    // 16.-17. Saved state and download history.
    if (settings_.alwaysLoad.load() || wizardAskedLoad) {
        LoadStateAtStart();
    }
    if (settings_.ignoreList.load() && !run_.HistoryLoaded()) {
        LoadHistoryAtStart();
    }

    // 18. A resumed queue shows its first page and scope.
    if (mainWindow_) {
        UrlRecordPtr first;
        {
            auto lock = queues_.Pages();
            RecordList& linksToGrubble = *lock;
            first = linksToGrubble.Front();
        }
        if (first) {
            if (settings_.verbose.load() && port_.AddressText().empty()) {
                SetAddressText(first->url);
            }
            port_.SetCrawlRunning(true);
            port_.SetScopeButtons(first->allLinked != 0, first->withinDomain != 0);
        }
    }

    // 19. The history menu item follows its flag.
    port_.SetStopAddingHistoryChecked(run_.StopAddingHistory());
    return true;
}

void App::ShowStatus(std::string_view text) {
    if (mainWindow_) {
        port_.ShowStatus(text);
    }
}

void App::AppendStatus(std::string_view text) {
    if (mainWindow_) {
        port_.AppendStatus(text);
    }
}

void App::SetAddressText(std::string_view text) {
    if (port_.HasMainWindow()) {
        port_.SetAddressText(text);
    } else {
        currentUrl_.Set(text);
    }
}

void App::ChangeToProgramDirectory() {
    (void)platform::SetCurrentDirectory(paths_.programDir);
}

void App::UseNetworkWorkers() {
    hooks_.pageHandler = [this](int slot, UrlRecord& record) {
        return fetcher_->ProcessPage(slot, record);
    };
    hooks_.downloadHandler = [this](int slot, const std::string& url) {
        return fetcher_->ProcessDownload(slot, url);
    };
    hooks_.alreadyOnDisk = [this](const std::string& url) {
        return FindOnDisk(url, SaveNameOptionsFrom(settings_), dirSearch_.DiskSearchFor());
    };
}

}  // namespace wg
