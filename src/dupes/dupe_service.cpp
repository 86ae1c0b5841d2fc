#include "dupes/dupe_service.h"

#include <cstdio>
#include <filesystem>

#include "dupes/dupe_file.h"
#include "dupes/fingerprint.h"
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

bool DupeService::CheckDownload(const std::string& path) {
    if (!host_.RuntimeCheckOn() || host_.WorkHeld()) {
        return false;
    }
    platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    const std::optional<Fingerprint> print = FileFingerprint(file.get());
    file.reset();
    if (!print) {
        if (host_.DebugLogging()) {
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
        std::lock_guard<std::mutex> lock(mutex_);
        EnsureFileReadLocked();
        for (const std::size_t at : data_.WithPrint(*print)) {
            const DupeRecord& r = data_.At(at);
            if (LastThree(r.name) != ending) {
                continue;
            }
            if (r.name == fresh.name && SameDupeDirectory(r.dir, fresh.dir)) {
                continue;
            }
            kept.push_back({r.name, r.dir.empty() ? std::string() : JoinDupePath(r.dir, r.name)});
        }
        if (kept.empty()) {
            data_.Append(std::move(fresh), kDupeDataLimit);
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
        if (host_.DebugLogging()) {
            DebugLog("Dupe Deleted: %s - kept %s", path.c_str(), k.name.c_str());
        }
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    data_.Append(std::move(fresh), kDupeDataLimit);
    return false;
}

void DupeService::EnsureFileReadLocked() {
    exists_ = true;
    if (!fileRead_) {
        ReadFileLocked(false);
    }
}

void DupeService::ReadFileLocked(bool showProgress) {
    fileRead_ = true;
    exists_ = true;
    const std::filesystem::path bin = host_.ProgramDir() / kDupeBinName;
    std::string bytes;
    if (!platform::ReadWholeFile(bin, &bytes)) {
        const std::filesystem::path dat = host_.ProgramDir() / kDupeDatName;
        if (!platform::FileExists(dat) || platform::MoveFile(dat, bin) != 0) {
            return;
        }
        platform::SleepMs(10);
        if (!platform::ReadWholeFile(bin, &bytes)) {
            return;
        }
    }
    const DupeFileContent content = DecodeDupeFile(bytes);
    data_.Clear();
    std::size_t index = 0;
    for (const DupeRecord& r : content.records) {
        data_.Append(r);
        // No message pumping here: a command run from the window while the
        // list is locked would wait for this very thread.
        if (showProgress && (++index & 0x3FFF) == 0) {
            host_.AppendStatus(".");
        }
    }
}

void DupeService::Load() {
    const std::filesystem::path bin = host_.ProgramDir() / kDupeBinName;
    if (!platform::FileExists(bin) && !platform::FileExists(host_.ProgramDir() / kDupeDatName)) {
        std::lock_guard<std::mutex> lock(mutex_);
        fileRead_ = true;
        return;
    }
    bool hadRecords = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hadRecords = !data_.Empty();
    }
    if (hadRecords) {
        host_.ShowStatus("Removing old Duplication Data...");
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        data_.Clear();
        host_.SetWorkHeld(true);
        host_.ShowStatus("Loading Duplication Data...");
        ReadFileLocked(true);
        host_.ShowStatus(host_.HasQueuedWork() ? "Processing..." : "Ready.");
    }
    host_.SetWorkHeld(false);
}

bool DupeService::SaveLocked() {
    if (!exists_) {
        return true;
    }
    // A run that has not read the stored records yet would write only its own.
    if (host_.RuntimeCheckOn() && !fileRead_) {
        ReadFileLocked(false);
    }
    const std::filesystem::path bin = host_.ProgramDir() / kDupeBinName;
    platform::RemoveLeftoverTemporaries(bin);
    const std::string image = data_.Encode();
    const int error = platform::WriteFileAtomically(bin, image);
    if (error != 0) {
        const std::string text = FileErrorText(error);
        host_.ShowStatus(text.empty() ? "Failed to save dupe data." : text);
        return false;
    }
    return true;
}

void DupeService::Save() {
    std::lock_guard<std::mutex> lock(mutex_);
    (void)SaveLocked();
}

void DupeService::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!exists_) {
        return;
    }
    host_.ShowStatus("Exiting: Releasing 'Duplication Data' list...");
    data_.Clear([this] { host_.AppendStatus("."); });
    host_.ShowStatus("Duplication Data' list removed.");
}

void DupeService::DeleteFiles() {
    (void)platform::ForceDelete(host_.ProgramDir() / kDupeDatName);
    (void)platform::ForceDelete(host_.ProgramDir() / kDupeBinName);
    std::lock_guard<std::mutex> lock(mutex_);
    // Nothing stored is left to lose.
    fileRead_ = true;
}

long DupeService::RecordDirectoryLocked(const std::string& dir) {
    long recorded = 0;
    const long listed =
        ForEachFileToRecord(dir, [&](const std::string& name, const std::string& fullPath) {
            if (platform::FilePtr file = platform::OpenFile(fullPath, "rb")) {
                if (const std::optional<Fingerprint> print = FileFingerprint(file.get())) {
                    data_.Append({name, dir, *print});
                    ++recorded;
                }
            }
            return !host_.Leaving();
        });
    return listed < 0 ? 0 : recorded;
}

void DupeService::Build() {
    host_.OpenProgress("Building Duplication Data...");
    const std::vector<std::string> dirs = host_.Directories();
    long total = 0;
    for (std::size_t i = 0; i < dirs.size() && !host_.Leaving(); ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (i == 0) {
                // A build replaces whatever was stored.
                exists_ = true;
                fileRead_ = true;
            }
            total += RecordDirectoryLocked(dirs[i]);
        }
        if (i + 1 < dirs.size()) {
            host_.SetProgressText(ProcessedText(total, true));
        }
    }
    host_.CloseProgress();
    Save();
    host_.ShowStatus(ProcessedText(total, false));
    rebuild_.store(false);
}

long DupeService::UpdateDirectoryLocked(const std::string& dir,
                                        std::unordered_map<std::string, std::size_t>& byName) {
    long seen = 0;
    (void)ForEachFileToRecord(dir, [&](const std::string& name, const std::string& fullPath) {
        ++seen;
        // The oldest record of this name moves here; its fingerprint stays.
        if (const auto it = byName.find(name); it != byName.end()) {
            data_.At(it->second).dir = dir;
        } else if (platform::FilePtr file = platform::OpenFile(fullPath, "rb")) {
            if (const std::optional<Fingerprint> print = FileFingerprint(file.get())) {
                byName.emplace(name, data_.Size());
                data_.Append({name, dir, *print});
            }
        }
        return !host_.Leaving();
    });
    return seen;
}

void DupeService::Update() {
    host_.OpenProgress("Updating Duplication Data...");
    const std::vector<std::string> dirs = host_.Directories();
    long total = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // An update adds to the stored records, so they are read first.
        EnsureFileReadLocked();
        std::unordered_map<std::string, std::size_t> byName;
        byName.reserve(data_.Size());
        for (std::size_t i = 0; i < data_.Size(); ++i) {
            byName.emplace(data_.At(i).name, i);  // keeps the oldest of a name
        }
        for (std::size_t i = 0; i < dirs.size() && !host_.Leaving(); ++i) {
            total += UpdateDirectoryLocked(dirs[i], byName);
            if (i + 1 < dirs.size()) {
                host_.SetProgressText(ProcessedText(total, true));
            }
        }
        host_.CloseProgress();
        host_.ShowStatus("Saving New Dupe List...");
        (void)SaveLocked();
    }
    host_.ShowStatus(ProcessedText(total, false));
    rebuild_.store(false);
}

bool DupeService::StartBuild() {
    if (threadBusy_.exchange(true)) {
        return false;
    }
    JoinThread();
    Release();
    thread_ = platform::StartThread("wg-dupe-data", [this] {
        Build();
        threadBusy_.store(false);
    });
    return true;
}

bool DupeService::StartUpdate() {
    if (threadBusy_.load()) {
        return false;
    }
    const bool go = host_.Confirm(
        "Depending on the number of files already downloaded, this update can take a very long "
        "time. Continue?",
        true);
    if (!go || threadBusy_.exchange(true)) {
        return false;
    }
    JoinThread();
    thread_ = platform::StartThread("wg-dupe-data", [this] {
        Update();
        threadBusy_.store(false);
    });
    return true;
}

void DupeService::JoinThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DupeService::Erase() {
    if (!host_.Confirm("Are you sure you want to erase the duplicate file data?", false)) {
        host_.ShowStatus("'Erase of duplicate file data aborted.");
        return;
    }
    Release();
    DeleteFiles();
}

void DupeService::WithData(const std::function<void(DupeData& data, bool& exists)>& look) {
    std::lock_guard<std::mutex> lock(mutex_);
    look(data_, exists_);
}

}  // namespace wg
