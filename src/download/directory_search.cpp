#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "download/directory_search.h"
#include "download/save_names.h"
#include "platform/files.h"
#include "settings/settings_file.h"
#include "store/dirs_file.h"
#include "util/error_texts.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr char kPathSeparator = '/';

// Entries the walk passes over: "." and "..", names beginning with "..", and
// two-character names beginning with '.'.
bool SkippedName(std::string_view name) {
    if (name.empty() || name[0] != '.') {
        return false;
    }
    return name == "." || name == ".." || name.starts_with("..") || name.size() == 2;
}

std::string JoinPath(std::string_view parent, std::string_view name) {
    std::string path(parent);
    if (path.empty() || path.back() != kPathSeparator) {
        path += kPathSeparator;
    }
    path += name;
    return path;
}

struct WalkContext {
    std::string downloadDir;  // listed nowhere, but walked
    const std::function<void()>* progress = nullptr;
    const RunState* run = nullptr;  // the walk ends once the workers stop
};

// Appends every directory below `dir` to `out`, depth first, in the order the
// system gives the entries. Ends early once the workers are told to stop.
void WalkDirectory(const std::string& dir, const WalkContext& context,
                   std::vector<std::string>& out) {
    (void)platform::EnumerateDirectory(dir, [&](const platform::DirEntry& entry) {
        // A linked directory is not entered: a link back up the tree would
        // make the walk endless.
        if (entry.isDirectory && !entry.isSymlink && !SkippedName(entry.name)) {
            const std::string path = JoinPath(dir, entry.name);
            if (path != context.downloadDir) {
                out.push_back(path);
            }
            WalkDirectory(path, context, out);
        }
        if (context.progress != nullptr && *context.progress) {
            (*context.progress)();
        }
        return !context.run->WorkersStopping();
    });
}

// The download directory as the walk compares it: one final separator is
// not part of the name.
std::string DownloadDirForWalk(const std::filesystem::path& dir) {
    std::string text = dir.string();
    if (text.size() > 1 && text.back() == kPathSeparator) {
        text.pop_back();
    }
    return text;
}

// The number of entries EncodeDirsFile stores for `dirs`.
std::int32_t StoredCount(const std::vector<std::string>& dirs) {
    return static_cast<std::int32_t>(
        std::count_if(dirs.begin(), dirs.end(),
                      [](const std::string& dir) { return dir.size() + 1 <= kDirsPathLimit; }));
}

}  // namespace

std::optional<std::string> DirectorySearch::GetCheckDir(int i) const {
    if (i < 0 || i >= kCheckDirCount) {
        return std::nullopt;
    }
    return settings_.checkDirs[static_cast<std::size_t>(i)].Get();
}

void DirectorySearch::SetCheckDir(std::string_view text, int i) {
    if (i < 0 || i >= kCheckDirCount) {
        return;
    }
    const std::string stored = CopyBounded(text, kPathCapacity);
    settings_.checkDirs[static_cast<std::size_t>(i)].Set(stored);
    if (stored.empty()) {
        return;
    }
    int count = settings_.checkDirCount.load();
    while (count <= i && !settings_.checkDirCount.compare_exchange_weak(count, i + 1)) {
    }
}

void DirectorySearch::ClearSubDirs() {
    settings_.searchDlSubDirs.store(false);
    std::lock_guard<std::mutex> lock(mutex_);
    if (subDirsExist_) {
        subDirs_.Publish({});
    }
}

void DirectorySearch::GenerateSubDirs(const std::function<void()>& progress) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!subDirsExist_) {
            subDirs_.Publish({});
            subDirsExist_ = true;
        }
    }
    settings_.searchDlSubDirs.store(true);

    // The list is built anew and published after each check directory;
    // readers keep the previous one until the first has been walked. The walk
    // itself holds no lock: `progress` may let the window run a command that
    // touches the list.
    const WalkContext context{DownloadDirForWalk(paths_.downloadDir), &progress, &run_};
    std::vector<std::string> built;
    for (int i = 0; i < kCheckDirCount; ++i) {
        if (run_.WorkersStopping()) {
            break;
        }
        const std::string dir = settings_.checkDirs[static_cast<std::size_t>(i)].Get();
        if (dir.empty()) {
            continue;
        }
        WalkDirectory(dir, context, built);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            subDirs_.Publish(built);
            subDirsExist_ = true;
        }
        std::this_thread::yield();
    }
    {
        // Also when no check directory was walked: the old list goes.
        std::lock_guard<std::mutex> lock(mutex_);
        subDirs_.Publish(std::move(built));
        subDirsExist_ = true;
    }

    if (settings_.saveDlSubDirs.load()) {
        (void)SaveSubDirFile();
    } else {
        settings_.saveDlSubDirsFile.Set({});
    }
    // Only the settings file: the pointer file may not have been read yet when
    // this runs while the settings are being read.
    if (SaveSettingsFile(settings_, paths_) != 0) {
        showStatus_("Error Saving Settings to " + paths_.settingsFile.string());
    }
}

bool DirectorySearch::SaveSubDirFile() {
    std::string file;
    std::int32_t dirCount = 0;
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const PublishedList::Snapshot list = subDirs_.Get();
        if (!subDirsExist_ || !list) {
            return false;
        }
        file = paths_.settingsFile.string() + ".dirs";
        settings_.saveDlSubDirsFile.Set(file);
        dirCount = StoredCount(*list);
        error = platform::WriteFileAtomically(file, EncodeDirsFile(*list));
    }
    if (error != 0) {
        wg::ShowWindowsError(error, file.c_str(), tellError_);
        return false;
    }
    if (dirCount == 0) {
        settings_.saveDlSubDirsFile.Set({});
    }
    return true;
}

bool DirectorySearch::LoadSubDirFile() {
    std::int32_t dirCount = 0;
    int error = 0;
    bool opened = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string bytes;
        opened = platform::ReadWholeFile(settings_.saveDlSubDirsFile.Get(), &bytes, &error);
        if (opened) {
            DirsFileContent content = DecodeDirsFile(bytes);
            dirCount = content.dirCount;
            subDirs_.Publish(std::move(content.dirs));
            subDirsExist_ = true;
        }
    }
    if (!opened) {
        wg::ShowWindowsError(error, "Failed to load sub-directory file", tellError_);
        return false;
    }
    if (dirCount == 0) {
        settings_.saveDlSubDirsFile.Set({});
    }
    return true;
}

DiskSearch DirectorySearch::DiskSearchFor() {
    DiskSearch search = DiskSearchFrom(settings_);
    search.savedSubDirectories = [this](const DirectoryVisitor& visit) {
        const PublishedList::Snapshot list = subDirs_.Get();
        if (!list) {
            return false;
        }
        for (const std::string& dir : *list) {
            if (dir.empty()) {
                break;
            }
            if (visit(dir)) {
                return true;
            }
        }
        return false;
    };
    return search;
}

void DirectorySearch::Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    subDirs_.Clear();
    subDirsExist_ = false;
}

}  // namespace wg
