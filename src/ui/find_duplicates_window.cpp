#include "ui/find_duplicates_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/app.h"
#include "app/option_files.h"
#include "app/ui_port.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr int kPollMs = 200;
constexpr int kPixelsPerCharacter = 7;
constexpr int kInitialExtent = 600;
constexpr qint64 kTreePumpMs = 50;

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') {
        return dir + name;
    }
    return dir + '/' + name;
}

}  // namespace

FindDuplicatesWindow::FindDuplicatesWindow(App& app, UiPort& port, FindDuplicatesHooks hooks,
                                           QWidget* owner)
    : DialogWindow(owner), app_(app), port_(port), hooks_(std::move(hooks)) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
}

FindDuplicatesWindow::~FindDuplicatesWindow() {
    poll_.stop();
    session_.Close();
}

bool FindDuplicatesWindow::Build() {
    setObjectName(IdName(fd::kDialog));
    setWindowTitle(QStringLiteral(" Find Duplicate Files"));
    auto* top = new QVBoxLayout(this);

    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(new QLabel(QStringLiteral("Base Dir:"), this));
    baseDir_ = new QLineEdit(QString::fromStdString(app_.Paths().downloadDir.string()), this);
    NameControl(baseDir_, fd::kBaseDir);
    baseRow->addWidget(baseDir_, 1);
    QPushButton* browse = AddButton(fd::kBrowse, QStringLiteral("..."));
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    baseRow->addWidget(browse);
    baseRow->addWidget(AddButton(fd::kSet, QStringLiteral("Set")));
    top->addLayout(baseRow);

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setObjectName(IdName(fd::kTree));
    results_ = new QListWidget(this);
    results_->setObjectName(IdName(fd::kResults));
    results_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    results_->addItem(QStringLiteral("Initializing..."));
    results_->hide();
    connect(results_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { OpenPair(item); });
    top->addWidget(tree_, 1);
    top->addWidget(results_, 1);

    counters_ = new QLabel(this);
    counters_->setObjectName(IdName(fd::kCounters));
    counters_->setTextFormat(Qt::PlainText);
    status_ = new QLabel(this);
    status_->setObjectName(IdName(fd::kStatus));
    status_->setTextFormat(Qt::PlainText);
    top->addWidget(counters_);
    top->addWidget(status_);

    auto* options = new QHBoxLayout;
    searchSubdirs_ = new QCheckBox(QStringLiteral("Search Subdirectories"), this);
    searchSubdirs_->setChecked(app_.Settings().searchSubDirs.load());
    RouteButton(searchSubdirs_, fd::kSearchSubdirs);
    logResults_ = new QCheckBox(QStringLiteral("Log Results"), this);
    RouteButton(logResults_, fd::kLogResults);
    options->addWidget(searchSubdirs_);
    options->addWidget(logResults_);
    options->addStretch(1);
    top->addLayout(options);

    auto* buttons = new QHBoxLayout;
    find_ = AddButton(fd::kFind, QStringLiteral("Find"));
    find_->setDefault(true);
    stop_ = AddButton(fd::kStop, QStringLiteral("Stop"));
    stop_->setEnabled(false);
    delete_ = AddButton(fd::kDeleteDuplicates, QStringLiteral("Delete Duplicates"));
    delete_->setEnabled(false);
    buttons->addWidget(find_);
    buttons->addWidget(stop_);
    buttons->addWidget(delete_);
    buttons->addWidget(AddButton(fd::kClear, QStringLiteral("Clear")));
    buttons->addStretch(1);
    buttons->addWidget(AddButton(fd::kHelp, QStringLiteral("Help")));
    buttons->addWidget(AddButton(fd::kClose, QStringLiteral("Close")));
    top->addLayout(buttons);

    QPushButton* link = AddButton(
        fd::kOpenDirectories,
        QStringLiteral("See 'Directories To Search' dialog to enable runtime duplicate file "
                       "detection (click here to open dialog)"));
    link->setFlat(true);
    top->addWidget(link);

    resize(860, 520);
    baseDir_->setFocus();
    return true;
}

bool FindDuplicatesWindow::OnCommand(int id) {
    switch (id) {
        case fd::kBrowse:
            if (!Searching()) {
                Browse();
            }
            return true;
        case fd::kSet:
            if (!Searching()) {
                FillTree();
            }
            return true;
        case fd::kFind:
            Find();
            return true;
        case fd::kSearchSubdirs:
            app_.Settings().searchSubDirs.store(searchSubdirs_->isChecked());
            return true;
        case fd::kStop:
            stopped_ = true;
            session_.Stop();
            return true;
        case fd::kDeleteDuplicates:
            DeleteDuplicates();
            return true;
        case fd::kClear:
            Clear();
            return true;
        case fd::kHelp:
            if (hooks_.openHelp) {
                hooks_.openHelp("4");
            }
            return true;
        case fd::kClose:
            Close();
            return true;
        case fd::kOpenDirectories:
            if (hooks_.openDirectories) {
                hooks_.openDirectories();
            }
            return true;
        default:
            return false;
    }
}

void FindDuplicatesWindow::closeEvent(QCloseEvent* event) {
    if (Searching()) {
        // Not destroyed while the search runs: it goes when the search returns.
        event->ignore();
        Close();
        return;
    }
    DialogWindow::closeEvent(event);
}

void FindDuplicatesWindow::reject() {
    Close();
}

void FindDuplicatesWindow::Close() {
    closing_ = true;
    session_.Close();
    if (!Searching()) {
        MarkClosed();
        hide();
    }
}

// ---- the tree ----

void FindDuplicatesWindow::Browse() {
    const std::string chosen =
        port_.ChooseFolder("Choose a folder:", app_.Paths().downloadDir.string());
    if (chosen.empty()) {
        return;
    }
    baseDir_->setText(QString::fromStdString(chosen));
    FillTree();
}

void FindDuplicatesWindow::FillTree() {
    tree_->clear();
    ShowTree(true);
    std::uint64_t found = 0;
    fillPump_.start();
    FillBelow(baseDir_->text().toStdString(), nullptr, found);
    counters_->setText(QString::fromStdString("Files Found: " + GroupedCount(found)));
}

void FindDuplicatesWindow::FillBelow(const std::string& dir, QTreeWidgetItem* parent,
                                     std::uint64_t& found) {
    std::vector<std::pair<QTreeWidgetItem*, std::string>> below;
    (void)platform::EnumerateDirectory(dir, [&](const platform::DirEntry& entry) {
        if (entry.isDirectory) {
            // A linked directory is not entered: a link up the tree has no end.
            if (!entry.name.starts_with('.') && !entry.isSymlink) {
                const QStringList text{QString::fromStdString(entry.name)};
                auto* item = parent != nullptr ? new QTreeWidgetItem(parent, text)
                                               : new QTreeWidgetItem(tree_, text);
                below.emplace_back(item, JoinPath(dir, entry.name));
            }
        } else {
            ++found;
        }
        return true;
    });
    if (fillPump_.elapsed() >= kTreePumpMs) {
        fillPump_.restart();
        counters_->setText(QString::fromStdString("Files Found: " + GroupedCount(found)));
        // Repaint only: no command may run while the tree is being filled.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    for (const auto& [item, path] : below) {
        FillBelow(path, item, found);
    }
}

std::string FindDuplicatesWindow::SearchRoot() const {
    std::string root = baseDir_->text().toStdString();
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty()) {
        return root;
    }
    std::vector<std::string> names;
    for (const QTreeWidgetItem* item = selected.front(); item != nullptr; item = item->parent()) {
        names.push_back(item->text(0).toStdString());
    }
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        root = JoinPath(root, *name);
    }
    return root;
}

void FindDuplicatesWindow::ShowTree(bool tree) {
    tree_->setVisible(tree);
    results_->setVisible(!tree);
}

void FindDuplicatesWindow::Clear() {
    if (!results_->isHidden()) {
        results_->clear();
        extent_ = kInitialExtent;
    } else {
        tree_->clear();
    }
}

// ---- searching ----

void FindDuplicatesWindow::Find() {
    if (Searching() || closing_) {
        return;
    }
    const std::string root = SearchRoot();
    if (root.empty() || root.size() >= kPathCapacity || !platform::DirectoryExists(root)) {
        status_->setText(QString::fromStdString(" Cannot search \"" + root.substr(0, 300) +
                                                "\": it is not an existing directory."));
        return;
    }
    app_.Settings().searchSubDirs.store(searchSubdirs_->isChecked());
    app_.Options().SaveSettings();

    log_.reset();
    if (logResults_->isChecked()) {
        log_ = platform::OpenFile("results.log", "w");  // not written when it cannot be made
    }
    ShowTree(false);
    find_->setEnabled(false);
    stop_->setEnabled(true);
    delete_->setEnabled(false);
    counters_->setText(QStringLiteral(" Files Scanned: 0"));
    stopped_ = false;
    deleting_ = false;
    if (!session_.StartFind(root, searchSubdirs_->isChecked(), log_.get())) {
        find_->setEnabled(true);
        stop_->setEnabled(false);
        return;
    }
    poll_.start();
}

void FindDuplicatesWindow::DeleteDuplicates() {
    if (Searching() || closing_ || session_.DuplicatesFound() == 0) {
        return;
    }
    const std::string question = "Delete the " + std::to_string(session_.DuplicatesFound()) +
                                 " duplicated files? The first file of every identical pair "
                                 "is kept.";
    if (port_.Ask(question, "Warning", Buttons::YesNo, Icon::Question) != Answer::Yes) {
        return;
    }
    delete_->setEnabled(false);
    find_->setEnabled(false);
    deleting_ = true;
    if (session_.StartDelete()) {
        poll_.start();
    } else {
        find_->setEnabled(true);
    }
}

void FindDuplicatesWindow::Poll() {
    DupeSearchReport report = session_.Take();
    if (report.clearResults) {
        results_->clear();
        extent_ = kInitialExtent;
    }
    for (const std::string& line : report.results) {
        AddResult(line);
    }
    if (!report.status.empty()) {
        status_->setText(QString::fromStdString(report.status));
    }
    if (!report.counters.empty()) {
        counters_->setText(QString::fromStdString(report.counters));
    }
    if (report.finished) {
        Finished();
    }
}

void FindDuplicatesWindow::AddResult(const std::string& line) {
    results_->addItem(QString::fromStdString(line));
    extent_ = std::max(extent_, kPixelsPerCharacter * static_cast<int>(line.size()));
}

void FindDuplicatesWindow::Finished() {
    poll_.stop();
    log_.reset();
    find_->setEnabled(true);
    stop_->setEnabled(false);
    if (closing_) {
        MarkClosed();
        hide();
        return;
    }
    if (deleting_) {
        deleting_ = false;
        return;
    }
    if (!session_.RootListed()) {
        status_->setText(
            QString::fromStdString(" Cannot read \"" + SearchRoot().substr(0, 300) + "\"."));
    } else if (stopped_ && status_->text().startsWith(QStringLiteral(" Searching"))) {
        // Stopped before the compare began.
        status_->setText(QStringLiteral(" Compare Cancelled"));
    }
    delete_->setEnabled(session_.DuplicatesFound() > 0);
}

void FindDuplicatesWindow::OpenPair(QListWidgetItem* item) {
    const std::string line = item->text().toStdString();
    const std::size_t amp = line.find(" & ");
    if (amp == std::string::npos) {
        return;
    }
    const std::size_t end = line.find(" are iden", amp + 3);
    const std::string first = line.substr(0, amp);
    const std::string second =
        line.substr(amp + 3, end == std::string::npos ? std::string::npos : end - amp - 3);
    for (const std::string& path : {first, second}) {
        if (!port_.OpenWithDesktop(path)) {
            status_->setText(
                QString::fromStdString(" The desktop could not open \"" + path + "\"."));
        }
    }
}

}  // namespace wg
