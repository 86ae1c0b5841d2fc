// The " Options" and " Advanced Options" dialogs. Both show the App's values
// when they open (and again after a settings file was loaded), keep the
// user's clicks in their controls, and change the settings only on "Save",
// through the checked apply of app/option_values.h. OptionDialogs opens them
// for the main window, one of each at a time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

#include "app/option_values.h"
#include "ui/dialog_window.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace wg {

class App;
class QtPort;

// Identifiers of the two dialogs' controls.
namespace ow {
inline constexpr int kOptionsDialog = 102;
inline constexpr int kAdvancedDialog = 103;
inline constexpr int kSave = 1;
inline constexpr int kCancel = 2;
inline constexpr int kHelp = 1004;
inline constexpr int kDefaults = 1005;

// " Options".
inline constexpr int kAdvanced = 1003;
inline constexpr int kMinFileSize = 1010;
inline constexpr int kMaxFileSize = 1011;
inline constexpr int kDownloadDir = 1012;
inline constexpr int kBrowseDir = 1013;
inline constexpr int kFileTypes = 1014;
inline constexpr int kWebPages = 1015;
inline constexpr int kMovies = 1016;
inline constexpr int kMusic = 1017;
inline constexpr int kPictures = 1018;
inline constexpr int kIgnoreList = 1022;
inline constexpr int kDuplicateOptions = 1023;
inline constexpr int kSiteTypes = 1025;
inline constexpr int kSkipKeywords = 1026;
inline constexpr int kDownloadKeywords = 1027;
inline constexpr int kSearchWords = 1028;
inline constexpr int kSearchInUrl = 1029;
inline constexpr int kSearchOnPage = 1030;
inline constexpr int kNoSearch = 1031;
inline constexpr int kMirrorDirs = 1035;
inline constexpr int kSiteDir = 1036;
inline constexpr int kNoSubDirs = 1037;
inline constexpr int kVerbose = 1038;
inline constexpr int kLogUrlErrors = 1039;
inline constexpr int kSendCookies = 1040;
inline constexpr int kGuessUrls = 1041;
inline constexpr int kNoGuessAfterQuery = 1042;
inline constexpr int kStartClassic = 1043;
inline constexpr int kAlwaysSave = 1044;
inline constexpr int kSaveEvery5 = 1045;
inline constexpr int kAlwaysLoad = 1046;

// " Advanced Options".
inline constexpr int kDownloadThreads = 1060;
inline constexpr int kUrlThreads = 1061;
inline constexpr int kMinDownloads = 1062;
inline constexpr int kUserAgent = 1063;
inline constexpr int kLogDebug = 1064;
inline constexpr int kAutoUpdates = 1065;
inline constexpr int kShowExitingMsgs = 1066;
inline constexpr int kDownloadAsIs = 1067;
inline constexpr int kSingleRedirectParam = 1068;
inline constexpr int kShowLastImage = 1069;
inline constexpr int kResizeLastImage = 1070;
inline constexpr int kUrlEscapeFilenames = 1071;
inline constexpr int kRedirAsp = 1072;
inline constexpr int kRedirPhp = 1073;
inline constexpr int kRedirJsp = 1074;
inline constexpr int kPriorityNormal = 1075;
inline constexpr int kPriorityLow = 1076;
inline constexpr int kLogUrls = 1077;
inline constexpr int kNoDownload = 1078;
inline constexpr int kOpenDebugLog = 1079;
inline constexpr int kOpenUrlLog = 1080;
inline constexpr int kLoadAs = 1081;
inline constexpr int kSaveAs = 1082;
}  // namespace ow

// The base of both dialogs: the App, the port, and the shared handling of
// "Save" refusals, help pages and opened files.
class OptionDialog : public DialogWindow {
    Q_OBJECT
public:
    OptionDialog(App& app, QtPort& port, QWidget* owner);

    // Shows the App's current values.
    virtual void Refill() = 0;
    // The title names the settings file in use (after "Save Options As").
    virtual void ShowSettingsFile() = 0;

    // Ends the dialog ("Save", "Cancel", Escape, the close box): it tells
    // `closed` once and goes.
    void done(int result) override;

signals:
    // The dialog has closed (after "Save", "Cancel" or its close box).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

    QLineEdit* AddEdit(int id);
    QCheckBox* AddCheck(int id, const QString& label);
    QRadioButton* AddRadio(int id, const QString& label, QWidget* group);
    // Checks the radio button of `id` and clears the others of `ids` (none
    // of them when `id` is not among them).
    void CheckOneOf(std::initializer_list<int> ids, int id);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    QString EditText(int id) const;
    void SetEditText(int id, const std::string& text);
    // Tells the user which fields "Save" refused, puts the focus into the
    // first one, and keeps the dialog open. `fields` maps a label to its edit.
    void ShowRefusals(const std::vector<FieldRefusal>& refusals,
                      std::initializer_list<std::pair<std::string_view, int>> fields);
    void OpenHelp(std::string_view anchor);
    void OpenFile(const std::string& path, std::string_view missing);

    App& app_;
    QtPort& port_;

private:
    bool finished_ = false;
};

class OptionsWindow : public OptionDialog {
    Q_OBJECT
public:
    // `directories` is the main window's "Directories To Search" command,
    // which the "Download Duplicate Detection Options" button runs.
    OptionsWindow(App& app, QtPort& port, QWidget* owner, QAction* directories);

    void Refill() override;
    void ShowSettingsFile() override;
    void Fill(const OptionValues& values);
    OptionValues Values() const;

signals:
    void advancedRequested();

protected:
    bool Build() override;
    bool OnCommand(int id) override;

private:
    void FollowGuessUrls();
    void OnGroupClicked(int id);
    void Save();
    void Defaults();
    void BrowseFolder();

    QPointer<QAction> directories_;
};

class AdvancedOptionsWindow : public OptionDialog {
    Q_OBJECT
public:
    AdvancedOptionsWindow(App& app, QtPort& port, QWidget* owner);

    void Refill() override;
    void ShowSettingsFile() override;
    void Fill(const AdvancedValues& values);
    AdvancedValues Values() const;

protected:
    bool Build() override;
    bool OnCommand(int id) override;

signals:
    void settingsLoaded();
    void settingsFileChanged();

private:
    void FollowSwitches();
    void Save();
    void LoadAs();
};

// The main window's two option dialogs: opened on demand, brought to the
// front when already open, refilled after the settings were loaded.
class OptionDialogs : public QObject {
    Q_OBJECT
public:
    OptionDialogs(App& app, QtPort& port, QWidget* owner, QAction* directories);

    OptionsWindow* OpenOptions();
    AdvancedOptionsWindow* OpenAdvanced();
    // The open dialogs' titles name the settings file now in use.
    void ShowSettingsFile();
    // Shows the App's values in the open dialogs (a settings file was loaded).
    void Refill();

    OptionsWindow* Options() const { return options_; }
    AdvancedOptionsWindow* Advanced() const { return advanced_; }

signals:
    // One of the dialogs closed: the settings may have changed.
    void closed();

private:
    App& app_;
    QtPort& port_;
    QWidget* owner_;
    QPointer<QAction> directories_;
    QPointer<OptionsWindow> options_;
    QPointer<AdvancedOptionsWindow> advanced_;
};

}  // namespace wg
