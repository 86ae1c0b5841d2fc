// The choices of the " Download Directories" dialog as plain values: read
// from the App, checked, applied, and the work that follows the dialog's
// closing (the sub-directory list, the duplication data, the settings file).
#pragma once

#include <array>
#include <functional>
#include <string>

#include "settings/app_settings.h"

namespace wg {

class App;

struct DownloadDirsChoice {
    std::array<std::string, kCheckDirCount> dirs;  // CHECK_DIR0 .. CHECK_DIR9
    bool lookInSubdirs = false;                    // SEARCH_DLSUB_DIRS
    bool saveSubdirs = true;                       // SAVE_DLSUB_DIRS (else generated at run time)
    bool runtimeDetect = false;                    // RUNTIME_DUPLICATE_DETECT
};

// A directory as long as the settings file keeps it: 259 characters.
inline constexpr std::size_t kCheckDirMaxLength = 259;

// What the App holds now.
DownloadDirsChoice CurrentDownloadDirs(const App& app);

// Empty when every directory can be searched; otherwise why the first one
// that cannot ("Dir 3: ..."). An empty row is fine; a row must name an
// existing, readable directory of at most 259 characters on one line.
std::string CheckDownloadDirs(const DownloadDirsChoice& choice);

// "Save": stores the ten directories, empties the sub-directory list and
// takes the two options. Call only with a choice CheckDownloadDirs accepts.
void ApplyDownloadDirs(App& app, const DownloadDirsChoice& choice);

// After the dialog has closed (saved or cancelled). With the choice saved
// and "Look In Subdirectories" on, the list is generated (`progress` runs
// after every entry of the walk) and the duplication data is rebuilt when
// that was asked for; otherwise the settings file is written, unless the
// runtime detection box was switched on in the dialog, which instead starts
// a build of the duplication data when detection is on.
void FinishDownloadDirs(App& app, bool saved, bool lookInSubdirs, bool detectionSwitchedOn,
                        const std::function<void()>& progress);

// " Download Directories", or " Download Directories: NAME" when the
// settings file in use is not "Grubbler.ini".
std::string DownloadDirsTitle(const App& app);

}  // namespace wg
