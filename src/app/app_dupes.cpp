// The duplication data of the App: the runtime check of finished downloads,
// the build and update from the download directories, "Dupe.bin" on disk.
#include <cstdio>
#include <filesystem>

#include "app/app.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "util/error_texts.h"
#include "util/log_file.h"

namespace wg {

namespace {

constexpr const char* kDupeBinName = "Dupe.bin";
constexpr const char* kDupeDatName = "Dupe.dat";

std::string NameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The directory a written file really stands in, as an absolute path.
std::string DirectoryOf(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec) {
        full = path;
    }
    return full.lexically_normal().parent_path().string();
}

std::string LastThree(std::string_view text) {
    return std::string(text.substr(text.size() < 3 ? 0 : text.size() - 3));
}

std::string ProcessedText(long total, bool more) {
    char text[64];
    std::snprintf(text, sizeof text, more ? "Processed %ld files..." : "Processed %ld files.",
                  total);
    return text;
}

// A candidate of the runtime check: a kept file of the same fingerprint.
struct KeptFile {
    std::string name;
    std::string path;  // empty when the record names no directory
};

}  // namespace

bool App::CheckDuplicateDownload(const std::string& path) {
    if (!settings.runtimeDuplicateDetect.load() || run_.WorkHeld()) {
        return false;
    }
    platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    const std::optional<Fingerprint> print = FileFingerprint(file.get());
    file.reset();
    if (!print) {
        if (settings.logDebug.load()) {
            DebugLog("Failed to read file: %s", path.c_str());
        }
        (void)platform::ForceDelete(path);
        return true;
    }
    DupeRecord fresh{NameOf(path), DirectoryOf(path), *print};
    const std::string ending = LastThree(path);

    // The candidates, newest first; the same name in the same directory is
    // this very file fetched again and no duplicate.
    std::vector<KeptFile> kept;
    {
        std::lock_guard<std::mutex> lock(dupeMutex);
        EnsureDupeFileReadLocked();
        for (const std::size_t at : dupeData.WithPrint(*print)) {
            const DupeRecord& r = dupeData.At(at);
            if (LastThree(r.name) != ending) {
                continue;
            }
            if (r.name == fresh.name && SameDupeDirectory(r.dir, fresh.dir)) {
                continue;
            }
            kept.push_back({r.name, r.dir.empty() ? std::string() : JoinDupePath(r.dir, r.name)});
        }
        if (kept.empty()) {
            dupeData.Append(std::move(fresh), kDupeDataLimit);
            return false;
        }
    }
    // The fingerprint only points at candidates: the fresh file goes only
    // when a kept file with the same bytes is still on disk.
    for (const KeptFile& k : kept) {
        if (k.path.empty() || k.path == path || !SameFileBytes(k.path, path)) {
            continue;
        }
        (void)platform::ForceDelete(path);
        if (settings.logDebug.load()) {
            DebugLog("Dupe Deleted: %s - kept %s", path.c_str(), k.name.c_str());
        }
        return true;
    }
    std::lock_guard<std::mutex> lock(dupeMutex);
    dupeData.Append(std::move(fresh), kDupeDataLimit);
    return false;
}

void App::EnsureDupeFileReadLocked() {
    dupeDataExists = true;
    if (!dupeFileRead_) {
        ReadDupeFileLocked(false);
    }
}

void App::ReadDupeFileLocked(bool showProgress) {
    dupeFileRead_ = true;
    dupeDataExists = true;
    const std::filesystem::path bin = paths.programDir / kDupeBinName;
    std::string bytes;
    if (!platform::ReadWholeFile(bin, &bytes)) {
        const std::filesystem::path dat = paths.programDir / kDupeDatName;
        if (!platform::FileExists(dat) || platform::MoveFile(dat, bin) != 0) {
            return;
        }
        platform::SleepMs(10);
        if (!platform::ReadWholeFile(bin, &bytes)) {
            return;
        }
    }
    const DupeFileContent content = DecodeDupeFile(bytes);
    dupeData.Clear();
    std::size_t index = 0;
    for (const DupeRecord& r : content.records) {
        dupeData.Append(r);
        // No message pumping here: a command run from the window while the
        // list is locked would wait for this very thread.
        if (showProgress && (++index & 0x3FFF) == 0) {
            AppendStatus(".");
        }
    }
}

void App::LoadDupeData() {
    const std::filesystem::path bin = paths.programDir / kDupeBinName;
    if (!platform::FileExists(bin) && !platform::FileExists(paths.programDir / kDupeDatName)) {
        std::lock_guard<std::mutex> lock(dupeMutex);
        dupeFileRead_ = true;
        return;
    }
    bool hadRecords = false;
    {
        std::lock_guard<std::mutex> lock(dupeMutex);
        hadRecords = !dupeData.Empty();
    }
    if (hadRecords) {
        ShowStatus("Removing old Duplication Data...");
    }
    {
        std::lock_guard<std::mutex> lock(dupeMutex);
        dupeData.Clear();
        run_.SetWorkHeld(true);
        ShowStatus("Loading Duplication Data...");
        ReadDupeFileLocked(true);
        ShowStatus(queues_.HasQueuedWork() ? "Processing..." : "Ready.");
    }
    run_.SetWorkHeld(false);
}

bool App::SaveDupeDataLocked() {
    if (!dupeDataExists) {
        return true;
    }
    // A run that has not read the stored records yet would write only its own.
    if (settings.runtimeDuplicateDetect.load() && !dupeFileRead_) {
        ReadDupeFileLocked(false);
    }
    const std::filesystem::path bin = paths.programDir / kDupeBinName;
    platform::RemoveLeftoverTemporaries(bin);
    const std::string image = dupeData.Encode();
    const int error = platform::WriteFileAtomically(bin, image);
    if (error != 0) {
        const std::string text = FileErrorText(error);
        ShowStatus(text.empty() ? "Failed to save dupe data." : text);
        return false;
    }
    return true;
}

void App::SaveDupeData() {
    std::lock_guard<std::mutex> lock(dupeMutex);
    (void)SaveDupeDataLocked();
}

void App::ReleaseDupeData() {
    std::lock_guard<std::mutex> lock(dupeMutex);
    if (!dupeDataExists) {
        return;
    }
    ShowStatus("Exiting: Releasing 'Duplication Data' list...");
    dupeData.Clear([this] { AppendStatus("."); });
    ShowStatus("Duplication Data' list removed.");
}

void App::DeleteDupeFiles() {
    (void)platform::ForceDelete(paths.programDir / kDupeDatName);
    (void)platform::ForceDelete(paths.programDir / kDupeBinName);
    std::lock_guard<std::mutex> lock(dupeMutex);
    // Nothing stored is left to lose.
    dupeFileRead_ = true;
}

void App::SetRuntimeDuplicateDetect(bool on) {
    if (settings.runtimeDuplicateDetect.load() != on) {
        settings.runtimeDuplicateDetect.store(on);
        m_bDupeRebuild.store(true);
    }
}

void App::EraseDuplicateFileData() {
    const Answer answer = port_.Ask("Are you sure you want to erase the duplicate file data?",
                                    "Warning", Buttons::YesNo, Icon::Question);
    if (answer != Answer::Yes) {
        ShowStatus("'Erase of duplicate file data aborted.");
        return;
    }
    ReleaseDupeData();
    DeleteDupeFiles();
}

std::vector<std::string> App::DupeDirectories() {
    std::vector<std::string> dirs;
    if (settings.searchDlSubDirs.load()) {
        if (const SubDirList::Snapshot list = subDirs.Get()) {
            for (const std::string& dir : *list) {
                if (dir.empty()) {
                    break;
                }
                dirs.push_back(dir);
            }
        }
    }
    std::string first = GetCheckDir(0).value_or(std::string());
    if (first.empty()) {
        first = paths.downloadDir.string();
    }
    dirs.push_back(first);
    return dirs;
}

long App::RecordDirectoryLocked(const std::string& dir) {
    long recorded = 0;
    const long listed =
        ForEachFileToRecord(dir, [&](const std::string& name, const std::string& fullPath) {
            if (platform::FilePtr file = platform::OpenFile(fullPath, "rb")) {
                if (const std::optional<Fingerprint> print = FileFingerprint(file.get())) {
                    dupeData.Append({name, dir, *print});
                    ++recorded;
                }
            }
            return !run_.ExitRequested();
        });
    return listed < 0 ? 0 : recorded;
}

void App::BuildDupeData() {
    port_.OpenProgress("Building Duplication Data...");
    const std::vector<std::string> dirs = DupeDirectories();
    long total = 0;
    for (std::size_t i = 0; i < dirs.size() && !run_.ExitRequested(); ++i) {
        {
            std::lock_guard<std::mutex> lock(dupeMutex);
            if (i == 0) {
                // A build replaces whatever was stored.
                dupeDataExists = true;
                dupeFileRead_ = true;
            }
            total += RecordDirectoryLocked(dirs[i]);
        }
        if (i + 1 < dirs.size()) {
            port_.SetProgressText(ProcessedText(total, true));
        }
    }
    port_.CloseProgress();
    SaveDupeData();
    ShowStatus(ProcessedText(total, false));
    m_bDupeRebuild.store(false);
}

long App::UpdateDirectoryLocked(const std::string& dir,
                                std::unordered_map<std::string, std::size_t>& byName) {
    long seen = 0;
    (void)ForEachFileToRecord(dir, [&](const std::string& name, const std::string& fullPath) {
        ++seen;
        // The oldest record of this name moves here; its fingerprint stays.
        if (const auto it = byName.find(name); it != byName.end()) {
            dupeData.At(it->second).dir = dir;
        } else if (platform::FilePtr file = platform::OpenFile(fullPath, "rb")) {
            if (const std::optional<Fingerprint> print = FileFingerprint(file.get())) {
                byName.emplace(name, dupeData.Size());
                dupeData.Append({name, dir, *print});
            }
        }
        return !run_.ExitRequested();
    });
    return seen;
}

void App::UpdateDupeData() {
    port_.OpenProgress("Updating Duplication Data...");
    const std::vector<std::string> dirs = DupeDirectories();
    long total = 0;
    {
        std::lock_guard<std::mutex> lock(dupeMutex);
        // An update adds to the stored records, so they are read first.
        EnsureDupeFileReadLocked();
        std::unordered_map<std::string, std::size_t> byName;
        byName.reserve(dupeData.Size());
        for (std::size_t i = 0; i < dupeData.Size(); ++i) {
            byName.emplace(dupeData.At(i).name, i);  // keeps the oldest of a name
        }
        for (std::size_t i = 0; i < dirs.size() && !run_.ExitRequested(); ++i) {
            total += UpdateDirectoryLocked(dirs[i], byName);
            if (i + 1 < dirs.size()) {
                port_.SetProgressText(ProcessedText(total, true));
            }
        }
        port_.CloseProgress();
        ShowStatus("Saving New Dupe List...");
        (void)SaveDupeDataLocked();
    }
    ShowStatus(ProcessedText(total, false));
    m_bDupeRebuild.store(false);
}

bool App::StartDupeBuild() {
    if (dupeThreadBusy_.exchange(true)) {
        return false;
    }
    JoinDupeThread();
    ReleaseDupeData();
    dupeThread_ = platform::StartThread("wg-dupe-data", [this] {
        BuildDupeData();
        dupeThreadBusy_.store(false);
    });
    return true;
}

bool App::StartDupeUpdate() {
    if (dupeThreadBusy_.load()) {
        return false;
    }
    const Answer answer = port_.Ask(
        "Depending on the number of files already downloaded, this update can take a very long "
        "time. Continue?",
        "Warning", Buttons::YesNo, Icon::Information);
    if (answer != Answer::Yes || dupeThreadBusy_.exchange(true)) {
        return false;
    }
    JoinDupeThread();
    dupeThread_ = platform::StartThread("wg-dupe-data", [this] {
        UpdateDupeData();
        dupeThreadBusy_.store(false);
    });
    return true;
}

void App::JoinDupeThread() {
    if (dupeThread_.joinable()) {
        dupeThread_.join();
    }
}

}  // namespace wg
