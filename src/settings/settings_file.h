// The settings file: KEY=value lines read with a lenient, first-occurrence
// lookup and written in a fixed order, plus the one-line pointer file that
// names the state file. Everything here works on an AppSettings and AppPaths;
// the side effects that belong to the application (current directory, logs,
// download history, sub-directory list, status line) go through SettingsHooks.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/app_paths.h"
#include "settings/app_settings.h"

namespace wg {

inline constexpr std::string_view kSettingsFileName = "Grubbler.ini";
inline constexpr std::string_view kOldSettingsFileName = "Gleanix.ini";
inline constexpr std::string_view kPointerFileName = "load.cfg";

// How much of a value GetSettingValue copies for the ordinary keys.
inline constexpr std::size_t kSettingValueMax = 1024;
// The settings file is read whole up to this size.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
// The pointer file holds one line; this much of it is read.
inline constexpr std::size_t kMaxPointerFileBytes = 4096;

// Side effects of reading the settings. Every value is already stored in the
// AppSettings or AppPaths when its hook runs; a hook only carries out what
// follows from it. The defaults do nothing.
class SettingsHooks {
public:
    virtual ~SettingsHooks() = default;

    // SAVEPATH was read: make the download directory current, creating it when missing.
    virtual void EnterSaveDirectory(const std::filesystem::path& /*dir*/) {}
    // LOG_URL_ERRORS was read: open or close the URL error log.
    virtual void SetUrlErrorLogging(bool /*on*/) {}
    // IGNORE_LIST was read: load the download history when it is on and not loaded yet.
    virtual void SetIgnoreList(bool /*on*/) {}
    // A non-empty SAVE_DLSUB_DIRS_FN was read: load that sub-directory list.
    virtual void LoadSubDirList() {}
    // SEARCH_DLSUB_DIRS is on and SAVE_DLSUB_DIRS is off: build the list by walking
    // the check directories.
    virtual void BuildSubDirList() {}
    // A status-line text.
    virtual void ShowStatus(std::string_view /*text*/) {}
};

// Looks `key` up in `text`: the first occurrence anywhere wins (case-sensitive,
// also inside a longer key or an earlier value). After the key a run of spaces
// and '=' is skipped; the value runs to the line feed, the byte 255, the end of
// the text or `max` characters, whichever comes first. A CR directly before
// the line feed is not part of the value. Returns false, with `out` empty, when
// the key does not occur.
bool GetSettingValue(std::string_view text, std::string_view key, std::string& out,
                     std::size_t max = kSettingValueMax);

// The number reading of the settings file: optional sign, decimal digits up to
// the first non-digit; no digits give 0; values beyond 32 bits are clamped.
int ParseSettingNumber(std::string_view value);

// Applies every key found in `text`, in the fixed order, with the rules of
// each key; a missing key leaves its value alone except where a rule says
// otherwise (lists re-parsed from their current text, the two keyword lists
// emptied, missing check directories emptied). Safe on arbitrary bytes.
void ParseSettings(std::string_view text, AppSettings& settings, AppPaths& paths,
                   SettingsHooks& hooks);

// The settings file's text: the 46 keys in their order, then CA_FILE and
// KEEP_ALIVE when they are set; LF line ends.
std::string FormatSettings(const AppSettings& settings, const AppPaths& paths);

// The pointer file's text: "SAVE_FILE=<state file>\n".
std::string FormatStatePointer(const AppPaths& paths);

// Reads the settings file (or "Gleanix.ini" beside it when it cannot be
// opened), parses it (also when nothing was read), then takes a non-empty
// SAVE_FILE from the pointer file as the state file path. True when a
// settings file was read.
bool LoadSettingsFile(AppSettings& settings, AppPaths& paths, SettingsHooks& hooks);

// Writes the settings file crash-safely (a temporary file renamed over the old
// one). 0, or the errno of the failure; the old file is intact on failure.
int SaveSettingsFile(const AppSettings& settings, const AppPaths& paths);

// Writes the pointer file the same way. 0 or an errno.
int SaveStatePointerFile(const AppPaths& paths);

// The "Defaults" of the Options dialog: the download directory becomes the
// current directory, the lists kinds 1 and 2 their default texts, kinds 3, 7
// and 8 empty, and the other Options values their defaults.
void ResetOptions(AppSettings& settings, AppPaths& paths);

// The "Defaults" of the Advanced Options dialog.
void ResetAdvancedOptions(AppSettings& settings);

// Makes `dir` the current directory; when that fails, creates it with every
// missing parent and tries again. 0 or an errno.
int EnterDirectory(const std::filesystem::path& dir);

}  // namespace wg
