#include <algorithm>
#include <filesystem>
#include <string>

#include "app/option_files.h"
#include "app/option_setters.h"

#include "app/app.h"
#include "download/directory_search.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "settings/settings_file.h"
#include "settings/type_groups.h"
#include "util/text.h"

namespace wg {

OptionFiles::OptionFiles(App& app)
    : app_(app),
      settings_(app.Settings()),
      paths_(app.Paths()),
      port_(app.Port()),
      run_(app.State()) {}

namespace {

constexpr std::string_view kIniFilter = "INI Files (*.ini)";

// The side effects of reading the settings file, carried out on the App.
class AppSettingsHooks : public SettingsHooks {
public:
    explicit AppSettingsHooks(App& app) : app_(app) {}

    void EnterSaveDirectory(const std::filesystem::path& dir) override {
        (void)EnterDirectory(dir);
    }
    void SetUrlErrorLogging(bool on) override { app_.Setters().SetUrlErrorLogging(on); }
    void SetIgnoreList(bool on) override { app_.Setters().SetIgnoreList(on); }
    void LoadSubDirList() override { (void)app_.Directories().LoadSubDirFile(); }
    // "Generate At Run Time": the walk lets the window keep up as it goes.
    void BuildSubDirList() override {
        app_.Directories().GenerateSubDirs([this] { app_.Port().ProcessMessages(); });
    }
    void ShowStatus(std::string_view text) override { app_.ShowStatus(text); }

private:
    App& app_;
};

// The chooser's start directory: the directory of the settings file in use.
std::string SettingsDirectory(const App& app) {
    return app.Paths().settingsFile.parent_path().string();
}

// A chosen name without an extension gets ".ini".
std::filesystem::path WithIniExtension(const std::string& chosen) {
    std::filesystem::path path(chosen);
    if (path.extension().empty()) {
        path += ".ini";
    }
    return path;
}

}  // namespace

bool OptionFiles::LoadSettings() {
    AppSettingsHooks hooks(app_);
    return LoadSettingsFile(settings_, paths_, hooks);
}

void OptionFiles::SaveSettings() {
    if (SaveSettingsFile(settings_, paths_) != 0) {
        app_.ShowStatus("Error Saving Settings to " + paths_.settingsFile.string());
        return;
    }
    SaveStatePointer();
    app_.ShowStatus(run_.WorkHeld() ? "Saved Settings.  Loading..." : "Saved Settings");
}

void OptionFiles::SetAlwaysSaveForThisRun(bool on) {
    int none = -1;
    (void)userAlwaysSave_.compare_exchange_strong(none, settings_.alwaysSave.load() ? 1 : 0);
    settings_.alwaysSave.store(on);
}

void OptionFiles::SaveSettingsAtExit() {
    const bool forThisRun = settings_.alwaysSave.load();
    const int user = userAlwaysSave_.load();
    if (user >= 0) {
        settings_.alwaysSave.store(user == 1);
    }
    SaveSettings();
    settings_.alwaysSave.store(forThisRun);
}

void OptionFiles::SaveStatePointer() {
    (void)SaveStatePointerFile(paths_);
}

bool OptionFiles::LoadOptionsAs() {
    const std::string chosen = port_.ChooseOpenFile("Load As", kIniFilter, SettingsDirectory(app_));
    if (chosen.empty()) {
        return false;
    }
    paths_.settingsFile = WithIniExtension(chosen);
    // The main window's type boxes follow the lists once the port can be told.
    app_.ShowStatus(LoadSettings() ? "Loaded Options." : "Error Loading Options.");
    return true;
}

void OptionFiles::SaveOptionsAs() {
    const std::string chosen = port_.ChooseSaveFile("Save As", kIniFilter, SettingsDirectory(app_));
    if (chosen.empty()) {
        return;
    }
    paths_.settingsFile = WithIniExtension(chosen);
    SaveSettings();
}

void OptionFiles::ResetOptions() {
    wg::ResetOptions(settings_, paths_);
    // The URL error log follows its switch.
    app_.Setters().SetUrlErrorLogging(false);
}

void OptionFiles::ResetAdvancedOptions() {
    // Thread counts and priority go through their setters so that running
    // workers follow; the rest are plain values.
    app_.Setters().SetDownloadThreadCount(2);
    app_.Setters().SetUrlThreadCount(1);
    app_.Setters().SetThreadPriority(0);
    app_.Setters().SetMinDownloadQueue(50);
    wg::ResetAdvancedOptions(settings_);
}

bool OptionFiles::SetSaveDirectory(const std::string& path) {
    // An empty text names no directory; downloads would land wherever the
    // process happens to stand.
    if (path.empty()) {
        return false;
    }
    // A directory that cannot be made or written to is refused before the
    // settings or a crawl can rely on it: files never land somewhere else.
    // A relative name is taken below the program directory, not below the
    // download directory the process happens to stand in.
    std::filesystem::path named(path);
    if (named.is_relative()) {
        named = (paths_.programDir / named).lexically_normal();
    }
    const std::string dir = CopyBounded(named.string(), kPathCapacity);
    int error = platform::CreateDirectories(dir);
    if (error == 0) {
        error = platform::DirectoryWritable(dir);
    }
    if (error != 0) {
        port_.Tell("Cannot use \"" + dir +
                       "\" as the download directory: " + platform::ErrorText(error) +
                       ".\nThe downloads stay in \"" + paths_.downloadDir.string() + "\".",
                   "Download Directory", Icon::Error);
        return false;
    }
    const std::string current = paths_.downloadDir.string();
    if (settings_.searchDlSubDirs.load() && dir != current &&
        std::find(earlierDownloadDirs_.begin(), earlierDownloadDirs_.end(), current) ==
            earlierDownloadDirs_.end()) {
        earlierDownloadDirs_.push_back(current);
    }
    paths_.downloadDir = dir;
    (void)EnterDirectory(paths_.downloadDir);
    app_.ShowStatus("Save directory updated.");
    return true;
}

void OptionFiles::ApplySettingOverrides(const std::vector<std::string>& keyValues) {
    if (keyValues.empty()) {
        return;
    }
    // Each override takes the place of its key's own line in the current
    // settings, so that the text reads as a settings file does: a key whose
    // name ends another key's ("FILE_TYPES" in "MOVIE_FILE_TYPES") is found
    // where the file has it. Keys the file does not write go at the end.
    std::string text = FormatSettings(settings_, paths_);
    for (const std::string& line : keyValues) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string head = line.substr(0, equals + 1);
        std::size_t at = 0;
        if (!text.starts_with(head)) {
            at = text.find('\n' + head);
            if (at == std::string::npos) {
                text += line;
                text += '\n';
                continue;
            }
            ++at;  // past the line end before the key
        }
        const std::size_t end = text.find('\n', at);
        text.replace(at, end == std::string::npos ? std::string::npos : end - at, line);
    }
    AppSettingsHooks hooks(app_);
    ParseSettings(text, settings_, paths_, hooks);
}

void OptionFiles::TickTypeGroups(const std::vector<std::string>& groups) {
    TypeBoxes boxes{BoxState::Unticked, BoxState::Unticked, BoxState::Unticked, BoxState::Unticked};
    for (const std::string& group : groups) {
        const TypeBox box = group == "web"      ? kBoxWebPages
                            : group == "movies" ? kBoxMovies
                            : group == "music"  ? kBoxMusic
                                                : kBoxPictures;
        boxes[box] = BoxState::Ticked;
    }
    // An empty composition leaves the file types as they are.
    const std::string fileTypes = ComposeDownloadTypes(boxes, settings_);
    if (!fileTypes.empty()) {
        settings_.types.Set(TypeKind::FileTypes, fileTypes);
    }
    settings_.dft.store(MaskOfTickedBoxes(boxes));
}

}  // namespace wg
