// The directories searched for files downloaded earlier: the ten check
// directories, the list of every directory below them (walked here or read
// from the ".dirs" file beside the settings file), and the search that
// FindOnDisk runs over both.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "crawl/run_state.h"
#include "download/save_names.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "util/published_list.h"

namespace wg {

class DirectorySearch {
public:
    // Shows an error box (text, caption), or a status line.
    using ErrorBox = std::function<void(const std::string& text, const std::string& caption)>;
    using StatusLine = std::function<void(std::string_view text)>;

    DirectorySearch(AppSettings& settings, const AppPaths& paths, const RunState& run,
                    ErrorBox tellError, StatusLine showStatus)
        : settings_(settings),
          paths_(paths),
          run_(run),
          tellError_(std::move(tellError)),
          showStatus_(std::move(showStatus)) {}

    // Entry i of the check directories; none for i outside 0..9.
    std::optional<std::string> GetCheckDir(int i) const;
    // Stores up to 259 characters as entry i (0..9). A non-empty text at or
    // above the check-directory count raises the count to i + 1; the count is
    // never lowered, an emptied entry is skipped by the search instead.
    void SetCheckDir(std::string_view text, int i);
    // Clears SEARCH_DLSUB_DIRS and empties the sub-directory list.
    void ClearSubDirs();
    // Sets SEARCH_DLSUB_DIRS and rebuilds the list from the non-empty check
    // directories in index order (every directory below them except the
    // download directory itself), publishing it after each check directory.
    // `progress` runs after every directory entry. Then saves the ".dirs"
    // file (SAVE_DLSUB_DIRS) or forgets its name, and writes the settings file.
    void GenerateSubDirs(const std::function<void()>& progress = {});
    // Writes the list to "<settings file>.dirs" and names it in
    // SAVE_DLSUB_DIRS_FN (emptied again for an empty list). False when there
    // is no list or the file could not be written (reported to the user).
    bool SaveSubDirFile();
    // Replaces the list by the ".dirs" file SAVE_DLSUB_DIRS_FN names; a file
    // that stores no entries empties that name. False, after telling the
    // user, when the file cannot be opened. SEARCH_DLSUB_DIRS is left alone.
    bool LoadSubDirFile();
    // Where FindOnDisk looks: the check directories, and with SEARCH_DLSUB_DIRS
    // the sub-directory list as it stands when the search reaches it.
    DiskSearch DiskSearchFor();
    // The sub-directory list, as FindOnDisk and the duplication data read it.
    PublishedList& SubDirectories() { return subDirs_; }
    // Drops the list (the end of the run).
    void Forget();

private:
    AppSettings& settings_;
    const AppPaths& paths_;
    const RunState& run_;
    ErrorBox tellError_;
    StatusLine showStatus_;
    // Orders the writers of the list (publications, ".dirs" reads and
    // writes) and guards subDirsExist_. Never held while a walk calls back
    // into the window; readers use subDirs_ alone.
    std::mutex mutex_;
    PublishedList subDirs_;
    bool subDirsExist_ = false;  // the list was created; under mutex_
};

}  // namespace wg
