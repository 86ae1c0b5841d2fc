// The options on disk: the settings file and its pointer file "load.cfg",
// the "Load Options As" / "Save Options As" choosers, the "Defaults" of the
// option dialogs, the download directory, and settings given for one run
// only (ALWAYS_SAVE at an exit, the console's overrides and type groups).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/ui_port.h"
#include "crawl/run_state.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"

namespace wg {

class App;

class OptionFiles {
public:
    explicit OptionFiles(App& app);
    OptionFiles(const OptionFiles&) = delete;
    OptionFiles& operator=(const OptionFiles&) = delete;

    // Reads the settings file (or its older name) and "load.cfg"; true when a
    // settings file was read.
    bool LoadSettings();
    // Writes the settings file and "load.cfg"; reports in the status line.
    void SaveSettings();
    void SaveStatePointer();
    // False when no file was chosen.
    bool LoadOptionsAs();
    void SaveOptionsAs();
    void ResetOptions();
    void ResetAdvancedOptions();
    // Makes `path` the download directory when it can be created and written
    // to; otherwise tells the user why and keeps the directory in use (false).
    bool SetSaveDirectory(const std::string& path);
    // ALWAYS_SAVE changed for this run only (Exit, Save and Exit, an exit
    // while a state file loads): the settings file keeps the user's choice.
    void SetAlwaysSaveForThisRun(bool on);
    // Writes the settings file with the user's own choices (the desktop
    // program, after leaving the main loop).
    void SaveSettingsAtExit();
    // Settings lines ("KEY=VALUE") applied over the current settings by the
    // settings file's rules, for this run only.
    void ApplySettingOverrides(const std::vector<std::string>& keyValues);
    // Ticks the named type-group boxes ("web", "movies", "music", "pictures")
    // and applies the download types they compose, as "Go Fetch" does.
    void TickTypeGroups(const std::vector<std::string>& groups);
    // The download directories used before this one (with SEARCH_DLSUB_DIRS).
    const std::vector<std::string>& EarlierDownloadDirs() const { return earlierDownloadDirs_; }

private:
    App& app_;
    AppSettings& settings_;
    AppPaths& paths_;
    UiPort& port_;
    RunState& run_;
    std::vector<std::string> earlierDownloadDirs_;  // main thread only
    // ALWAYS_SAVE as the user set it, before a change for this run: -1 none yet.
    std::atomic<int> userAlwaysSave_{-1};
};

}  // namespace wg
