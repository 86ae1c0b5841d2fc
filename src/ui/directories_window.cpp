#include "ui/directories_window.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/app.h"
#include "app/ui_port.h"
#include "dupes/dupe_service.h"
#include "settings/app_paths.h"
#include "ui/progress_window.h"

namespace wg {

namespace {

constexpr qint64 kProgressPumpMs = 30;  // the progress window repaints at most this often

constexpr const char* kLongTaskWarning =
    "Depending on the number of files already downloaded, this process can take a very long "
    "time. Continue?";

}  // namespace

DirectoriesWindow::DirectoriesWindow(App& app, UiPort& port,
                                     std::function<void(const std::string&)> openHelp,
                                     QWidget* owner)
    : DialogWindow(owner), app_(app), port_(port), openHelp_(std::move(openHelp)) {}

bool DirectoriesWindow::Build() {
    setObjectName(IdName(dd::kDialog));
    setWindowTitle(QString::fromStdString(DownloadDirsTitle(app_)));
    const DownloadDirsChoice choice = CurrentDownloadDirs(app_);

    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(
        QStringLiteral("Directories to look in to see if a file has already been downloaded:"),
        this));
    auto* grid = new QGridLayout;
    const QIcon folder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    for (int row = 0; row < kCheckDirCount; ++row) {
        const auto r = static_cast<std::size_t>(row);
        QPushButton* explore =
            AddButton(dd::kFirstExplore + row, QStringLiteral("Dir %1:").arg(row + 1));
        explore->setIcon(folder);
        explore->setToolTip(QStringLiteral("Open this directory"));
        auto* edit = new QLineEdit(QString::fromStdString(choice.dirs[r]), this);
        NameControl(edit, dd::kFirstEdit + row);
        edits_[r] = edit;
        QPushButton* browse = AddButton(dd::kBrowse[r], QStringLiteral("..."));
        browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
                                24);
        grid->addWidget(explore, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(browse, row, 2);
    }
    grid->setColumnStretch(1, 1);
    top->addLayout(grid);
    top->addWidget(new QLabel(
        QStringLiteral(
            "(Note: Web Grubbler automatically checks the directory it's downloading to)"),
        this));

    auto* subdirs = new QHBoxLayout;
    lookInSubdirs_ = new QCheckBox(QStringLiteral("Look In Subdirectories"), this);
    lookInSubdirs_->setChecked(choice.lookInSubdirs);
    RouteButton(lookInSubdirs_, dd::kLookInSubdirs);
    saveSubdirs_ = new QRadioButton(QStringLiteral("Save Subdirectories   or"), this);
    RouteButton(saveSubdirs_, dd::kSaveSubdirs);
    generateAtRunTime_ = new QRadioButton(QStringLiteral("Generate At Run Time  )"), this);
    RouteButton(generateAtRunTime_, dd::kGenerateAtRunTime);
    (choice.saveSubdirs ? saveSubdirs_ : generateAtRunTime_)->setChecked(true);
    subdirs->addWidget(lookInSubdirs_);
    subdirs->addWidget(new QLabel(QStringLiteral("("), this));
    subdirs->addWidget(saveSubdirs_);
    subdirs->addWidget(generateAtRunTime_);
    subdirs->addStretch(1);
    top->addLayout(subdirs);

    auto* dupes = new QHBoxLayout;
    runtimeDetect_ = new QCheckBox(QStringLiteral("Enable Runtime Duplicate File Detection"), this);
    runtimeDetect_->setChecked(choice.runtimeDetect);
    RouteButton(runtimeDetect_, dd::kRuntimeDetect);
    updateDupeData_ = AddButton(dd::kUpdateDupeData, QStringLiteral("Update Duplication Data"));
    dupes->addWidget(runtimeDetect_);
    dupes->addWidget(updateDupeData_);
    dupes->addStretch(1);
    top->addLayout(dupes);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton(dd::kHelp, QStringLiteral("Help")));
    buttons->addStretch(1);
    QPushButton* save = AddButton(dd::kSave, QStringLiteral("Save"));
    save->setDefault(true);
    buttons->addWidget(save);
    buttons->addWidget(AddButton(dd::kCancel, QStringLiteral("Cancel")));
    top->addLayout(buttons);

    UpdateEnabled();
    resize(640, sizeHint().height());
    return true;
}

DownloadDirsChoice DirectoriesWindow::Choice() const {
    DownloadDirsChoice choice;
    for (std::size_t r = 0; r < edits_.size(); ++r) {
        choice.dirs[r] = edits_[r]->text().toStdString();
    }
    choice.lookInSubdirs = lookInSubdirs_->isChecked();
    choice.saveSubdirs = saveSubdirs_->isChecked();
    choice.runtimeDetect = runtimeDetect_->isChecked();
    return choice;
}

bool DirectoriesWindow::OnCommand(int id) {
    if (finishing_) {
        return true;
    }
    for (int row = 0; row < kCheckDirCount; ++row) {
        if (id == dd::kBrowse[static_cast<std::size_t>(row)]) {
            Browse(row);
            return true;
        }
        if (id == dd::kFirstExplore + row) {
            Explore(row);
            return true;
        }
    }
    switch (id) {
        case dd::kLookInSubdirs:
            UpdateEnabled();
            return true;
        case dd::kRuntimeDetect:
            RuntimeDetectClicked();
            return true;
        case dd::kUpdateDupeData:
            (void)app_.Dupes().StartUpdate();
            return true;
        case dd::kHelp:
            if (openHelp_) {
                openHelp_("help5");
            }
            return true;
        case dd::kSave:
            Save();
            return true;
        case dd::kCancel:
            Finish(false, false);
            return true;
        default:
            return false;
    }
}

void DirectoriesWindow::reject() {
    // Escape and the close box are Cancel.
    if (!finishing_) {
        Finish(false, false);
    }
}

void DirectoriesWindow::Browse(int row) {
    const std::string chosen =
        port_.ChooseFolder("Choose a folder:", app_.Paths().downloadDir.string());
    if (!chosen.empty()) {
        edits_[static_cast<std::size_t>(row)]->setText(QString::fromStdString(chosen));
    }
}

void DirectoriesWindow::Explore(int row) {
    const std::string dir = edits_[static_cast<std::size_t>(row)]->text().toStdString();
    if (dir.empty()) {
        return;
    }
    if (!port_.OpenWithDesktop(dir)) {
        app_.ShowStatus("The desktop could not open \"" + dir + "\".");
    }
}

void DirectoriesWindow::RuntimeDetectClicked() {
    if (runtimeDetect_->isChecked() &&
        port_.Ask(kLongTaskWarning, "Warning", Buttons::YesNo, Icon::Information) != Answer::Yes) {
        runtimeDetect_->setChecked(false);
    }
    detectionSwitchedOn_ = runtimeDetect_->isChecked();
    UpdateEnabled();
}

void DirectoriesWindow::UpdateEnabled() {
    saveSubdirs_->setEnabled(lookInSubdirs_->isChecked());
    generateAtRunTime_->setEnabled(lookInSubdirs_->isChecked());
    updateDupeData_->setEnabled(runtimeDetect_->isChecked());
}

void DirectoriesWindow::Save() {
    const DownloadDirsChoice choice = Choice();
    // Nothing is applied until every row names a directory that can be searched.
    if (const std::string refusal = CheckDownloadDirs(choice); !refusal.empty()) {
        port_.Tell(refusal, "Download Directories", Icon::Warning);
        return;
    }
    ApplyDownloadDirs(app_, choice);
    Finish(true, choice.lookInSubdirs);
}

void DirectoriesWindow::Finish(bool saved, bool lookInSubdirs) {
    finishing_ = true;
    hide();
    if (saved && lookInSubdirs) {
        ProgressWindow progress(parentWidget());
        if (progress.Create()) {
            progress.setModal(true);
            progress.show();
            progress.SetText("Generating Directory List...");
            progress.ProcessMessages();
        }
        QElapsedTimer sincePump;
        sincePump.start();
        FinishDownloadDirs(app_, saved, lookInSubdirs, detectionSwitchedOn_, [&] {
            if (sincePump.elapsed() >= kProgressPumpMs) {  // repaint, but not for every entry
                progress.ProcessMessages();
                sincePump.restart();
            }
        });
    } else {
        FinishDownloadDirs(app_, saved, lookInSubdirs, detectionSwitchedOn_, {});
    }
    MarkClosed();
}

}  // namespace wg
