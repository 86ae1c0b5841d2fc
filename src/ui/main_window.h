// The main window of the desktop program: the address field and the scope
// and type-group boxes of a crawl, the run-time buttons, the five counters,
// the status line, the last-image preview and the menu. Every button and menu
// item carries its identifier ("id1", "id40024") and ends in OnCommand; the
// engine reaches the window only through the port (PortView).
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "settings/type_groups.h"
#include "ui/dialog_window.h"
#include "ui/qt_port.h"

class QBoxLayout;
class QCheckBox;
class QEvent;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QResizeEvent;
class QScrollArea;

namespace wg {

class App;
class DirectoriesWindow;
class FindDuplicatesWindow;
class ImagePreview;
class QueueViewer;
class OptionDialogs;
class TrayController;
class WizardWindow;
enum class ListKind;

// The Pause button's picture: running, or paused (the queue viewers show it too).
QIcon PauseIcon(bool paused);

// Identifiers of the main window's controls and menu items.
namespace mw {
inline constexpr int kDialog = 101;
inline constexpr int kMenu = 105;
inline constexpr int kAddress = 1000;
inline constexpr int kGoFetch = 1;
inline constexpr int kExit = 2;
inline constexpr int kOnlyThisPage = 1032;
inline constexpr int kWithinDomain = 1033;
inline constexpr int kAllLinked = 1034;
inline constexpr int kFileUrl = 1070;
inline constexpr int kBoxWebPages = 1024;
inline constexpr int kBoxMovies = 1019;
inline constexpr int kBoxMusic = 1020;
inline constexpr int kBoxPictures = 1021;
inline constexpr int kDownloadDir = 1176;
inline constexpr int kBrowseDir = 1177;
inline constexpr int kExploreDir = 1175;
inline constexpr int kPause = 1184;
inline constexpr int kEmptyDownloads = 1181;
inline constexpr int kViewToGrubble = 1185;
inline constexpr int kViewToDownload = 1107;
inline constexpr int kViewInProcess = 1178;
inline constexpr int kOpenLastDownload = 1180;
inline constexpr int kSave = 1186;
inline constexpr int kLoadAs = 1188;
inline constexpr int kPreview = 1190;
inline constexpr int kStop = 1090;
inline constexpr int kStopAfterThis = 1091;
inline constexpr int kExitAfterLast = 1008;
inline constexpr int kSaveAndExit = 1066;
inline constexpr int kOptions = 1002;
inline constexpr int kStatus = 1055;
inline constexpr int kLinksCounter = 1006;
inline constexpr int kToDownloadCounter = 1007;
inline constexpr int kInProcessCounter = 1009;
inline constexpr int kScannedCounter = 1083;
inline constexpr int kDownloadedCounter = 1071;

inline constexpr int kMenuPause = 40010;
inline constexpr int kMenuPauseAfterDownloads = 40039;
inline constexpr int kMenuEmptyDownloads = 40024;
inline constexpr int kMenuStopAddingLinks = 40009;
inline constexpr int kMenuStopAddingHistory = 40021;
inline constexpr int kMenuEraseHistory = 40016;
inline constexpr int kMenuEraseDupeData = 40036;
inline constexpr int kMenuLoad = 40006;
inline constexpr int kMenuLoadAs = 40017;
inline constexpr int kMenuSave = 40008;
inline constexpr int kMenuSaveAs = 40015;
inline constexpr int kMenuSaveAndExit = 40007;
inline constexpr int kMenuExitAfterThis = 40023;
inline constexpr int kMenuExplore = 40002;
inline constexpr int kMenuOpenLastDownload = 40025;
inline constexpr int kMenuViewToGrubble = 40011;
inline constexpr int kMenuViewToDownload = 40014;
inline constexpr int kMenuViewInProcess = 40030;
inline constexpr int kMenuUrlErrorLog = 40013;
inline constexpr int kMenuOptions = 40018;
inline constexpr int kMenuAdvanced = 40022;
inline constexpr int kMenuDirectories = 40035;
inline constexpr int kMenuLoadOptionsAs = 40020;
inline constexpr int kMenuSaveOptionsAs = 40019;
inline constexpr int kMenuFindDuplicates = 40029;
inline constexpr int kMenuWizard = 40032;
inline constexpr int kMenuHelp = 40004;
inline constexpr int kMenuCheckUpdates = 40034;
inline constexpr int kMenuAbout = 40005;

// The About box.
inline constexpr int kAboutDialog = 106;
inline constexpr int kAboutCheckUpdates = 1026;
inline constexpr int kAboutHomePage = 1056;
}  // namespace mw

class MainWindow : public DialogWindow, public PortView {
    Q_OBJECT
public:
    MainWindow(App& app, QtPort& port, QWidget* parent = nullptr);
    ~MainWindow() override;

    // " Web Grubbler v1.29".
    static QString TitleText();

    // ---- PortView (GUI thread) ----
    void ViewStatus(const std::string& text) override;
    void ViewAppendStatus(const std::string& text) override;
    void ViewCounter(Counter counter, const std::string& text) override;
    void ViewCrawlRunning(bool running) override;
    void ViewPauseState(bool paused) override;
    void ViewScopeButtons(bool allLinked, bool withinDomain) override;
    void ViewAddressText(const std::string& text) override;
    void ViewStopAddingHistoryChecked(bool checked) override;
    void ViewQueueEmptied(Counter queue) override;
    void ViewNewestImage(const std::string& path) override;
    // The small progress window of background work (building the
    // duplication data): a text in a window of its own.
    void ViewOpenProgress(const std::string& text) override;
    void ViewProgressText(const std::string& text) override;
    void ViewCloseProgress() override;

    // Sets the four type-group boxes from DFT and the lists (after the
    // options or a state file changed them); Go then leaves the lists alone
    // until a box is clicked.
    void RefreshTypeBoxes();

    // The scope the buttons select; "Only This Web Page" when none is checked.
    CrawlScope SelectedScope() const;

    // The download-type text the boxes composed at their last click.
    const std::string& DownloadTypesText() const { return downloadTypes_; }
    bool ExitPressed() const { return exitPressed_; }

    // A termination request from outside (SIGTERM, SIGINT): Exit, except
    // that the state is still saved when ALWAYS_SAVE asks for it.
    void ExitOnRequest();
    // The engine has left its loop: the window may close now, and hides.
    void AllowClose();

    // Pumps the queue viewers and the other child windows and forgets those
    // the user closed.
    void ProcessMessages() override;
    // The open viewer of a kind (null when none).
    QueueViewer* Viewer(ListKind kind) const;
    // The " Download Directories" dialog, opened or brought to the front.
    void ShowDownloadDirectories();

protected:
    bool Build() override;
    bool OnCommand(int id) override;
    bool OnKeyDown(int key, int controlId) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    // Building (main_window.cpp).
    void BuildMenu(QMenuBar* bar);
    void BuildLayout(QMenuBar* bar);
    // Sizes the window to its content, or to the screen when that is smaller.
    void FitToScreen();
    QString TrayCounterText() const;  // the five counters, a line each
    void NotifyIfFinished();
    // The crawl's summary behind "Finished." or "Stopped.", and in the debug log.
    void AddSummaryAtCrawlEnd();
    void ArrangeBody(int width);
    void ShowInitialState();
    void SetBoxes(const TypeBoxes& boxes);
    TypeBoxes CurrentBoxes() const;
    void ShowCounter(Counter counter, const QString& text);

    // Commands (main_window_commands.cpp).
    void GoFetch();
    void ApplyDownloadTypes();
    void OnScopeClicked(int id);
    void OnTypeBoxClicked();
    void StoreTypedDirectory();
    void BrowseDirectory();
    void ExploreTypedDirectory();
    void ExploreDownloads();
    void StopQuestion();
    void ToggleStopAfterThisDownload();
    void ToggleExitAfterLastDownload();
    void ToggleExitAfterThisDownload();
    void SaveAndExit();
    void Exit();
    // Makes the typed download directory the one in use (false: refused,
    // the field shows the one in use again).
    bool ApplyTypedDirectory();
    // Opens a file, folder or page with the desktop; the status line says
    // when that fails.
    bool OpenOnDesktop(const std::string& target);
    void LeaveOnce();  // the part of Exit that any way out shares
    void OpenLastDownload();
    void OpenLastImage();
    void OpenUrlErrorLog();
    void EmptyDownloadsQuestion();
    void StepRecentAddress(bool older);
    void LoadState(bool chooseFile);
    void LoadOptionsAs();
    void OpenHelp();
    void OpenHelpAt(const std::string& anchor);
    // The directories and Find Duplicates windows: pumped, or deleted once closed.
    void PumpChildWindows();
    void ShowFindDuplicates();
    void ShowAbout();
    // The wizard (main_window_wizard.cpp), opened or brought to the front.
    void ShowWizard();
    // The two option dialogs, made at their first use.
    OptionDialogs& Options();
    void NoteAddress();
    void NoteScope();
    // The queue viewers (main_window_viewers.cpp): a second open brings the
    // open one to the front.
    void OpenViewer(ListKind kind);
    void HideViewers();
    void RestoreViewers();
    void CloseViewers();
    void NoteViewersOpen();
    void ViewRunSwitches();

    App& app_;
    QtPort& port_;

    QLineEdit* address_ = nullptr;
    QLineEdit* downloadDir_ = nullptr;
    std::array<QRadioButton*, 4> scopes_{};  // 1032, 1033, 1034, 1070
    std::array<QCheckBox*, 4> boxes_{};      // in TypeBox order: web, movies, music, pictures
    QPushButton* pause_ = nullptr;
    QCheckBox* stopAfterThis_ = nullptr;
    QCheckBox* exitAfterLast_ = nullptr;
    QLabel* status_ = nullptr;
    std::array<QLabel*, 5> counters_{};  // in Counter order
    ImagePreview* preview_ = nullptr;
    QScrollArea* scroll_ = nullptr;   // everything between the address row and the status
    QBoxLayout* body_ = nullptr;      // the controls, and the preview beside or below them
    int sideBySideWidth_ = 0;         // the body's width with the preview beside the controls
    TrayController* tray_ = nullptr;  // a child of the window, made at the first minimise
    QPointer<QDialog> about_;         // the About box while it is open
    QPointer<QDialog> progress_;      // the progress window while it is open
    std::array<QPointer<QueueViewer>, 3> viewers_;   // in ListKind order
    OptionDialogs* optionDialogs_ = nullptr;         // a child of the window
    QPointer<DirectoriesWindow> directories_;        // while open
    QPointer<FindDuplicatesWindow> findDuplicates_;  // while open
    QPointer<WizardWindow> wizard_;                  // while open
    // The child windows hidden into the tray with the main window.
    std::vector<QPointer<DialogWindow>> hiddenChildren_;

    std::string downloadTypes_;   // composed by the type-group boxes
    bool typesComposed_ = false;  // a box was clicked since the boxes were last set
    std::string lastImage_;       // the picture the preview shows; empty: placeholder
    bool exitPressed_ = false;
    bool closeAllowed_ = false;  // set once the engine has left its loop
    bool statusBusy_ = false;    // re-entry guard of status-line writes
};

}  // namespace wg
