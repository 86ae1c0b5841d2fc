// What the main window's buttons, menu items and keys do. Everything acts on
// the App; questions, choosers and opening files go through the port.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app.h"
#include "app/crawl_control.h"
#include "app/crawl_state_file.h"
#include "app/crawl_work.h"
#include "app/option_files.h"
#include "app/recent_texts.h"
#include "app/update_check.h"
#include "download/last_downloads.h"
#include "dupes/dupe_service.h"
#include "platform/files.h"
#include "ui/directories_window.h"
#include "ui/find_duplicates_window.h"
#include "ui/help_page.h"
#include "ui/main_window.h"
#include "ui/options_window.h"
#include "ui/queue_viewer.h"
#include "ui/tray.h"
#include "util/pause.h"

namespace wg {

namespace {

constexpr int kSecondExitPauseMs = 500;
constexpr int kOpenLastDownloadPauseMs = 50;

const char* const kTypeBoxRefused =
    "Web Pages already downloads every file the pages link to: untick Web Pages to download "
    "only pictures, movies or music.";

const char* const kUrlErrorLogMissing =
    "URL Error Log File Not Found!  To start logging invalid links go to options and check "
    "'Log URL Errors'";

}  // namespace

bool MainWindow::OnCommand(int id) {
    switch (id) {
        case mw::kGoFetch:
            GoFetch();
            return true;
        case mw::kOnlyThisPage:
        case mw::kWithinDomain:
        case mw::kAllLinked:
        case mw::kFileUrl:
            OnScopeClicked(id);
            return true;
        case mw::kBoxWebPages:
        case mw::kBoxMovies:
        case mw::kBoxMusic:
        case mw::kBoxPictures:
            OnTypeBoxClicked();
            return true;
        case mw::kBrowseDir:
            BrowseDirectory();
            return true;
        case mw::kExploreDir:
            ExploreTypedDirectory();
            return true;
        case mw::kPause:
        case mw::kMenuPause:
            app_.Control().TogglePause();
            return true;
        case mw::kEmptyDownloads:
        case mw::kMenuEmptyDownloads:
            EmptyDownloadsQuestion();
            return true;
        case mw::kOpenLastDownload:
        case mw::kMenuOpenLastDownload:
            OpenLastDownload();
            return true;
        case mw::kSave:
        case mw::kMenuSave:
            (void)app_.StateFile().Save(false);
            return true;
        case mw::kLoadAs:
        case mw::kMenuLoadAs:
            LoadState(true);
            return true;
        case mw::kMenuLoad:
            LoadState(false);
            return true;
        case mw::kMenuSaveAs:
            (void)app_.StateFile().SaveAs();
            return true;
        case mw::kPreview:
            OpenLastImage();
            return true;
        case mw::kStop:
            StopQuestion();
            return true;
        case mw::kStopAfterThis:
            ToggleStopAfterThisDownload();
            return true;
        case mw::kExitAfterLast:
            ToggleExitAfterLastDownload();
            return true;
        case mw::kSaveAndExit:
        case mw::kMenuSaveAndExit:
            SaveAndExit();
            return true;
        case mw::kExit:
            Exit();
            return true;
        case mw::kMenuPauseAfterDownloads:
            app_.Control().SetPauseAfterDownloads(!app_.State().PauseAfterDownloads());
            Action(id)->setChecked(app_.State().PauseAfterDownloads());
            return true;
        case mw::kMenuStopAddingLinks:
            app_.State().SetStopAddingLinks(!app_.State().StopAddingLinks());
            Action(id)->setChecked(app_.State().StopAddingLinks());
            return true;
        case mw::kMenuStopAddingHistory:
            app_.Control().ToggleStopAddingHistory();
            Action(id)->setChecked(app_.State().StopAddingHistory());
            return true;
        case mw::kMenuEraseHistory:
            app_.Work().EraseUrlHistory(true);
            return true;
        case mw::kMenuEraseDupeData:
            app_.Dupes().Erase();
            return true;
        case mw::kMenuExitAfterThis:
            ToggleExitAfterThisDownload();
            return true;
        case mw::kMenuExplore:
            ExploreDownloads();
            return true;
        case mw::kMenuUrlErrorLog:
            OpenUrlErrorLog();
            return true;
        case mw::kMenuLoadOptionsAs:
            LoadOptionsAs();
            return true;
        case mw::kMenuSaveOptionsAs:
            app_.Options().SaveOptionsAs();
            if (optionDialogs_ != nullptr) {
                optionDialogs_->ShowSettingsFile();
            }
            return true;
        case mw::kMenuHelp:
            OpenHelp();
            return true;
        case mw::kOptions:
        case mw::kMenuOptions:
            ApplyDownloadTypes();
            (void)Options().OpenOptions();
            return true;
        case mw::kMenuAdvanced:
            (void)Options().OpenAdvanced();
            return true;
        case mw::kMenuAbout:
            ShowAbout();
            return true;
        case mw::kViewToDownload:
        case mw::kMenuViewToDownload:
            OpenViewer(ListKind::Downloads);
            return true;
        case mw::kViewToGrubble:
        case mw::kMenuViewToGrubble:
            OpenViewer(ListKind::Pages);
            return true;
        case mw::kViewInProcess:
        case mw::kMenuViewInProcess:
            OpenViewer(ListKind::InProcess);
            return true;
        case mw::kMenuDirectories:
            ShowDownloadDirectories();
            return true;
        case mw::kMenuFindDuplicates:
            ShowFindDuplicates();
            return true;
        case mw::kMenuCheckUpdates:
            CheckForUpdate(app_, DefaultUpdateSetup(app_));
            return true;
        case mw::kMenuWizard:
            ShowWizard();
            return true;
        default:
            return false;
    }
}

bool MainWindow::OnKeyDown(int key, int controlId) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (controlId == mw::kDownloadDir) {
            StoreTypedDirectory();
        } else {
            GoFetch();
        }
        return true;
    }
    if (controlId == mw::kAddress && (key == Qt::Key_Down || key == Qt::Key_Up)) {
        StepRecentAddress(key == Qt::Key_Down);
        return true;
    }
    return false;
}

// ---- starting a crawl ----

void MainWindow::ApplyDownloadTypes() {
    // Until a box is clicked the boxes only show what the lists hold: the
    // user's file types stay as they are.
    if (!typesComposed_) {
        return;
    }
    if (!downloadTypes_.empty()) {
        app_.Settings().types.Set(TypeKind::FileTypes, downloadTypes_);
    }
    app_.Settings().dft.store(MaskOfTickedBoxes(CurrentBoxes()));
}

void MainWindow::GoFetch() {
    // The directory shown is the one this crawl saves into, or none starts.
    if (!ApplyTypedDirectory()) {
        return;
    }
    ApplyDownloadTypes();
    NoteAddress();
    NoteScope();
    CrawlRequest request;
    request.address = address_->text().toStdString();
    request.scope = SelectedScope();
    request.webPagesChecked = boxes_[kBoxWebPages]->checkState() == Qt::Checked;
    (void)app_.StartCrawl(request);
}

void MainWindow::OnScopeClicked(int id) {
    auto* clicked = qobject_cast<QRadioButton*>(Control(id));
    if (clicked != nullptr && clicked->isChecked()) {
        for (QRadioButton* other : scopes_) {
            if (other != clicked) {
                other->setChecked(false);
            }
        }
    }
    NoteScope();
}

void MainWindow::OnTypeBoxClicked() {
    TypeBoxes boxes = CurrentBoxes();
    const TypeBoxes clicked = boxes;
    downloadTypes_ = ComposeDownloadTypes(boxes, app_.Settings());
    SetBoxes(boxes);
    typesComposed_ = true;
    for (const std::size_t box : {kBoxMovies, kBoxMusic, kBoxPictures}) {
        if (clicked[box] == BoxState::Ticked && boxes[box] != BoxState::Ticked) {
            // Web Pages already takes every file the pages link to.
            app_.ShowStatus(kTypeBoxRefused);
            return;
        }
    }
}

void MainWindow::StepRecentAddress(bool older) {
    const std::string text = address_->text().toStdString();
    const std::string shown = older ? app_.RecentUrls().Older(text) : app_.RecentUrls().Newer(text);
    address_->setText(QString::fromStdString(shown));
    address_->end(false);
    NoteAddress();
}

// ---- the download directory ----

void MainWindow::StoreTypedDirectory() {
    (void)ApplyTypedDirectory();
}

bool MainWindow::ApplyTypedDirectory() {
    const std::string current = app_.Paths().downloadDir.string();
    const std::string typed = ExpandHome(downloadDir_->text().trimmed()).toStdString();
    if (typed.empty() || typed == current) {
        downloadDir_->setText(QString::fromStdString(current));
        return true;
    }
    const bool applied = app_.Options().SetSaveDirectory(typed);
    if (applied) {
        app_.Options().SaveSettings();
    }
    // Refused, the field goes back to the directory in use.
    downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
    return applied;
}

void MainWindow::BrowseDirectory() {
    const std::string chosen =
        port_.ChooseFolder("Choose a folder:", downloadDir_->text().toStdString());
    if (chosen.empty()) {
        return;
    }
    if (app_.Options().SetSaveDirectory(chosen)) {
        app_.Options().SaveSettings();
    }
    downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
}

void MainWindow::ExploreTypedDirectory() {
    const std::string dir = downloadDir_->text().trimmed().toStdString();
    if (dir.empty()) {
        return;
    }
    if (port_.OpenWithDesktop(dir)) {
        return;
    }
    (void)platform::CreateDirectories(dir);
    (void)OpenOnDesktop(dir);
}

void MainWindow::ExploreDownloads() {
    (void)OpenOnDesktop(app_.Paths().downloadDir.string());
}

bool MainWindow::OpenOnDesktop(const std::string& target) {
    if (port_.OpenWithDesktop(target)) {
        return true;
    }
    app_.ShowStatus("The desktop could not open \"" + target + "\".");
    return false;
}

// ---- stopping and exiting ----

void MainWindow::StopQuestion() {
    const Answer answer = port_.Ask(
        "The crawl is being stopped.\n\nDo you want to erase the history of URLs scanned too?",
        "Stop", Buttons::YesNoCancel, Icon::Question);
    if (answer != Answer::Yes && answer != Answer::No) {
        return;  // the crawl goes on
    }
    // Until the last worker has put its file down and says "Stopped.".
    app_.ShowStatus("Stopping: the workers are finishing...");
    if (answer == Answer::Yes) {
        app_.Control().StopWithAbort(true);
    } else {
        app_.Control().StopAll();
    }
    ViewCrawlRunning(false);
}

void MainWindow::ToggleStopAfterThisDownload() {
    const bool checked = stopAfterThis_->isChecked();
    app_.Control().Stop(checked);
    app_.ShowStatus(checked ? "Stopping after next download..." : "");
}

void MainWindow::ToggleExitAfterLastDownload() {
    const bool checked = exitAfterLast_->isChecked();
    app_.Control().SetExitAfterLastDownload(checked);
    app_.ShowStatus(checked ? "...will exit after last download." : "");
}

void MainWindow::ToggleExitAfterThisDownload() {
    const bool checked = !app_.State().ExitAfterThisDownload();
    Action(mw::kMenuExitAfterThis)->setChecked(checked);
    app_.Control().SetExitAfterThisDownload(checked);
    app_.ShowStatus(checked ? "Exiting when downloads are complete..." : "");
}

void MainWindow::SaveAndExit() {
    app_.ShowStatus("Waiting for current downloads to complete...");
    CloseViewers();
    Action(mw::kMenuExitAfterThis)->setChecked(true);
    app_.Options().SetAlwaysSaveForThisRun(true);
    app_.Control().SetExitAfterThisDownload(true);
}

void MainWindow::Exit() {
    // A plain Exit never saves the state, whatever the options say.
    app_.Options().SetAlwaysSaveForThisRun(false);
    LeaveOnce();
}

void MainWindow::ExitOnRequest() {
    LeaveOnce();
}

void MainWindow::LeaveOnce() {
    delete tray_;
    tray_ = nullptr;
    CloseViewers();
    app_.Control().RequestExit();
    if (exitPressed_) {
        // Pressed twice: leave without waiting for busy workers.
        PauseMs(kSecondExitPauseMs);
        app_.Control().ExitNow();
    }
    exitPressed_ = true;
}

void MainWindow::AllowClose() {
    closeAllowed_ = true;
    hide();
}

// ---- opening things ----

void MainWindow::OpenLastDownload() {
    const std::string last = app_.LastFiles().LastPath();
    if (last.empty()) {
        app_.ShowStatus("Sorry, no last download found.");
        return;
    }
    PauseMs(kOpenLastDownloadPauseMs);
    if (port_.OpenWithDesktop(last)) {
        return;
    }
    const std::string previous = app_.LastFiles().PreviousPath();
    if (previous.empty()) {
        app_.ShowStatus(platform::PathExists(last)
                            ? "The desktop could not open \"" + last + "\"."
                            : std::string("The last download could not be found."));
        return;
    }
    (void)OpenOnDesktop(previous);
}

void MainWindow::OpenLastImage() {
    if (lastImage_.empty()) {
        app_.ShowStatus("Sorry, image not found.");
        return;
    }
    (void)OpenOnDesktop(lastImage_);
}

void MainWindow::OpenUrlErrorLog() {
    const std::string path = app_.UrlErrorLogPath();
    const bool readable = !path.empty() && platform::OpenFile(path, "rb") != nullptr;
    if (!readable) {
        app_.ShowStatus(kUrlErrorLogMissing);
        return;
    }
    (void)OpenOnDesktop(path);
}

void MainWindow::EmptyDownloadsQuestion() {
    if (port_.Ask("Are you sure you want to empty the download queue?", "Warning", Buttons::YesNo,
                  Icon::Question) == Answer::Yes) {
        app_.Work().EmptyDownloads();
    } else {
        app_.ShowStatus("'Remove All Downloads' action aborted.");
    }
}

void MainWindow::LoadState(bool chooseFile) {
    if (chooseFile) {
        if (!app_.StateFile().LoadAs()) {
            return;
        }
    } else {
        app_.StateFile().Load(false);
    }
    // A state file brings its own settings: the boxes, the directory and
    // the open option dialogs follow.
    RefreshTypeBoxes();
    downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
    Options().Refill();
}

void MainWindow::LoadOptionsAs() {
    app_.Options().LoadOptionsAs();
    RefreshTypeBoxes();
    downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
    Options().Refill();
}

OptionDialogs& MainWindow::Options() {
    if (optionDialogs_ == nullptr) {
        optionDialogs_ = new OptionDialogs(app_, port_, this, Action(mw::kMenuDirectories));
        // The options may have changed the lists, the groups or the directory.
        connect(optionDialogs_, &OptionDialogs::closed, this, [this] {
            RefreshTypeBoxes();
            downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
            address_->setFocus();
        });
    }
    return *optionDialogs_;
}

void MainWindow::OpenHelp() {
    (void)OpenOnDesktop(HelpPageUrl("1"));
}

void MainWindow::OpenHelpAt(const std::string& anchor) {
    (void)OpenOnDesktop(HelpPageUrl(anchor));
}

// ---- child windows ----

void MainWindow::PumpChildWindows() {
    for (DialogWindow* child : {static_cast<DialogWindow*>(directories_.data()),
                                static_cast<DialogWindow*>(findDuplicates_.data())}) {
        if (child != nullptr) {
            child->ProcessMessages();
            if (child->Closed()) {
                delete child;  // the QPointer forgets it
            }
        }
    }
}

void MainWindow::ShowDownloadDirectories() {
    if (directories_ != nullptr && directories_->Closed()) {
        // Closed since the last pump: a new one opens.
        const DirectoriesWindow* closed = directories_;
        directories_ = nullptr;
        delete closed;
    }
    if (directories_ == nullptr) {
        auto* window = new DirectoriesWindow(
            app_, port_, [this](const std::string& anchor) { OpenHelpAt(anchor); }, this);
        if (!window->Create()) {
            delete window;
            return;
        }
        directories_ = window;
    }
    directories_->Restore();
}

void MainWindow::ShowFindDuplicates() {
    if (findDuplicates_ != nullptr && findDuplicates_->Closed()) {
        const FindDuplicatesWindow* closed = findDuplicates_;
        findDuplicates_ = nullptr;
        delete closed;
    }
    if (findDuplicates_ == nullptr) {
        FindDuplicatesHooks hooks;
        hooks.openHelp = [this](const std::string& anchor) { OpenHelpAt(anchor); };
        hooks.openDirectories = [this] { ShowDownloadDirectories(); };
        auto* window = new FindDuplicatesWindow(app_, port_, std::move(hooks), this);
        if (!window->Create()) {
            delete window;
            return;
        }
        findDuplicates_ = window;
    }
    findDuplicates_->Restore();
}

void MainWindow::ShowAbout() {
    if (!about_.isNull()) {
        about_->raise();
        about_->activateWindow();
        return;
    }
    auto* about = new QDialog(this);
    about->setObjectName(IdName(mw::kAboutDialog));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowTitle(QString::asprintf(" About - Built %s %s", __DATE__, __TIME__));
    auto* layout = new QVBoxLayout(about);
    auto* text =
        new QLabel(TitleText().trimmed() + QStringLiteral("\n\nA site grabber: give it an address, "
                                                          "choose what to keep, and it fetches the "
                                                          "site for reading offline."),
                   about);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* buttons = new QHBoxLayout;
    auto* updates = new QPushButton(QStringLiteral("Check For Updates"), about);
    updates->setObjectName(IdName(mw::kAboutCheckUpdates));
    updates->setAutoDefault(false);
    connect(updates, &QPushButton::clicked, this, [this, about] {
        about->close();
        CheckForUpdate(app_, DefaultUpdateSetup(app_));
    });
    auto* home = new QPushButton(QStringLiteral("Home Page"), about);
    home->setObjectName(IdName(mw::kAboutHomePage));
    home->setAutoDefault(false);
    connect(home, &QPushButton::clicked, this, [this] {
        (void)OpenOnDesktop(QUrl::fromLocalFile(HelpPagePath()).toString().toStdString());
    });
    auto* ok = new QPushButton(QStringLiteral("OK"), about);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, about, &QDialog::accept);
    buttons->addWidget(updates);
    buttons->addWidget(home);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    about_ = about;
    about->show();
}

}  // namespace wg
