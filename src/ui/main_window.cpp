// The main window's controls, menu and layout, and what the engine shows in
// them through the port. The commands are in main_window_commands.cpp.
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QVBoxLayout>

#include "app/app.h"
#include "app/counter_text.h"
#include "crawl/run_state.h"
#include "download/last_downloads.h"
#include "settings/app_paths.h"
#include "ui/image_preview.h"
#include "ui/queue_viewer.h"
#include "ui/tray.h"
#include "util/log_file.h"

namespace wg {

namespace {

constexpr double kVersion = 1.29;

// A type-group box. It can show the half-ticked state (a group that only the
// lists imply), but a click never leads into it: ticked becomes unticked,
// anything else ticked.
class TypeGroupBox : public QCheckBox {
public:
    TypeGroupBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
        setTristate(true);
    }

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

constexpr std::array<int, 4> kScopeIds = {mw::kOnlyThisPage, mw::kWithinDomain, mw::kAllLinked,
                                          mw::kFileUrl};
// In TypeBox order (web pages, movies, music, pictures).
constexpr std::array<int, 4> kBoxIds = {mw::kBoxWebPages, mw::kBoxMovies, mw::kBoxMusic,
                                        mw::kBoxPictures};
// In Counter order.
constexpr std::array<int, 5> kCounterIds = {mw::kLinksCounter, mw::kToDownloadCounter,
                                            mw::kInProcessCounter, mw::kDownloadedCounter,
                                            mw::kScannedCounter};
constexpr std::array<Counter, 5> kCounters = {Counter::LinksToGrubble, Counter::ToDownload,
                                              Counter::InProcess, Counter::FilesDownloaded,
                                              Counter::UrlsScanned};

std::size_t CounterIndex(Counter counter) {
    return static_cast<std::size_t>(counter);
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The scrolling body of the window. Its size hint is the whole content's, so
// that the window opens as large as it needs where the screen has room; on a
// small screen (or a large scale factor) the window is made smaller and the
// body scrolls.
class BodyScrollArea : public QScrollArea {
public:
    explicit BodyScrollArea(QWidget* parent) : QScrollArea(parent) {
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() == nullptr ? QScrollArea::sizeHint()
                                   : widget()->sizeHint() + QSize(frame, frame);
    }
};

}  // namespace

MainWindow::MainWindow(App& app, QtPort& port, QWidget* parent)
    : DialogWindow(parent), app_(app), port_(port), downloadTypes_(kDefaultFileTypes) {}

MainWindow::~MainWindow() = default;

QIcon PauseIcon(bool paused) {
    return QApplication::style()->standardIcon(paused ? QStyle::SP_MediaPlay
                                                      : QStyle::SP_MediaPause);
}

QString MainWindow::TitleText() {
    return QString::asprintf(" Web Grubbler v%.2f", kVersion);
}

bool MainWindow::Build() {
    setObjectName(IdName(mw::kDialog));
    setWindowTitle(TitleText());
    auto* bar = new QMenuBar(this);
    bar->setObjectName(IdName(mw::kMenu));
    bar->setNativeMenuBar(false);
    BuildMenu(bar);
    BuildLayout(bar);
    ShowInitialState();
    FitToScreen();
    return true;
}

void MainWindow::BuildMenu(QMenuBar* bar) {
    QMenu* files = bar->addMenu(QStringLiteral("&Files"));
    AddAction(files, mw::kMenuPause, QStringLiteral("&Pause"), true);
    AddAction(files, mw::kMenuPauseAfterDownloads, QStringLiteral("Pau&se After Downloads"), true);
    AddAction(files, mw::kMenuEmptyDownloads, QStringLiteral("&Empty 'To Download' List"));
    AddAction(files, mw::kMenuStopAddingLinks, QStringLiteral("Stop Adding To 'Links &To Grubble'"),
              true);
    AddAction(files, mw::kMenuStopAddingHistory, QStringLiteral("Stop Adding To URL Histor&y"),
              true);
    files->addSeparator();
    AddAction(files, mw::kMenuEraseHistory, QStringLiteral("Erase URL &History"));
    AddAction(files, mw::kMenuEraseDupeData, QStringLiteral("Erase &Duplicate File Data"));
    files->addSeparator();
    AddAction(files, mw::kMenuLoad, QStringLiteral("&Load"));
    AddAction(files, mw::kMenuLoadAs, QStringLiteral("L&oad As"));
    AddAction(files, mw::kMenuSave, QStringLiteral("&Save"));
    AddAction(files, mw::kMenuSaveAs, QStringLiteral("Save &As"));
    files->addSeparator();
    AddAction(files, mw::kMenuSaveAndExit, QStringLiteral("Save And Exi&t"));
    AddAction(files, mw::kMenuExitAfterThis, QStringLiteral("Exit After This &Download"), true);
    QAction* exit = AddAction(files, mw::kExit, QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence::Quit);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    AddAction(view, mw::kMenuExplore, QStringLiteral("&Explore Downloads"));
    AddAction(view, mw::kMenuOpenLastDownload, QStringLiteral("&Open Last Download"));
    view->addSeparator();
    AddAction(view, mw::kMenuViewToGrubble, QStringLiteral("&View 'Links To Grubble' Queue"));
    AddAction(view, mw::kMenuViewToDownload, QStringLiteral("View 'To &Download' Queue"));
    AddAction(view, mw::kMenuViewInProcess, QStringLiteral("View '&In Process'"));
    view->addSeparator();
    AddAction(view, mw::kMenuUrlErrorLog, QStringLiteral("Open &URL Error Log"));

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    AddAction(options, mw::kMenuOptions, QStringLiteral("&Options"));
    AddAction(options, mw::kMenuAdvanced, QStringLiteral("&Advanced"));
    AddAction(options, mw::kMenuDirectories, QStringLiteral("&Directories To Search"));
    options->addSeparator();
    AddAction(options, mw::kMenuLoadOptionsAs, QStringLiteral("&Load Options As"));
    AddAction(options, mw::kMenuSaveOptionsAs, QStringLiteral("&Save Options As"));

    QMenu* duplicates = bar->addMenu(QStringLiteral("Find &Duplicates"));
    AddAction(duplicates, mw::kMenuFindDuplicates, QStringLiteral("Find &Duplicates"));

    QMenu* wizard = bar->addMenu(QStringLiteral("&Wizard"));
    AddAction(wizard, mw::kMenuWizard, QStringLiteral("&Wizard"));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    QAction* helpPage = AddAction(help, mw::kMenuHelp, QStringLiteral("&Help"));
    helpPage->setShortcut(QKeySequence::HelpContents);
    AddAction(help, mw::kMenuCheckUpdates, QStringLiteral("Check For &Updates"));
    AddAction(help, mw::kMenuAbout, QStringLiteral("&About"));

    // The shortcuts work wherever the focus is in the window, menus closed.
    addAction(exit);
    addAction(helpPage);
}

void MainWindow::BuildLayout(QMenuBar* bar) {
    auto* top = new QVBoxLayout(this);
    top->setMenuBar(bar);

    // The address and "Go Fetch".
    auto* addressRow = new QHBoxLayout;
    auto* urlLabel = new QLabel(QStringLiteral("URL:"), this);
    address_ = new QLineEdit(this);
    address_->setMaxLength(1023);
    NameControl(address_, mw::kAddress);
    urlLabel->setBuddy(address_);
    QPushButton* go = AddButton(mw::kGoFetch, QStringLiteral("Go Fetch"));
    addressRow->addWidget(urlLabel);
    addressRow->addWidget(address_, 1);
    addressRow->addWidget(go);
    top->addLayout(addressRow);

    scroll_ = new BodyScrollArea(this);
    auto* content = new QWidget(scroll_);
    body_ = new QBoxLayout(QBoxLayout::LeftToRight, content);
    body_->setContentsMargins(0, 0, 0, 0);
    auto* body = body_;
    auto* left = new QVBoxLayout;

    // Scope and download types.
    auto* choices = new QHBoxLayout;
    auto* scopeGroup = new QGroupBox(QStringLiteral("Scope"), this);
    auto* scopeLayout = new QVBoxLayout(scopeGroup);
    const std::array<const char*, 4> scopeLabels = {"Only This Web Page", "Within This Domain Only",
                                                    "All Linked Pages", "File URL"};
    for (std::size_t i = 0; i < scopes_.size(); ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(scopeLabels[i]), scopeGroup);
        // Exclusive by OnScopeClicked, so that the checked one can be cleared.
        radio->setAutoExclusive(false);
        RouteButton(radio, kScopeIds[i]);
        scopeLayout->addWidget(radio);
        scopes_[i] = radio;
    }
    auto* typeGroup = new QGroupBox(QStringLiteral("Download"), this);
    auto* typeLayout = new QVBoxLayout(typeGroup);
    const std::array<const char*, 4> boxLabels = {"Web Pages", "Movies", "Music", "Pictures"};
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        auto* box = new TypeGroupBox(QString::fromLatin1(boxLabels[i]), typeGroup);
        RouteButton(box, kBoxIds[i]);
        if (i != kBoxWebPages) {
            box->setToolTip(
                QStringLiteral("Only files of this kind; Web Pages, when ticked, "
                               "takes every kind"));
        }
        typeLayout->addWidget(box);
        boxes_[i] = box;
    }
    choices->addWidget(scopeGroup, 1);
    choices->addWidget(typeGroup, 1);
    left->addLayout(choices);

    // The download directory.
    auto* dirRow = new QHBoxLayout;
    auto* dirLabel = new QLabel(QStringLiteral("Download Directory:"), this);
    downloadDir_ = new QLineEdit(this);
    NameControl(downloadDir_, mw::kDownloadDir);
    dirLabel->setBuddy(downloadDir_);
    // Leaving the field applies what was typed, as Enter does.
    connect(downloadDir_, &QLineEdit::editingFinished, this, [this] {
        if (!closeAllowed_) {
            (void)ApplyTypedDirectory();
        }
    });
    QPushButton* browse = AddButton(mw::kBrowseDir, QStringLiteral("..."));
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    QPushButton* explore = AddButton(mw::kExploreDir, QString());
    explore->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    explore->setToolTip(QStringLiteral("Open the download directory"));
    explore->setAccessibleName(QStringLiteral("Explore"));
    dirRow->addWidget(dirLabel);
    dirRow->addWidget(downloadDir_, 1);
    dirRow->addWidget(browse);
    dirRow->addWidget(explore);
    left->addLayout(dirRow);

    // The command buttons.
    auto* grid = new QGridLayout;
    pause_ = AddButton(mw::kPause, QStringLiteral("Pause"));
    grid->addWidget(pause_, 0, 0);
    grid->addWidget(AddButton(mw::kStop, QStringLiteral("Stop")), 0, 1);
    grid->addWidget(AddButton(mw::kSave, QStringLiteral("Save")), 0, 2);
    grid->addWidget(AddButton(mw::kLoadAs, QStringLiteral("Load As")), 0, 3);
    grid->addWidget(AddButton(mw::kEmptyDownloads, QStringLiteral("Empty 'To Download'")), 1, 0);
    grid->addWidget(AddButton(mw::kOpenLastDownload, QStringLiteral("Open Last Download")), 1, 1);
    grid->addWidget(AddButton(mw::kSaveAndExit, QStringLiteral("Save and Exit")), 1, 2);
    grid->addWidget(AddButton(mw::kExit, QStringLiteral("Exit")), 1, 3);
    grid->addWidget(AddButton(mw::kViewToGrubble, QStringLiteral("To Grubble")), 2, 0);
    grid->addWidget(AddButton(mw::kViewToDownload, QStringLiteral("To Download")), 2, 1);
    grid->addWidget(AddButton(mw::kViewInProcess, QStringLiteral("In Process")), 2, 2);
    grid->addWidget(AddButton(mw::kOptions, QStringLiteral("Options")), 2, 3);
    left->addLayout(grid);

    auto* checks = new QHBoxLayout;
    stopAfterThis_ = new QCheckBox(QStringLiteral("Stop After This Download"), this);
    RouteButton(stopAfterThis_, mw::kStopAfterThis);
    exitAfterLast_ = new QCheckBox(QStringLiteral("Exit After Last Download"), this);
    RouteButton(exitAfterLast_, mw::kExitAfterLast);
    checks->addWidget(stopAfterThis_);
    checks->addWidget(exitAfterLast_);
    checks->addStretch(1);
    left->addLayout(checks);
    left->addStretch(1);
    body->addLayout(left, 1);

    // The preview and the counters.
    auto* right = new QVBoxLayout;
    preview_ = new ImagePreview(this);
    preview_->setObjectName(IdName(mw::kPreview));
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setToolTip(QStringLiteral("Click to open the picture"));
    connect(preview_, &ImagePreview::clicked, this, [this] { OnCommand(mw::kPreview); });
    right->addWidget(preview_, 0, Qt::AlignHCenter);
    auto* counterFrame = new QFrame(this);
    counterFrame->setFrameShape(QFrame::StyledPanel);
    auto* counterLayout = new QVBoxLayout(counterFrame);
    const int counterWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("Files Downloaded: 9,999,999")) + 8;
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        auto* label = new QLabel(counterFrame);
        label->setObjectName(IdName(kCounterIds[i]));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(counterWidth);
        counterLayout->addWidget(label);
        counters_[i] = label;
    }
    right->addWidget(counterFrame);
    right->addStretch(1);
    body->addLayout(right);
    sideBySideWidth_ = content->sizeHint().width();
    scroll_->setWidget(content);
    top->addWidget(scroll_, 1);

    // The status line: as wide as the window; a long text does not widen it.
    status_ = new QLabel(this);
    status_->setObjectName(IdName(mw::kStatus));
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameShape(QFrame::Panel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    status_->setMinimumHeight(status_->fontMetrics().height() + 8);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(status_);
}

void MainWindow::FitToScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // Room for the window manager's frame, which is not known before the
    // window is mapped.
    const QSize frame(2 * fontMetrics().height(), 4 * fontMetrics().height());
    // Without a window manager (or before it has published its work area) the
    // available part of the screen can read as empty: the whole screen then.
    QSize usable = screen->availableGeometry().size();
    if (usable.width() < 320 || usable.height() < 240) {
        usable = screen->geometry().size();
    }
    const QSize room = usable - frame;
    ArrangeBody(room.width());
    QSize size = sizeHint();
    if (size.height() > room.height()) {
        // The body scrolls: room for its scroll bar, so that only one is needed.
        size.rwidth() += scroll_->verticalScrollBar()->sizeHint().width();
    }
    resize(size.boundedTo(room));
}

void MainWindow::ArrangeBody(int width) {
    // The preview and the counters go below the controls when the window is
    // too narrow for both side by side.
    const QMargins margins = layout()->contentsMargins();
    const auto direction = width >= sideBySideWidth_ + margins.left() + margins.right()
                               ? QBoxLayout::LeftToRight
                               : QBoxLayout::TopToBottom;
    if (body_->direction() != direction) {
        body_->setDirection(direction);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    DialogWindow::resizeEvent(event);
    if (body_ != nullptr) {
        ArrangeBody(event->size().width());
    }
}

void MainWindow::ShowInitialState() {
    const std::string address = port_.AddressText();
    address_->setText(Q(address));
    connect(address_, &QLineEdit::textChanged, this, [this] { NoteAddress(); });

    const CrawlScope scope = port_.SelectedScope();
    // The buttons stand in CrawlScope order.
    for (std::size_t i = 0; i < scopes_.size(); ++i) {
        scopes_[i]->setChecked(static_cast<std::size_t>(scope) == i);
    }
    NoteScope();
    RefreshTypeBoxes();
    downloadDir_->setText(Q(app_.Paths().downloadDir.string()));

    const CrawlSnapshot shot = app_.Snapshot();
    std::array<std::int64_t, 5> values{};
    values[CounterIndex(Counter::LinksToGrubble)] = static_cast<std::int64_t>(shot.pagesQueued);
    values[CounterIndex(Counter::ToDownload)] = static_cast<std::int64_t>(shot.filesQueued);
    values[CounterIndex(Counter::InProcess)] = shot.inProcess;
    values[CounterIndex(Counter::FilesDownloaded)] = shot.filesDownloaded;
    values[CounterIndex(Counter::UrlsScanned)] = shot.urlsScanned;
    for (Counter counter : kCounters) {
        ShowCounter(counter, Q(FormatCounterText(counter, values[CounterIndex(counter)])));
    }

    const bool paused = shot.paused;
    pause_->setText(paused ? QStringLiteral("Unpause") : QStringLiteral("Pause"));
    pause_->setIcon(PauseIcon(paused));
    Action(mw::kMenuPause)->setChecked(paused);
    ViewRunSwitches();
    exitAfterLast_->setChecked(shot.exitAfterLastDownload);
    ViewCrawlRunning(values[CounterIndex(Counter::LinksToGrubble)] != 0 ||
                     values[CounterIndex(Counter::ToDownload)] != 0);
    ViewStatus(port_.StatusText());
    preview_->ShowPlaceholder();
    address_->setFocus();
}

// ---- the type-group boxes ----

void MainWindow::SetBoxes(const TypeBoxes& boxes) {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const Qt::CheckState state = boxes[i] == BoxState::Ticked       ? Qt::Checked
                                     : boxes[i] == BoxState::HalfTicked ? Qt::PartiallyChecked
                                                                        : Qt::Unchecked;
        boxes_[i]->setCheckState(state);
    }
}

TypeBoxes MainWindow::CurrentBoxes() const {
    TypeBoxes boxes{};
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const Qt::CheckState state = boxes_[i]->checkState();
        boxes[i] = state == Qt::Checked            ? BoxState::Ticked
                   : state == Qt::PartiallyChecked ? BoxState::HalfTicked
                                                   : BoxState::Unticked;
    }
    return boxes;
}

void MainWindow::RefreshTypeBoxes() {
    SetBoxes(TypeBoxStates(app_.Settings()));
    typesComposed_ = false;
}

// ---- what the engine shows ----

void MainWindow::ViewStatus(const std::string& text) {
    if (statusBusy_) {
        return;
    }
    statusBusy_ = true;
    status_->setText(Q(text));
    status_->setToolTip(status_->text());
    statusBusy_ = false;
    NotifyIfFinished();
    AddSummaryAtCrawlEnd();
}

void MainWindow::ViewAppendStatus(const std::string& text) {
    if (statusBusy_) {
        return;
    }
    statusBusy_ = true;
    status_->setText(status_->text() + Q(text));
    status_->setToolTip(status_->text());
    statusBusy_ = false;
    NotifyIfFinished();
    AddSummaryAtCrawlEnd();
}

void MainWindow::AddSummaryAtCrawlEnd() {
    const QString text = status_->text();
    if (!text.endsWith(QStringLiteral("   Finished.")) && text != QStringLiteral("Stopped.")) {
        return;
    }
    const std::string summary = app_.CrawlSummary();
    status_->setText(text + QStringLiteral("   ") + Q(summary));
    status_->setToolTip(status_->text());
    if (app_.Settings().logDebug.load()) {
        DebugLog("%s", summary.c_str());
    }
}

void MainWindow::NotifyIfFinished() {
    // The window is in the tray: the desktop says that the crawl is done.
    if (tray_ != nullptr && status_->text().endsWith(QStringLiteral("Finished."))) {
        (void)tray_->NotifyFinished(status_->text().trimmed());
    }
}

void MainWindow::ShowCounter(Counter counter, const QString& text) {
    const std::size_t index = CounterIndex(counter);
    if (index < counters_.size()) {
        counters_[index]->setText(text);
    }
    if (tray_ != nullptr) {
        tray_->SetCounters(TrayCounterText());
    }
}

QString MainWindow::TrayCounterText() const {
    QStringList lines;
    for (const QLabel* label : counters_) {
        lines << label->text();
    }
    return lines.join(QLatin1Char('\n'));
}

void MainWindow::ViewCounter(Counter counter, const std::string& text) {
    ShowCounter(counter, Q(text));
}

void MainWindow::ViewCrawlRunning(bool running) {
    Control(mw::kStop)->setEnabled(running);
    stopAfterThis_->setEnabled(running);
    bool saveAndExit = running;
    if (!running) {
        saveAndExit = !app_.Snapshot().HasQueuedWork();
    }
    Control(mw::kSaveAndExit)->setEnabled(saveAndExit);
    if (running) {
        stopAfterThis_->setChecked(false);
    }
    exitAfterLast_->setEnabled(running);
    if (!running) {
        for (Counter counter : {Counter::LinksToGrubble, Counter::ToDownload, Counter::InProcess}) {
            ShowCounter(counter, Q(FormatCounterText(counter, 0)));
        }
    }
}

void MainWindow::ViewPauseState(bool paused) {
    ViewStatus(paused ? "Paused" : "Processing...");
    Action(mw::kMenuPause)->setChecked(paused);
    pause_->setText(paused ? QStringLiteral("Unpause") : QStringLiteral("Pause"));
    pause_->setIcon(PauseIcon(paused));
    for (QueueViewer* viewer : viewers_) {
        if (viewer != nullptr) {
            viewer->ShowPaused(paused);
        }
    }
    if (tray_ != nullptr) {
        tray_->SetPaused(paused);
    }
    address_->setFocus();
}

void MainWindow::ViewScopeButtons(bool allLinked, bool withinDomain) {
    scopes_[0]->setChecked(!allLinked && !withinDomain);
    scopes_[1]->setChecked(withinDomain);
    scopes_[2]->setChecked(allLinked);
    scopes_[3]->setChecked(false);
    NoteScope();
}

void MainWindow::ViewAddressText(const std::string& text) {
    address_->setText(Q(text));
    NoteAddress();
}

void MainWindow::ViewStopAddingHistoryChecked(bool checked) {
    Action(mw::kMenuStopAddingHistory)->setChecked(checked);
}

void MainWindow::ViewNewestImage(const std::string& path) {
    if (path.empty()) {
        preview_->ShowPlaceholder();
        lastImage_.clear();
        return;
    }
    const bool shown = preview_->ShowPicture(Q(path), app_.Settings().resizeLastImage.load());
    if (shown) {
        lastImage_ = path;
    }
    app_.LastFiles().ImageShown(shown);
}

// ---- port notes ----

void MainWindow::NoteAddress() {
    port_.NoteAddressText(address_->text().toStdString());
}

CrawlScope MainWindow::SelectedScope() const {
    if (scopes_[3]->isChecked()) {
        return CrawlScope::FileUrl;
    }
    if (scopes_[2]->isChecked()) {
        return CrawlScope::AllLinked;
    }
    if (scopes_[1]->isChecked()) {
        return CrawlScope::WithinDomain;
    }
    return CrawlScope::OnlyThisPage;
}

void MainWindow::NoteScope() {
    port_.NoteScope(SelectedScope());
}

// ---- window events ----

void MainWindow::changeEvent(QEvent* event) {
    DialogWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (!isMinimized()) {
        app_.State().SetMinimised(false);
        return;
    }
    app_.State().SetMinimised(true);
    if (tray_ == nullptr) {
        tray_ = new TrayController(this);
        connect(tray_, &TrayController::restored, this, [this] {
            app_.State().SetMinimised(false);
            RestoreViewers();
        });
        connect(tray_, &TrayController::pauseToggled, this,
                [this] { (void)OnCommand(mw::kMenuPause); });
        connect(tray_, &TrayController::exitRequested, this, &MainWindow::Exit);
        tray_->SetPaused(app_.State().Paused());
        tray_->SetCounters(TrayCounterText());
    }
    // Hidden after the state change has been handled; without a tray the
    // window stays minimised on the task bar.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (tray_ != nullptr && isMinimized() && tray_->MinimiseToTray()) {
                HideViewers();
            }
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_) {
        event->accept();
        return;
    }
    // The window's close box (and Alt+F4) is the Exit command; the program's
    // loop ends the program once the workers have counted out.
    event->ignore();
    Exit();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        GoFetch();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        return;  // the main window does not close on Escape
    }
    DialogWindow::keyPressEvent(event);
}

void MainWindow::reject() {
    // Not closed by the dialog's reject (Escape); only Exit ends the program.
}

void MainWindow::ViewOpenProgress(const std::string& text) {
    if (progress_ == nullptr) {
        progress_ = new QDialog(this);
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setWindowTitle(QStringLiteral(" Web Grubbler"));
        auto* layout = new QVBoxLayout(progress_);
        auto* label = new QLabel(progress_);
        label->setObjectName(QStringLiteral("progressText"));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(260);
        layout->addWidget(label);
    }
    ViewProgressText(text);
    progress_->show();
}

void MainWindow::ViewProgressText(const std::string& text) {
    if (progress_ != nullptr) {
        if (auto* label = progress_->findChild<QLabel*>(QStringLiteral("progressText"))) {
            label->setText(QString::fromStdString(text));
        }
    }
}

void MainWindow::ViewCloseProgress() {
    if (progress_ != nullptr) {
        progress_->hide();
    }
}

}  // namespace wg
