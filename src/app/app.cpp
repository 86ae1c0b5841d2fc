#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_state_file.h"
#include "app/crawl_work.h"
#include "app/option_files.h"
#include "app/option_setters.h"
#include "app/worker_pool.h"

#include "app/app_fetch_environment.h"
#include "net/http_connection.h"

#include "platform/files.h"
#include "platform/interrupt.h"
#include "settings/type_groups.h"
#include "util/log_file.h"
#include "util/text.h"

namespace wg {

AppParts::AppParts(App& app, UiPort& uiPort)
    : port(uiPort),
      threads([&app](WorkerKind kind, std::atomic<int>* threadId) {
          return app.Workers().StartWorkerThread(kind, threadId);
      }),
      dirSearch(
          settings, paths, run,
          [&uiPort](const std::string& text, const std::string& caption) {
              uiPort.Tell(text, caption, Icon::Error);
          },
          [&app](std::string_view text) { app.ShowStatus(text); }) {}

AppParts::~AppParts() = default;

App::App(UiPort& port) : parts_(std::make_unique<AppParts>(*this, port)) {
    parts_->work = std::make_unique<CrawlWork>(*this, *parts_);
    parts_->workers = std::make_unique<WorkerPool>(*this, *parts_);
    parts_->setters = std::make_unique<OptionSetters>(*this, *parts_);
    parts_->control = std::make_unique<CrawlControl>(*this, *parts_);
    parts_->fetcher = std::make_unique<CrawlFetcher>(*this);
    parts_->stateFile = std::make_unique<CrawlStateFile>(*this);
    parts_->optionFiles = std::make_unique<OptionFiles>(*this);
    parts_->dupeHost = MakeDupeHost(*this);
    parts_->dupes = std::make_unique<DupeService>(*parts_->dupeHost);
}

App::~App() {
    if (!parts_->shutDown && parts_->initialised) {
        Shutdown();
    }
    // Every worker looks at the run state between items, so joining ends;
    // no thread may outlive the object it reads.
    parts_->run.StopWorkers();
    Workers().WakeWorkers();
    parts_->threads.JoinAll();
}

bool App::Initialise(const InitOptions& options) {
    // 1. Run-state flags start at their initial values (the member
    //    initialisers); the workers' stop is clear for a new App.
    parts_->run.LetWorkersRun();
    platform::IgnoreBrokenPipe();
    platform::IgnoreFileSizeLimitSignal();
    parts_->slots.Reset();
    parts_->initialised = true;

    // 2.-3. Option fields, texts and counters hold their initial values.
    parts_->port.ProcessMessages();
    for (auto& dir : parts_->settings.checkDirs) {
        dir.Set({});
    }
    parts_->settings.userAgent.Set(kDefaultUserAgent);

    // 4. The program directory and the paths below it.
    if (!options.programDir.empty()) {
        (void)platform::CreateDirectories(options.programDir);
        (void)platform::SetCurrentDirectory(options.programDir);
    }
    parts_->paths.programDir = platform::CurrentDirectory();
    parts_->paths.downloadDir =
        options.downloadDir.empty() ? parts_->paths.programDir / "Downloads" : options.downloadDir;
    parts_->paths.stateFile = parts_->paths.programDir / "Save.dat";
    parts_->paths.pointerFile = parts_->paths.programDir / "load.cfg";
    parts_->paths.historyFile = parts_->paths.programDir / "History.dta";
    parts_->paths.historyBackup = parts_->paths.programDir / "History.bak";
    parts_->paths.settingsFile = parts_->paths.programDir / "Grubbler.ini";
    parts_->paths.readMeFile = parts_->paths.programDir / "ReadMe.html";
    DebugLogFile().SetDirectory(parts_->paths.programDir.string());
    parts_->validUrlLog.SetDirectory(parts_->paths.programDir.string());

    // 5.-6. The lists and their mutexes exist with the object.
    // 7. The millisecond clock.
    (void)TimerFrequency();

    // 8. The settings file.
    parts_->port.ProcessMessages();
    const bool settingsRead = parts_->optionFiles->LoadSettings();
    std::string startupMessage = settingsRead ? "Loaded Settings:  " : "Welcome.  ";

    // 9. The wizard, unless the user chose the classic view or automatic loading.
    bool wizardAskedLoad = false;
    if (!parts_->settings.alwaysLoad.load() && !parts_->settings.startClassic.load()) {
        const WizardOutcome outcome = parts_->port.RunWizard();
        if (outcome.exitRequested) {
            parts_->run.StopWorkers();
            return true;
        }
        wizardAskedLoad = outcome.loadState;
    }

    // 11. Web pages count as wanted only when the file-type list can match ".htm".
    (void)DropUnwantedWebPagesBit(parts_->settings);

    // 12. The main window and the start-up message.
    parts_->mainWindow = parts_->port.HasMainWindow();
    if (parts_->mainWindow) {
        parts_->currentUrl.Set(parts_->port.AddressText());
    }
    startupMessage += (parts_->settings.dft.load() & kGroupWebPages) != 0
                          ? "To retrieve a website, type the address above and press 'Go Fetch'."
                          : "In File Download Mode.";
    ShowStatus(startupMessage);

    // 13. Counters and the exit-after options start cleared.
    parts_->counters.inProcessCount.store(0);
    parts_->counters.filesDownloaded.store(0);
    parts_->counters.urlsScanned.store(0);
    parts_->counters.filesTaken.store(0);
    parts_->counters.pagesTaken.store(0);
    parts_->run.SetExitAfterThisDownload(false);
    parts_->run.SetExitAfterLastDownload(false);

    // 14. The update check is started by front ends that offer it.

    // 15. Downloaded files are opened relative to the download directory. It is
    //     created when missing, so that files never land in the program directory.
    (void)platform::CreateDirectories(parts_->paths.downloadDir);
    (void)platform::SetCurrentDirectory(parts_->paths.downloadDir);

    (void)parts_->cookies.Load(parts_->paths.programDir / kCookieFileName);

    // 16.-17. Saved state and download history.
    if (parts_->settings.alwaysLoad.load() || wizardAskedLoad) {
        parts_->stateFile->Load(false);
    }
    if (parts_->settings.ignoreList.load() && !parts_->run.HistoryLoaded()) {
        Work().LoadHistory();
    }

    // 18. A resumed queue shows its first page and scope.
    if (parts_->mainWindow) {
        UrlRecordPtr first;
        {
            auto lock = parts_->queues.Pages();
            RecordList& linksToGrubble = *lock;
            first = linksToGrubble.Front();
        }
        if (first) {
            if (parts_->settings.verbose.load() && parts_->port.AddressText().empty()) {
                SetAddressText(first->url);
            }
            parts_->port.SetCrawlRunning(true);
            parts_->port.SetScopeButtons(first->allLinked != 0, first->withinDomain != 0);
        }
    }

    // 19. The history menu item follows its flag.
    parts_->port.SetStopAddingHistoryChecked(parts_->run.StopAddingHistory());
    return true;
}

void App::ShowStatus(std::string_view text) {
    if (parts_->mainWindow) {
        parts_->port.ShowStatus(text);
    }
}

void App::AppendStatus(std::string_view text) {
    if (parts_->mainWindow) {
        parts_->port.AppendStatus(text);
    }
}

void App::SetAddressText(std::string_view text) {
    if (parts_->port.HasMainWindow()) {
        parts_->port.SetAddressText(text);
    } else {
        parts_->currentUrl.Set(text);
    }
}

void App::ChangeToProgramDirectory() {
    (void)platform::SetCurrentDirectory(parts_->paths.programDir);
}

void App::UseNetworkWorkers() {
    parts_->hooks.pageHandler = [this](int slot, UrlRecord& record) {
        return parts_->fetcher->ProcessPage(slot, record);
    };
    parts_->hooks.downloadHandler = [this](int slot, const std::string& url) {
        return parts_->fetcher->ProcessDownload(slot, url);
    };
    parts_->hooks.alreadyOnDisk = [this](const std::string& url) {
        return FindOnDisk(url, SaveNameOptionsFrom(parts_->settings),
                          parts_->dirSearch.DiskSearchFor());
    };
}

}  // namespace wg
