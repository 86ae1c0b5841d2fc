// Saving and loading the state file: the page queue, the visited list and
// the download queue, with a backup once per run, and recovery of a corrupt
// file through its backup.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/crawl_control.h"
#include "app/crawl_state_file.h"

#include "app/app_parts.h"
#include "app/option_files.h"
#include "crawl/block_pool.h"
#include "download/save_names.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "settings/settings_file.h"
#include "settings/type_filters.h"
#include "store/state_file.h"
#include "util/error_texts.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {

CrawlStateFile::CrawlStateFile(App& app)
    : app_(app),
      settings_(app.Settings()),
      paths_(app.Paths()),
      run_(app.State()),
      port_(app.Port()),
      queues_(app.Queues()),
      counters_(app.Counters()),
      timing_(app.Timings()) {}

namespace {

// The state file's name with its last three characters replaced.
std::filesystem::path WithLastThree(const std::filesystem::path& path, std::string_view three) {
    std::string text = path.string();
    if (text.size() < 3) {
        return text + std::string(three);
    }
    text.replace(text.size() - 3, 3, three);
    return text;
}

// "Save.dat" → "Save.bad": the first of the last three characters becomes
// 'b', the last 'd'.
std::filesystem::path QuarantineName(const std::filesystem::path& path) {
    std::string text = path.string();
    if (text.size() < 3) {
        return text + ".bad";
    }
    text[text.size() - 3] = 'b';
    text[text.size() - 1] = 'd';
    return text;
}

// Calls `tick` every 100 ms (the first time after 60 ms) of a long load.
class ProgressTicker {
public:
    explicit ProgressTicker(std::function<void()> tick)
        : tick_(std::move(tick)), next_(platform::SteadyMilliseconds() + 60) {}
    void Poll() {
        const std::uint64_t now = platform::SteadyMilliseconds();
        if (now >= next_) {
            next_ = now + 100;
            tick_();
        }
    }

private:
    std::function<void()> tick_;
    std::uint64_t next_;
};

}  // namespace

std::filesystem::path CrawlStateFile::BackupName() const {
    return WithLastThree(paths_.stateFile, run_.StateLoaded() ? "bak" : "bac");
}

namespace {

constexpr std::string_view kStateFileFilter = "Save Files (*.dat *.sav)";

}  // namespace

bool CrawlStateFile::LoadAs() {
    const std::string chosen =
        port_.ChooseOpenFile("Load As", kStateFileFilter, paths_.stateFile.parent_path().string());
    if (chosen.empty()) {
        return false;
    }
    paths_.stateFile = CopyBounded(chosen, kPathCapacity);
    const bool wasPaused = run_.PauseAndTell();
    Load(false);
    run_.SetPaused(wasPaused);
    (void)EnterDirectory(paths_.downloadDir);
    return true;
}

bool CrawlStateFile::SaveAs() {
    std::string chosen =
        port_.ChooseSaveFile("Save As", kStateFileFilter, paths_.stateFile.parent_path().string());
    if (chosen.empty()) {
        return false;
    }
    if (std::filesystem::path(chosen).extension().empty()) {
        chosen += ".dat";
    }
    const std::filesystem::path current = paths_.stateFile;
    paths_.stateFile = CopyBounded(chosen, kPathCapacity);
    (void)Save(false);
    paths_.stateFile = current;
    return true;
}

bool CrawlStateFile::Save(bool beforeExit) {
    if (run_.WorkHeld()) {
        app_.ShowStatus("Still loading state file. Please try again later.");
        return false;
    }
    if (beforeExit) {
        app_.Control().SetExitAfterThisDownload(true);
    }
    const std::filesystem::path stateFile = paths_.stateFile;
    const bool exists = platform::FileExists(stateFile);
    bool queuesEmpty = false;
    {
        auto lock = queues_.Pages();
        RecordList& linksToGrubble = *lock;
        queuesEmpty = linksToGrubble.Empty();
    }
    if (queuesEmpty) {
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        queuesEmpty = toDownload.Empty();
    }
    if (queuesEmpty) {
        auto lock = queues_.Held();
        auto& heldDownloads = lock->downloads;
        auto& heldPages = lock->pages;
        queuesEmpty = heldDownloads.empty() && heldPages.empty();
    }
    bool reset = false;
    if (queuesEmpty && exists) {
        if (port_.Ask("Lists are empty. Do you still wish to \n delete your previous save file? ",
                      "Warning", Buttons::YesNo, Icon::Question) != Answer::Yes) {
            return false;
        }
        reset = true;
    }

    // One backup per run, of the file as it was before this run's first save.
    if (run_.TakeBackupPending() && exists) {
        std::string old;
        int error = 0;
        if (!platform::ReadWholeFile(stateFile, &old, &error) ||
            (error = platform::WriteFileAtomically(BackupName(), old)) != 0) {
            const std::string text = FileErrorText(error);
            app_.ShowStatus(text.empty() ? "Failed to backup save file." : text);
        }
    }

    if (reset) {
        (void)platform::ForceDelete(stateFile);
        // A per-site settings file goes with its state file; the main settings
        // file never does.
        if (paths_.settingsFile.filename() != kSettingsFileName) {
            (void)platform::ForceDelete(paths_.settingsFile);
        }
        paths_.stateFile = paths_.programDir / "Save.dat";
        app_.Options().SaveStatePointer();
        return true;
    }

    app_.ShowStatus("Saving State File...");
    std::string image;
    AppendStateHeader(image);
    {
        std::string records;
        std::int32_t count = 0;
        auto lock = queues_.Pages();
        RecordList& linksToGrubble = *lock;
        // The pages the page workers are scanning come first: a resumed
        // crawl scans them again.
        std::vector<UrlRecordPtr> held;
        {
            auto heldLock = queues_.Held();
            auto& heldPages = heldLock->pages;
            for (const auto& [slot, record] : heldPages) {
                held.push_back(record);
            }
        }
        for (const UrlRecordPtr& record : held) {
            count += AppendStatePageRecord(records, *record) ? 1 : 0;
        }
        for (const UrlRecordPtr& record : linksToGrubble.Entries()) {
            if (!record) {
                break;
            }
            count += AppendStatePageRecord(records, *record) ? 1 : 0;
        }
        AppendStateCount(image, count);
        image += records;
    }
    app_.AppendStatus("..");
    {
        std::string records;
        std::int32_t count = 0;
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        for (const UrlRecordPtr& record : visited.Entries()) {
            if (!record) {
                break;
            }
            count += AppendStateUrl(records, record->url) ? 1 : 0;
        }
        AppendStateCount(image, count);
        image += records;
    }
    app_.AppendStatus("..");
    {
        // The files the download workers hold are not finished: they are saved
        // with the queue, ahead of it, so that a resumed crawl fetches them.
        std::string records;
        std::int32_t count = 0;
        auto lock = queues_.Files();
        UrlList& toDownload = *lock;
        std::vector<std::string> held;
        {
            auto heldLock = queues_.Held();
            auto& heldDownloads = heldLock->downloads;
            auto& pagesToSave = heldLock->pagesToSave;
            for (const auto& [slot, url] : heldDownloads) {
                held.push_back(url);
            }
            const std::size_t firstPage = held.size();
            held.insert(held.end(), pagesToSave.begin(), pagesToSave.end());
            // In a stable order, as the state file was always written.
            std::sort(held.begin() + static_cast<std::ptrdiff_t>(firstPage), held.end());
        }
        for (const std::string& url : held) {
            if (!toDownload.Contains(url)) {
                count += AppendStateUrl(records, url) ? 1 : 0;
            }
        }
        toDownload.ForEach(
            [&](const std::string& url) { count += AppendStateUrl(records, url) ? 1 : 0; });
        AppendStateCount(image, count);
        image += records;
    }
    // A save cut short by a crash left its temporary copy behind.
    platform::RemoveLeftoverTemporaries(stateFile);
    const int error = platform::WriteFileAtomically(stateFile, image);
    if (error != 0) {
        const std::string text = FileErrorText(error);
        app_.ShowStatus(text.empty() ? "Failed to save file." : text);
        counters_.stateSaveFailed.store(true);
        return false;
    }
    counters_.stateSaveFailed.store(false);
    counters_.nextPeriodicSave.store(platform::SteadyMilliseconds() +
                                     static_cast<std::uint64_t>(timing_.periodicSaveMs));
    app_.Dupes().Save();
    const platform::LocalTime now = platform::ToLocalTime(platform::CalendarSeconds());
    char text[64];
    std::snprintf(text, sizeof text, "Saved State File at %d:%02d", now.hour, now.minute);
    app_.ShowStatus(text);
    if (run_.TakeStateFileDirty()) {
        app_.Options().SaveSettings();
    }
    return true;
}

CrawlStateFile::LoadEnd CrawlStateFile::ReadLists(std::string_view bytes) {
    StateFileReader reader(bytes);
    if (reader.ReadHeader() != StateRead::Ok) {
        return LoadEnd::Corrupt;
    }
    const TypeSnapshot exclusions = settings_.types.Get(TypeKind::ExclusionTypes);
    ProgressTicker pagesTick([this] {
        app_.RefreshCounterText(Counter::LinksToGrubble);
        port_.ProcessMessages();
    });
    {
        auto lock = queues_.Pages();
        RecordList& linksToGrubble = *lock;
        app_.ShowStatus("Loading 'Links To Grubble'...");
        for (std::int32_t i = 0; i < reader.PageCount(); ++i) {
            UrlRecord record;
            const StateRead read = reader.NextPage(&record);
            if (read == StateRead::BaseTooLong) {
                return LoadEnd::Ended;
            }
            if (read != StateRead::Ok) {
                return LoadEnd::Corrupt;
            }
            const bool accepted = SearchWordsInUrl(settings_, record.url) &&
                                  !(exclusions && ContainsSkipKeyword(settings_.types, record.url));
            if (accepted) {
                UrlRecordPtr stored = NewUrlRecord();
                *stored = std::move(record);
                linksToGrubble.PushBack(std::move(stored));
            }
            pagesTick.Poll();
        }
    }
    std::int32_t count = 0;
    StateRead read = reader.ReadCount(&count);
    if (read == StateRead::End) {
        return LoadEnd::Ended;
    }
    if (read != StateRead::Ok) {
        return LoadEnd::Corrupt;
    }
    app_.AppendStatus(".");
    app_.RefreshCounterText(Counter::LinksToGrubble);
    {
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        app_.ShowStatus("Loading 'Sites Visted'...");
        for (std::int32_t i = 0; i < count; ++i) {
            UrlRecordPtr record = NewUrlRecord();
            if (reader.NextVisited(&record->url) != StateRead::Ok) {
                return LoadEnd::Corrupt;
            }
            visited.PushBack(std::move(record));
            if ((i & 8191) == 8191) {
                app_.AppendStatus(".");
            }
        }
    }
    app_.AppendStatus(".");
    port_.SetCounterText(Counter::ToDownload, "0");
    port_.ProcessMessages();

    read = reader.ReadCount(&count);
    if (read != StateRead::Ok) {
        return read == StateRead::End ? LoadEnd::Ended : LoadEnd::Corrupt;
    }
    const SaveNameOptions nameOptions = SaveNameOptionsFrom(settings_);
    const DiskSearch search = app_.Directories().DiskSearchFor();
    ProgressTicker filesTick([this] {
        app_.RefreshCounterText(Counter::ToDownload);
        port_.ProcessMessages();
    });
    auto lock = queues_.Files();
    UrlList& toDownload = *lock;
    app_.ShowStatus("Loading 'Files To Download'...");
    for (std::int32_t i = 0; i < count; ++i) {
        std::string url;
        if (reader.NextFileUrl(&url) != StateRead::Ok) {
            return LoadEnd::Corrupt;
        }
        if (!FindOnDisk(url, nameOptions, search)) {
            toDownload.PushBack(url);
        }
        filesTick.Poll();
        if (run_.ExitRequested()) {
            // Half-loaded lists must not overwrite the file on exit.
            app_.Options().SetAlwaysSaveForThisRun(false);
            return LoadEnd::Ended;
        }
        if ((i & 127) == 127) {
            app_.AppendStatus(".");
        }
    }
    return LoadEnd::Complete;
}

void CrawlStateFile::Load(bool fromBackup) {
    std::string bytes;
    int error = 0;
    if (!platform::ReadWholeFile(paths_.stateFile, &bytes, &error)) {
        const std::string text = FileErrorText(error);
        app_.ShowStatus(text.empty() ? "Failed to Load file." : text);
        return;
    }
    app_.ShowStatus("Loading State File...");
    platform::RemoveLeftoverTemporaries(paths_.stateFile);

    // The settings that belong to this state file.
    std::filesystem::path companion = paths_.stateFile;
    companion += ".ini";
    if (!platform::FileExists(companion)) {
        companion = WithLastThree(paths_.stateFile, "ini");
    }
    if (companion != paths_.stateFile && platform::FileExists(companion)) {
        paths_.settingsFile = companion;
        (void)app_.Options().LoadSettings();
    }

    run_.SetStateFileDirty(true);
    counters_.nextPeriodicSave.store(platform::SteadyMilliseconds() + 300000000ULL);
    run_.SetStateLoaded(true);
    run_.SetWorkHeld(true);

    const LoadEnd end = ReadLists(bytes);
    {
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        counters_.earlierVisits.store(visited.Size());
    }
    run_.SetWorkHeld(false);
    if (end == LoadEnd::Complete) {
        port_.SetCrawlRunning(true);
        app_.RefreshCounterText(Counter::LinksToGrubble);
        app_.RefreshCounterText(Counter::ToDownload);
        app_.ShowStatus("Loaded State File.");
    } else if (end == LoadEnd::Corrupt) {
        Recover(fromBackup);
    }
    FinishLoad();
}

void CrawlStateFile::Recover(bool fromBackup) {
    if (fromBackup) {
        app_.ShowStatus("Error Loading State file and Loading Backup. I hope you made a backup!");
        return;
    }
    const std::filesystem::path quarantine = QuarantineName(paths_.stateFile);
    (void)platform::ForceDelete(quarantine);
    if (platform::MoveFile(paths_.stateFile, quarantine) != 0) {
        app_.ShowStatus("Error Loading State file. I hope you made a backup!");
        return;
    }
    std::filesystem::path backup = quarantine.string();
    std::string text = backup.string();
    text.back() = 'k';
    backup = text;
    if (platform::MoveFile(backup, paths_.stateFile) != 0) {
        return;
    }
    Load(true);
}

void CrawlStateFile::FinishLoad() {
    // The name of the loaded crawl in the address field.
    const std::string path = paths_.stateFile.string();
    if (settings_.verbose.load() && path.size() > 8) {
        std::string name = paths_.stateFile.filename().string();
        std::string withoutSav = path;
        if (name.ends_with(".sav")) {
            name.resize(name.size() - 4);
            withoutSav.resize(withoutSav.size() - 4);
        }
        if (withoutSav.size() > 8) {
            if (app_.parts_->mainWindow) {
                app_.SetAddressText(name);
            } else {
                app_.CurrentUrl().Set(name);
            }
        }
    }
    counters_.nextPeriodicSave.store(platform::SteadyMilliseconds() +
                                     static_cast<std::uint64_t>(timing_.periodicSaveMs));
    if (settings_.runtimeDuplicateDetect.load()) {
        app_.Dupes().Load();
    }
    if (platform::CurrentDirectory() != paths_.downloadDir) {
        (void)EnterDirectory(paths_.downloadDir);
    }
}

}  // namespace wg
