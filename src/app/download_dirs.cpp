#include "app/download_dirs.h"
#include "app/option_setters.h"

#include "app/app.h"
#include "app/option_files.h"
#include "download/directory_search.h"
#include "dupes/dupe_service.h"
#include "platform/files.h"

namespace wg {

DownloadDirsChoice CurrentDownloadDirs(const App& app) {
    DownloadDirsChoice choice;
    for (int i = 0; i < kCheckDirCount; ++i) {
        choice.dirs[static_cast<std::size_t>(i)] =
            app.Directories().GetCheckDir(i).value_or(std::string());
    }
    choice.lookInSubdirs = app.Settings().searchDlSubDirs.load();
    choice.saveSubdirs = app.Settings().saveDlSubDirs.load();
    choice.runtimeDetect = app.Settings().runtimeDuplicateDetect.load();
    return choice;
}

std::string CheckDownloadDirs(const DownloadDirsChoice& choice) {
    for (std::size_t i = 0; i < choice.dirs.size(); ++i) {
        const std::string& dir = choice.dirs[i];
        if (dir.empty()) {
            continue;
        }
        const std::string row = "Dir " + std::to_string(i + 1) + ": ";
        if (dir.size() > kCheckDirMaxLength) {
            return row + "the directory name is longer than " + std::to_string(kCheckDirMaxLength) +
                   " characters.";
        }
        // A line break would end the CHECK_DIR line of the settings file.
        if (dir.find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos) {
            return row + "the directory name holds a line break.";
        }
        const char* fault = nullptr;
        if (!platform::DirectoryExists(dir)) {
            fault = "\" is not an existing directory.";
        } else if (platform::EnumerateDirectory(dir, [](const auto&) { return false; }) != 0) {
            fault = "\" cannot be read.";
        }
        if (fault != nullptr) {
            std::string refusal = row;
            refusal.append("\"").append(dir).append(fault);
            return refusal;
        }
    }
    return {};
}

void ApplyDownloadDirs(App& app, const DownloadDirsChoice& choice) {
    for (int i = 0; i < kCheckDirCount; ++i) {
        app.Directories().SetCheckDir(choice.dirs[static_cast<std::size_t>(i)], i);
    }
    app.Directories().ClearSubDirs();
    app.Settings().saveDlSubDirs.store(choice.saveSubdirs);
    app.Setters().SetRuntimeDuplicateDetect(choice.runtimeDetect);
}

void FinishDownloadDirs(App& app, bool saved, bool lookInSubdirs, bool detectionSwitchedOn,
                        const std::function<void()>& progress) {
    if (saved && lookInSubdirs) {
        app.Directories().GenerateSubDirs(progress);
        if (app.Dupes().RebuildWanted() && app.Settings().runtimeDuplicateDetect.load()) {
            (void)app.Dupes().StartBuild();
        }
    } else if (!detectionSwitchedOn) {
        app.Options().SaveSettings();
    } else if (app.Settings().runtimeDuplicateDetect.load()) {
        (void)app.Dupes().StartBuild();
    }
}

std::string DownloadDirsTitle(const App& app) {
    const std::string name = app.Paths().settingsFile.filename().string();
    if (name.empty() || name == "Grubbler.ini") {
        return " Download Directories";
    }
    return " Download Directories: " + name;
}

}  // namespace wg
