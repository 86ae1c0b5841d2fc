#include "app/app.h"

#include "app/app_fetch_environment.h"
#include "net/http_connection.h"

#include "platform/files.h"
#include "platform/interrupt.h"
#include "settings/type_groups.h"
#include "util/log_file.h"
#include "util/text.h"

namespace wg {

App::App(UiPort& port)
    : port_(port), fetchEnvironment_(std::make_unique<AppFetchEnvironment>(*this)) {
    dupeHost_ = MakeDupeHost();
    dupes_ = std::make_unique<DupeService>(*dupeHost_);
}

DownloadEnvironment& App::FetchEnvironmentFor() {
    return *fetchEnvironment_;
}

App::~App() {
    if (!shutDown_ && initialised_) {
        Shutdown();
    }
    // Every worker looks at the run state between items, so joining ends;
    // no thread may outlive the object it reads.
    run_.StopWorkers();
    WakeWorkers();
    JoinAllThreads();
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
    for (auto& dir : settings.checkDirs) {
        dir.Set({});
    }
    settings.userAgent.Set(kDefaultUserAgent);

    // 4. The program directory and the paths below it.
    if (!options.programDir.empty()) {
        (void)platform::CreateDirectories(options.programDir);
        (void)platform::SetCurrentDirectory(options.programDir);
    }
    paths.programDir = platform::CurrentDirectory();
    paths.downloadDir =
        options.downloadDir.empty() ? paths.programDir / "Downloads" : options.downloadDir;
    paths.stateFile = paths.programDir / "Save.dat";
    paths.pointerFile = paths.programDir / "load.cfg";
    paths.historyFile = paths.programDir / "History.dta";
    paths.historyBackup = paths.programDir / "History.bak";
    paths.settingsFile = paths.programDir / "Grubbler.ini";
    paths.readMeFile = paths.programDir / "ReadMe.html";
    DebugLogFile().SetDirectory(paths.programDir.string());
    validUrlLog.SetDirectory(paths.programDir.string());

    // 5.-6. The lists and their mutexes exist with the object.
    // 7. The millisecond clock.
    (void)TimerFrequency();

    // 8. The settings file.
    port_.ProcessMessages();
    const bool settingsRead = ReadSettingsFile();
    std::string startupMessage = settingsRead ? "Loaded Settings:  " : "Welcome.  ";

    // 9. The wizard, unless the user chose the classic view or automatic loading.
    bool wizardAskedLoad = false;
    if (!settings.alwaysLoad.load() && !settings.startClassic.load()) {
        const WizardOutcome outcome = port_.RunWizard();
        if (outcome.exitRequested) {
            run_.StopWorkers();
            return true;
        }
        wizardAskedLoad = outcome.loadState;
    }

    // 11. Web pages count as wanted only when the file-type list can match ".htm".
    (void)DropUnwantedWebPagesBit(settings);

    // 12. The main window and the start-up message.
    mainWindow_ = port_.HasMainWindow();
    if (mainWindow_) {
        currentUrl.Set(port_.AddressText());
    }
    startupMessage += (settings.dft.load() & kGroupWebPages) != 0
                          ? "To retrieve a website, type the address above and press 'Go Fetch'."
                          : "In File Download Mode.";
    ShowStatus(startupMessage);

    // 13. Counters and the exit-after options start cleared.
    inProcessCount.store(0);
    filesDownloaded.store(0);
    urlsScanned.store(0);
    filesTaken.store(0);
    pagesTaken.store(0);
    run_.SetExitAfterThisDownload(false);
    run_.SetExitAfterLastDownload(false);

    // 14. The update check is started by front ends that offer it.

    // 15. Downloaded files are opened relative to the download directory. It is
    //     created when missing, so that files never land in the program directory.
    (void)platform::CreateDirectories(paths.downloadDir);
    (void)platform::SetCurrentDirectory(paths.downloadDir);

    LoadCookies();

    // 16.-17. Saved state and download history.
    if (settings.alwaysLoad.load() || wizardAskedLoad) {
        LoadStateAtStart();
    }
    if (settings.ignoreList.load() && !run_.HistoryLoaded()) {
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
            if (settings.verbose.load() && port_.AddressText().empty()) {
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
        currentUrl.Set(text);
    }
}

void App::ChangeToProgramDirectory() {
    (void)platform::SetCurrentDirectory(paths.programDir);
}

}  // namespace wg
