// The " Download Directories" dialog: the ten directories searched for files
// downloaded earlier, whether the directories below them are searched too
// (and how that list is kept), and runtime duplicate detection. "Save"
// applies and closes, "Cancel" closes; what follows the closing (generating
// the sub-directory list, building the duplication data, writing the
// settings file) runs before the window reports itself closed.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/download_dirs.h"
#include "ui/dialog_window.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace wg {

class App;
class UiPort;

namespace dd {
inline constexpr int kDialog = 114;
inline constexpr int kFirstEdit = 1072;     // "Dir 1:" .. "Dir 10:" edit boxes: 1072 .. 1081
inline constexpr int kFirstExplore = 1095;  // "Dir 1:" .. "Dir 10:" buttons: 1095 .. 1104
inline constexpr std::array<int, kCheckDirCount> kBrowse = {1090, 1082, 1083, 1084, 1085,
                                                            1086, 1087, 1088, 1089, 1091};
inline constexpr int kLookInSubdirs = 1155;
inline constexpr int kSaveSubdirs = 1156;
inline constexpr int kGenerateAtRunTime = 1157;
inline constexpr int kRuntimeDetect = 1195;
inline constexpr int kUpdateDupeData = 1196;
inline constexpr int kHelp = 1198;
inline constexpr int kSave = 1;
inline constexpr int kCancel = 2;
}  // namespace dd

class DirectoriesWindow : public DialogWindow {
    Q_OBJECT
public:
    // `openHelp` opens the read-me page at an anchor ("help5").
    DirectoriesWindow(App& app, UiPort& port, std::function<void(const std::string&)> openHelp,
                      QWidget* owner);

    // The choice the controls show.
    DownloadDirsChoice Choice() const;

protected:
    bool Build() override;
    bool OnCommand(int id) override;
    void reject() override;

private:
    void Browse(int row);
    void Explore(int row);
    void RuntimeDetectClicked();
    void UpdateEnabled();
    void Save();
    // Hides the window, runs what follows its closing, then reports it closed.
    void Finish(bool saved, bool lookInSubdirs);

    App& app_;
    UiPort& port_;
    std::function<void(const std::string&)> openHelp_;
    std::array<QLineEdit*, kCheckDirCount> edits_{};
    QCheckBox* lookInSubdirs_ = nullptr;
    QRadioButton* saveSubdirs_ = nullptr;
    QRadioButton* generateAtRunTime_ = nullptr;
    QCheckBox* runtimeDetect_ = nullptr;
    QPushButton* updateDupeData_ = nullptr;
    bool detectionSwitchedOn_ = false;  // the last click on 1195 left it checked
    bool finishing_ = false;
};

}  // namespace wg
