#include "ui/wizard_window.h"

#include <algorithm>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/app.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "settings/type_groups.h"
#include "ui/help_page.h"
#include "ui/options_window.h"
#include "ui/qt_port.h"

namespace wg {

namespace {

// "Open Browser" shows a web search, to find the address of a site.
constexpr const char* kSearchPage = "https://duckduckgo.com/";
// The question's colour, on the desktop's tool-tip background.
const QColor kQuestionColour(190, 108, 3);
// The start-up wizard looks for termination requests this often.
constexpr int kStartupPollMs = 20;

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The group boxes in the order they are shown, with their TypeBox index.
struct GroupBox {
    int id;
    const char* label;
    std::size_t box;
};
constexpr std::array<GroupBox, 4> kGroupBoxes = {{{wz::kMusic, "Music", kBoxMusic},
                                                  {wz::kMovies, "Movies", kBoxMovies},
                                                  {wz::kPictures, "Pictures", kBoxPictures},
                                                  {wz::kWebPages, "Web Pages", kBoxWebPages}}};

void SetRadioLabels(const std::array<QRadioButton*, 3>& radios,
                    const std::array<const char*, 3>& labels) {
    for (std::size_t i = 0; i < radios.size(); ++i) {
        radios[i]->setText(QString::fromLatin1(labels[i]));
    }
}

}  // namespace

WizardWindow::WizardWindow(App& app, QtPort& port, QWidget* owner, QAction* directories)
    : DialogWindow(owner), app_(app), port_(port), directories_(directories) {
    // A child window of the main window, but a window of its own.
    setWindowFlag(Qt::Window);
}

WizardWindow::~WizardWindow() = default;

bool WizardWindow::Build() {
    setObjectName(IdName(wz::kDialog));
    setWindowTitle(QStringLiteral(" Web Grubbler Wizard"));
    state_ = ReadWizardState(app_);
    auto* top = new QVBoxLayout(this);

    question_ = new QLabel(this);
    question_->setObjectName(IdName(wz::kQuestion));
    question_->setTextFormat(Qt::PlainText);
    question_->setWordWrap(true);
    question_->setMargin(10);
    question_->setAutoFillBackground(true);
    QPalette palette = question_->palette();
    palette.setColor(QPalette::WindowText, kQuestionColour);
    palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
    question_->setPalette(palette);
    QFont font = question_->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    question_->setFont(font);
    question_->setFrameShape(QFrame::StyledPanel);
    top->addWidget(question_);

    // The address or directory.
    auto* editRow = new QHBoxLayout;
    editLabel_ = new QLabel(this);
    editLabel_->setObjectName(IdName(wz::kEditLabel));
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(1039);
    NameControl(edit_, wz::kEdit);
    editLabel_->setBuddy(edit_);
    openBrowser_ = AddButton(wz::kOpenBrowser, QStringLiteral("Open Browser"));
    openFolder_ = AddButton(wz::kOpenFolder, QStringLiteral("Open 'My Computer'"));
    editRow->addWidget(editLabel_);
    editRow->addWidget(edit_, 1);
    editRow->addWidget(openBrowser_);
    editRow->addWidget(openFolder_);
    top->addLayout(editRow);

    // Page 2's pair.
    auto* pairRow = new QHBoxLayout;
    auto* pair = new QButtonGroup(this);
    onePage_ = new QRadioButton(QStringLiteral("Download This One Page"), this);
    entireSite_ = new QRadioButton(QStringLiteral("Download Entire Website"), this);
    RouteButton(onePage_, wz::kOnePage);
    RouteButton(entireSite_, wz::kEntireSite);
    pair->addButton(onePage_);
    pair->addButton(entireSite_);
    pairRow->addWidget(onePage_);
    pairRow->addWidget(entireSite_);
    pairRow->addStretch(1);
    top->addLayout(pairRow);

    constexpr std::array<int, 3> kBigIds = {wz::kBig1, wz::kBig2, wz::kBig3};
    for (std::size_t i = 0; i < big_.size(); ++i) {
        big_[i] = AddButton(kBigIds[i], QString());
        big_[i]->setMinimumHeight(2 * big_[i]->sizeHint().height());
        top->addWidget(big_[i]);
    }
    constexpr std::array<int, 3> kRadioIds = {wz::kRadio1, wz::kRadio2, wz::kRadio3};
    auto* radioGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < radios_.size(); ++i) {
        radios_[i] = new QRadioButton(this);
        RouteButton(radios_[i], kRadioIds[i]);
        radioGroup->addButton(radios_[i]);
        top->addWidget(radios_[i]);
    }
    constexpr std::array<int, 4> kCheckIds = {wz::kCheck1, wz::kCheck2, wz::kCheck3, wz::kCheck4};
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        checks_[i] = new QCheckBox(this);
        RouteButton(checks_[i], kCheckIds[i]);
        top->addWidget(checks_[i]);
    }

    // The list of pages 6 to 8, with the group boxes of page 6.
    listPart_ = new QWidget(this);
    auto* listRow = new QHBoxLayout(listPart_);
    listRow->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(listPart_);
    NameControl(list_, wz::kList);
    listRow->addWidget(list_, 1);
    auto* side = new QVBoxLayout;
    entry_ = new QLineEdit(listPart_);
    entry_->setMaxLength(1023);
    NameControl(entry_, wz::kEntry);
    side->addWidget(entry_);
    for (const auto& [id, label] : {std::pair{wz::kAdd, "Add"}, std::pair{wz::kRemove, "Remove"},
                                    std::pair{wz::kRemoveAll, "Remove All"}}) {
        side->addWidget(AddButton(id, QString::fromLatin1(label)));
    }
    groupPart_ = new QFrame(listPart_);
    auto* groupLayout = new QVBoxLayout(groupPart_);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    for (const GroupBox& g : kGroupBoxes) {
        auto* box = new QCheckBox(QString::fromLatin1(g.label), groupPart_);
        RouteButton(box, g.id);
        groupLayout->addWidget(box);
        groups_[g.box] = box;
    }
    side->addWidget(groupPart_);
    side->addStretch(1);
    listRow->addLayout(side);
    top->addWidget(listPart_, 1);
    top->addStretch(1);

    // The buttons of every page.
    auto* buttons = new QHBoxLayout;
    moreOptions_ = AddButton(wz::kMoreOptions, QStringLiteral("More\nOptions"));
    prev_ = AddButton(wz::kPrev, QStringLiteral("Prev"));
    next_ = AddButton(wz::kNext, QStringLiteral("Next"));
    buttons->addWidget(moreOptions_);
    buttons->addStretch(1);
    buttons->addWidget(prev_);
    buttons->addWidget(next_);
    buttons->addWidget(AddButton(wz::kCancel, QStringLiteral("Cancel")));
    buttons->addWidget(AddButton(wz::kHelp, QStringLiteral("Help")));
    top->addLayout(buttons);

    // As large as the largest page, so that the window keeps its size.
    QSize size;
    const WizardState kept = state_;
    for (int page = 0; page <= kWizardLastPage; ++page) {
        for (const bool website : {false, true}) {
            state_.page = page;
            state_.websiteMode = website;
            ShowPage();
            size = size.expandedTo(sizeHint());
        }
    }
    state_ = kept;
    // The longest question on one line.
    const int questionWidth = QFontMetrics(question_->font())
                                  .horizontalAdvance(QStringLiteral(
                                      "Welcome to Web Grubbler. Please select an option below:")) +
                              8 * fontMetrics().averageCharWidth();
    resize(std::max(size.width(), questionWidth), size.height());
    GoTo(0);
    return true;
}

// ---- pages ----

void WizardWindow::GoTo(int page) {
    EnterWizardPage(state_, page);
    LoadPageControls();
    ShowPage();
}

void WizardWindow::LoadPageControls() {
    const auto checkRadio = [this](int index) {
        for (std::size_t i = 0; i < radios_.size(); ++i) {
            radios_[i]->setChecked(static_cast<int>(i) == index);
        }
    };
    switch (state_.page) {
        case 2:
        case 3:
            edit_->setText(Q(state_.url));
            (state_.singlePage ? onePage_ : entireSite_)->setChecked(true);
            break;
        case 4:
            checkRadio(state_.singleFile ? 2 : state_.followAll ? 1 : 0);
            break;
        case 5:
            edit_->setText(Q(state_.directory));
            edit_->selectAll();
            break;
        case 6:
            ShowList(OpenFileTypesPage(state_, app_.Settings()));
            break;
        case 7:
            ShowList(ListEntriesOf(state_.skipWords));
            break;
        case 8:
            ShowList(ListEntriesOf(state_.searchWords));
            break;
        case 9:
            checkRadio(state_.searchType == kSearchInUrl    ? 0
                       : state_.searchType == kSearchOnPage ? 1
                                                            : 2);
            break;
        case 10:
            checkRadio(state_.saveStructure);
            break;
        case kWizardLastPage:
            checks_[0]->setChecked(state_.cookie);
            checks_[1]->setChecked(state_.saveEvery5);
            checks_[2]->setChecked(state_.websiteMode ? !state_.doNotModify : state_.guess);
            checks_[3]->setChecked(true);
            break;
        default:
            break;
    }
}

void WizardWindow::ShowPage() {
    const int page = state_.page;
    question_->setText(Q(WizardQuestion(page, state_.singleFile)));
    const bool urlPage = page == 2 || page == 3;
    editLabel_->setVisible(urlPage || page == 5);
    edit_->setVisible(urlPage || page == 5);
    editLabel_->setText(page == 5 ? QStringLiteral("Directory:") : QStringLiteral("URL:"));
    openBrowser_->setVisible(urlPage);
    openFolder_->setVisible(page == 5);
    onePage_->setVisible(page == 2);
    entireSite_->setVisible(page == 2);

    const bool bigPage = page == 0 || page == 1;
    for (QPushButton* button : big_) {
        button->setVisible(bigPage);
    }
    if (page == 0) {
        big_[0]->setText(QStringLiteral("Load"));
        big_[0]->setEnabled(state_.stateAvailable);
        big_[1]->setText(QStringLiteral("Wizard View"));
        big_[2]->setText(QStringLiteral("Classic View"));
        big_[2]->setEnabled(true);
    } else if (page == 1) {
        big_[0]->setText(QStringLiteral("Download Web Page(s)"));
        big_[0]->setEnabled(true);
        big_[1]->setText(QStringLiteral("Download File(s)"));
        big_[2]->setText(state_.stateLoaded ? QStringLiteral("Load As") : QStringLiteral("Load"));
        big_[2]->setEnabled(state_.stateLoaded || state_.stateAvailable);
    }

    const bool radioPage = page == 4 || page == 9 || page == 10;
    for (QRadioButton* radio : radios_) {
        radio->setVisible(radioPage);
    }
    if (page == 4) {
        SetRadioLabels(radios_, {"Only Download Files From Within This Website.",
                                 "Follow All Links (even if they link to other sites).",
                                 "Only Download This One File."});
    } else if (page == 9) {
        SetRadioLabels(radios_, {"In URL", "On Web Page", "No Search"});
    } else if (page == 10) {
        SetRadioLabels(radios_,
                       {"Directories Mirroring Those On Website", "Directory Named After Website",
                        "Do Not Create Any Sub Directories"});
    }

    const bool lastPage = page == kWizardLastPage;
    checks_[0]->setText(QStringLiteral("Send Cookie"));
    checks_[1]->setText(QStringLiteral("Save Every 5 Minutes"));
    checks_[2]->setText(state_.websiteMode ? QStringLiteral("Modify HTML for offline viewing")
                                           : QStringLiteral("Guess URLs"));
    checks_[3]->setText(Q(RemoveMinSizeLabel(state_.minFileSize)));
    for (std::size_t i = 0; i < 3; ++i) {
        checks_[i]->setVisible(lastPage);
    }
    checks_[3]->setVisible(lastPage && state_.websiteMode && state_.minFileSize != 0);

    listPart_->setVisible(page >= 6 && page <= 8);
    groupPart_->setVisible(page == 6);
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        groups_[i]->setChecked(state_.groups[i]);
    }

    prev_->setEnabled(page != 0);
    next_->setEnabled(page >= 2 && page <= kWizardLastPage);
    next_->setText(lastPage ? QStringLiteral("Go Dig") : QStringLiteral("Next"));
    if (edit_->isVisible()) {
        edit_->setFocus();
    }
}

WizardPageInput WizardWindow::PageInput() const {
    WizardPageInput input;
    for (std::size_t i = 0; i < radios_.size(); ++i) {
        if (radios_[i]->isChecked()) {
            input.radio = static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        input.checks[i] = checks_[i]->isVisibleTo(this) && checks_[i]->isChecked();
    }
    // The directory page takes "~" as the home folder, as the main window does.
    input.text = (state_.page == 5 ? ExpandHome(edit_->text()) : edit_->text()).toStdString();
    input.entries = ListEntries();
    return input;
}

bool WizardWindow::Collect() {
    const WizardStep step = CollectWizardStep(app_, state_, PageInput());
    if (!step.accepted) {
        port_.Tell(step.message, "Error", Icon::Error);
        edit_->setFocus();
        return false;
    }
    if (state_.page >= 6 && state_.page <= 8) {
        list_->clear();
    }
    return true;
}

void WizardWindow::Next() {
    if (state_.page < 2 || !Collect()) {
        return;
    }
    const int next = NextWizardPage(state_);
    if (next < 0) {
        GoDig();
        return;
    }
    GoTo(next);
}

void WizardWindow::Prev() {
    if (state_.page >= 6 && state_.page <= 8) {
        list_->clear();
    }
    GoTo(PrevWizardPage(state_));
}

void WizardWindow::GoDig() {
    if (!StartFromWizard(app_, state_)) {
        // The download directory was refused (the user was told).
        GoTo(5);
        return;
    }
    port_.SetAddressText(state_.url);
    port_.NoteScope(WizardScope(state_));
    emit settingsChanged();
    CloseWith(WizardResult::Continue);
}

void WizardWindow::MoreOptions() {
    if (!Collect()) {
        return;
    }
    if (!ApplyWizardChoices(app_, state_)) {
        GoTo(5);
        return;
    }
    emit settingsChanged();
    // The page shows at once what was applied: a list page is filled again
    // from the settings it just wrote, whether or not Options stays open.
    ReloadWizardSettings(state_, app_);
    LoadPageControls();
    ShowPage();
    if (options_.isNull()) {
        auto* options = new OptionsWindow(app_, port_, this, directories_);
        if (!options->Create()) {
            delete options;
            return;
        }
        // The options may have changed what the wizard shows.
        connect(options, &OptionDialog::closed, this, [this] {
            ReloadWizardSettings(state_, app_);
            LoadPageControls();
            ShowPage();
            emit settingsChanged();
        });
        options_ = options;
    }
    options_->Restore();
}

void WizardWindow::Cancel() {
    // Before a way in was chosen, Cancel leaves the program.
    CloseWith(state_.page <= 1 ? WizardResult::Exit : WizardResult::ClassicView);
}

void WizardWindow::CloseWith(WizardResult result) {
    if (finished_) {
        return;
    }
    finished_ = true;
    MarkClosed();
    if (result == WizardResult::Exit) {
        MarkEnded();
    }
    if (!options_.isNull()) {
        options_->close();
    }
    hide();
    emit closedWith(result);
}

void WizardWindow::closeEvent(QCloseEvent* event) {
    DialogWindow::closeEvent(event);
    Cancel();
}

void WizardWindow::reject() {
    Cancel();
}

// ---- commands ----

bool WizardWindow::OnCommand(int id) {
    switch (id) {
        case wz::kBig1:
        case wz::kBig2:
        case wz::kBig3:
            OnBigButton(id - wz::kBig1);
            return true;
        case wz::kOnePage:
        case wz::kEntireSite:
            ChooseSinglePage(state_, id == wz::kOnePage);
            return true;
        case wz::kMusic:
        case wz::kMovies:
        case wz::kPictures:
        case wz::kWebPages:
            OnGroupClicked(id);
            return true;
        case wz::kAdd:
            AddEntry();
            return true;
        case wz::kRemove:
            delete list_->takeItem(list_->currentRow());
            return true;
        case wz::kRemoveAll:
            list_->clear();
            return true;
        case wz::kNext:
            Next();
            return true;
        case wz::kPrev:
            Prev();
            return true;
        case wz::kMoreOptions:
            MoreOptions();
            return true;
        case wz::kCancel:
            Cancel();
            return true;
        case wz::kHelp:
            OpenOnDesktop(HelpPageUrl(WizardHelpAnchor(state_)));
            return true;
        case wz::kOpenBrowser:
            OpenOnDesktop(kSearchPage);
            return true;
        case wz::kOpenFolder: {
            const std::string dir = edit_->text().trimmed().toStdString();
            if (!dir.empty() && !port_.OpenWithDesktop(dir)) {
                (void)platform::CreateDirectories(dir);
                OpenOnDesktop(dir);
            }
            return true;
        }
        default:
            return false;
    }
}

bool WizardWindow::OnKeyDown(int key, int controlId) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    if (controlId == wz::kEntry) {
        AddEntry();
    } else if (controlId == wz::kEdit) {
        Next();
    } else {
        return false;
    }
    return true;
}

void WizardWindow::OnBigButton(int index) {
    if (state_.page == 0) {
        if (index == 1) {
            GoTo(1);
        } else {
            CloseWith(index == 0 ? WizardResult::LoadState : WizardResult::ClassicView);
        }
    } else if (state_.page == 1) {
        if (index == 2) {
            CloseWith(WizardResult::LoadState);
        } else {
            GoTo(index == 0 ? 2 : 3);
        }
    }
}

void WizardWindow::OnGroupClicked(int id) {
    for (const GroupBox& g : kGroupBoxes) {
        if (g.id == id) {
            std::vector<std::string> entries = ListEntries();
            ToggleTypeGroup(state_, entries, g.box, groups_[g.box]->isChecked(), app_.Settings());
            ShowList(entries);
        }
    }
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        groups_[i]->setChecked(state_.groups[i]);
    }
}

void WizardWindow::AddEntry() {
    const QString text = entry_->text().trimmed();
    if (!text.isEmpty()) {
        list_->addItem(text);
        entry_->clear();
    }
    entry_->setFocus();
}

void WizardWindow::ShowList(const std::vector<std::string>& entries) {
    list_->clear();
    for (const std::string& entry : entries) {
        list_->addItem(Q(entry));
    }
}

std::vector<std::string> WizardWindow::ListEntries() const {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) {
        entries.push_back(list_->item(i)->text().toStdString());
    }
    return entries;
}

void WizardWindow::OpenOnDesktop(const std::string& target) {
    if (!port_.OpenWithDesktop(target)) {
        port_.Tell("The desktop could not open \"" + target + "\".", "Error", Icon::Error);
    }
}

// ---- at start-up ----

WizardOutcome RunStartupWizard(App& app, QtPort& port) {
    auto* wizard = new WizardWindow(app, port, nullptr);
    if (!wizard->Create()) {
        delete wizard;
        return {};
    }
    QEventLoop loop;
    WizardResult result = WizardResult::ClassicView;
    QObject::connect(wizard, &WizardWindow::closedWith, &loop, [&](WizardResult closed) {
        result = closed;
        loop.quit();
    });
    // A termination request (log-out, Ctrl-C) ends the program from here too.
    const int interrupts = platform::InterruptCount();
    QTimer poll;
    poll.setInterval(kStartupPollMs);
    QObject::connect(&poll, &QTimer::timeout, wizard, [&] {
        if (platform::InterruptCount() > interrupts) {
            result = WizardResult::Exit;
            loop.quit();
        }
    });
    poll.start();
    wizard->show();
    loop.exec();
    delete wizard;
    WizardOutcome outcome;
    outcome.exitRequested = result == WizardResult::Exit;
    outcome.loadState = result == WizardResult::LoadState;
    return outcome;
}

}  // namespace wg
