// " Options": sizes, the download directory, the type and keyword lists, the
// type groups, the search and directory choices and the switches.
#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/app.h"
#include "app/option_files.h"
#include "settings/app_settings.h"
#include "settings/type_groups.h"
#include "ui/options_window.h"
#include "ui/qt_port.h"

namespace wg {

namespace {

namespace field = option_field;

// The group boxes in TypeBox order.
constexpr std::array<int, 4> kGroupIds = {ow::kWebPages, ow::kMovies, ow::kMusic, ow::kPictures};
// The search-type buttons by SEARCH_TYPE value (0, 1, 2).
constexpr std::array<int, 3> kSearchIds = {ow::kNoSearch, ow::kSearchInUrl, ow::kSearchOnPage};
// The "Save Files To:" buttons by DOWNLOAD_DIR_STRUCTURE value.
constexpr std::array<int, 3> kStructureIds = {ow::kMirrorDirs, ow::kSiteDir, ow::kNoSubDirs};

template <std::size_t N>
int IdFor(const std::array<int, N>& ids, int value) {
    return value >= 0 && value < static_cast<int>(N) ? ids[static_cast<std::size_t>(value)] : 0;
}

QLabel* Label(const char* text, QWidget* parent) {
    return new QLabel(QString::fromLatin1(text), parent);
}

}  // namespace

OptionsWindow::OptionsWindow(App& app, QtPort& port, QWidget* owner, QAction* directories)
    : OptionDialog(app, port, owner), directories_(directories) {}

bool OptionsWindow::Build() {
    setObjectName(IdName(ow::kOptionsDialog));
    auto* top = new QVBoxLayout(this);

    auto* fields = new QGridLayout;
    int row = 0;
    const auto addField = [&](const char* label, int id, const char* after) {
        fields->addWidget(Label(label, this), row, 0);
        fields->addWidget(AddEdit(id), row, 1);
        if (after != nullptr) {
            fields->addWidget(Label(after, this), row, 2);
        }
        ++row;
    };
    addField("Min. File Size:", ow::kMinFileSize, "Bytes.");
    addField("Max. File Size:", ow::kMaxFileSize, "Bytes.");
    addField("Download Directory: ", ow::kDownloadDir, nullptr);
    QPushButton* browse = AddButton(ow::kBrowseDir, QStringLiteral("..."));
    fields->addWidget(browse, row - 1, 2);
    addField("Download Files Types:", ow::kFileTypes, nullptr);
    top->addLayout(fields);

    auto* groups = new QHBoxLayout;
    const std::array<const char*, 4> groupLabels = {"Web Pages", "Movies", "Music", "Pictures"};
    for (std::size_t i = 0; i < kGroupIds.size(); ++i) {
        groups->addWidget(AddCheck(kGroupIds[i], QString::fromLatin1(groupLabels[i])));
    }
    groups->addStretch(1);
    top->addLayout(groups);

    auto* history = new QHBoxLayout;
    history->addWidget(
        AddCheck(ow::kIgnoreList, QStringLiteral("Check Against Download History.")));
    QPushButton* duplicates =
        AddButton(ow::kDuplicateOptions, QStringLiteral("Download Duplicate Detection Options"));
    // The Download Directories dialog belongs to the main window's command.
    duplicates->setEnabled(!directories_.isNull() && directories_->isEnabled());
    history->addStretch(1);
    history->addWidget(duplicates);
    top->addLayout(history);

    auto* lists = new QGridLayout;
    row = 0;
    fields = lists;
    addField("Site Types To Parse:", ow::kSiteTypes, nullptr);
    addField("Keywords In URL To Skip:", ow::kSkipKeywords, nullptr);
    addField("Keywords In Download To Skip:", ow::kDownloadKeywords, nullptr);
    addField("Site Search Words:", ow::kSearchWords, nullptr);
    top->addLayout(lists);

    auto* choices = new QHBoxLayout;
    auto* search = new QGroupBox(QStringLiteral("At Least One Word Has To Be:"), this);
    auto* searchLayout = new QVBoxLayout(search);
    searchLayout->addWidget(AddRadio(ow::kSearchInUrl, QStringLiteral(" In URL"), search));
    searchLayout->addWidget(AddRadio(ow::kSearchOnPage, QStringLiteral("On Web Page"), search));
    searchLayout->addWidget(AddRadio(ow::kNoSearch, QStringLiteral("No Search"), search));
    auto* saveTo = new QGroupBox(QStringLiteral("Save Files To:"), this);
    auto* saveLayout = new QVBoxLayout(saveTo);
    saveLayout->addWidget(AddRadio(
        ow::kMirrorDirs, QStringLiteral("Directories Mirroring Those On Website "), saveTo));
    saveLayout->addWidget(
        AddRadio(ow::kSiteDir, QStringLiteral("Directory Named After Website"), saveTo));
    saveLayout->addWidget(
        AddRadio(ow::kNoSubDirs, QStringLiteral("Do Not Create Any Sub Directories"), saveTo));
    choices->addWidget(search);
    choices->addWidget(saveTo);
    top->addLayout(choices);

    auto* switches = new QGridLayout;
    const std::array<std::pair<int, const char*>, 9> checks = {{
        {ow::kVerbose, "Verbose"},
        {ow::kLogUrlErrors, "Log URL Errors"},
        {ow::kSendCookies, "Send / Save Cookies"},
        {ow::kGuessUrls, "Guess URLs"},
        {ow::kNoGuessAfterQuery, "Do not guess after '?'"},
        {ow::kStartClassic, "Always Start In Classic View"},
        {ow::kAlwaysSave, "Always Save On Exit"},
        {ow::kSaveEvery5, "Save Every 5 Mins"},
        {ow::kAlwaysLoad, "Always Load On Start Up"},
    }};
    for (std::size_t i = 0; i < checks.size(); ++i) {
        switches->addWidget(AddCheck(checks[i].first, QString::fromLatin1(checks[i].second)),
                            static_cast<int>(i / 3), static_cast<int>(i % 3));
    }
    top->addLayout(switches);

    auto* buttons = new QHBoxLayout;
    QPushButton* save = AddButton(ow::kSave, QStringLiteral("Save"));
    save->setDefault(true);
    buttons->addWidget(save);
    buttons->addWidget(AddButton(ow::kCancel, QStringLiteral("Cancel")));
    buttons->addWidget(AddButton(ow::kHelp, QStringLiteral("Help")));
    buttons->addWidget(AddButton(ow::kDefaults, QStringLiteral("Defaults")));
    buttons->addWidget(AddButton(ow::kAdvanced, QStringLiteral("Advanced")));
    top->addLayout(buttons);

    Refill();
    return true;
}

void OptionsWindow::Refill() {
    Fill(ReadOptionValues(app_));
}

void OptionsWindow::ShowSettingsFile() {
    setWindowTitle(
        QString::fromStdString(OptionsDialogTitle(" Options", app_.Paths().settingsFile)));
}

void OptionsWindow::Fill(const OptionValues& v) {
    ShowSettingsFile();
    SetEditText(ow::kMinFileSize, v.minFileSize);
    SetEditText(ow::kMaxFileSize, v.maxFileSize);
    SetEditText(ow::kDownloadDir, v.downloadDir);
    SetEditText(ow::kFileTypes, v.fileTypes);
    SetEditText(ow::kSiteTypes, v.siteTypes);
    SetEditText(ow::kSkipKeywords, v.skipKeywords);
    SetEditText(ow::kDownloadKeywords, v.downloadKeywords);
    SetEditText(ow::kSearchWords, v.searchWords);
    for (std::size_t i = 0; i < kGroupIds.size(); ++i) {
        SetChecked(kGroupIds[i], v.groups[i]);
    }
    SetChecked(ow::kIgnoreList, v.ignoreList);
    CheckOneOf({ow::kNoSearch, ow::kSearchInUrl, ow::kSearchOnPage},
               IdFor(kSearchIds, v.searchType));
    CheckOneOf({ow::kMirrorDirs, ow::kSiteDir, ow::kNoSubDirs},
               IdFor(kStructureIds, v.dirStructure));
    SetChecked(ow::kVerbose, v.verbose);
    SetChecked(ow::kLogUrlErrors, v.logUrlErrors);
    SetChecked(ow::kSendCookies, v.sendCookie);
    SetChecked(ow::kGuessUrls, v.guessUrls);
    SetChecked(ow::kNoGuessAfterQuery, v.noGuessAfterQuery);
    SetChecked(ow::kStartClassic, v.startClassic);
    SetChecked(ow::kAlwaysSave, v.alwaysSave);
    SetChecked(ow::kSaveEvery5, v.saveEvery5);
    SetChecked(ow::kAlwaysLoad, v.alwaysLoad);
    FollowGuessUrls();
}

OptionValues OptionsWindow::Values() const {
    OptionValues v;
    v.minFileSize = EditText(ow::kMinFileSize).toStdString();
    v.maxFileSize = EditText(ow::kMaxFileSize).toStdString();
    v.downloadDir = ExpandHome(EditText(ow::kDownloadDir).trimmed()).toStdString();
    v.fileTypes = EditText(ow::kFileTypes).toStdString();
    v.siteTypes = EditText(ow::kSiteTypes).toStdString();
    v.skipKeywords = EditText(ow::kSkipKeywords).toStdString();
    v.downloadKeywords = EditText(ow::kDownloadKeywords).toStdString();
    v.searchWords = EditText(ow::kSearchWords).toStdString();
    for (std::size_t i = 0; i < kGroupIds.size(); ++i) {
        v.groups[i] = Checked(kGroupIds[i]);
    }
    v.ignoreList = Checked(ow::kIgnoreList);
    v.searchType = Checked(ow::kNoSearch)      ? kNoSearch
                   : Checked(ow::kSearchInUrl) ? kSearchInUrl
                                               : kSearchOnPage;
    // Tested in the order of the buttons; none checked keeps the value.
    v.dirStructure = Checked(ow::kMirrorDirs)  ? 0
                     : Checked(ow::kSiteDir)   ? 1
                     : Checked(ow::kNoSubDirs) ? 2
                                               : app_.Settings().downloadDirStructure.load();
    v.verbose = Checked(ow::kVerbose);
    v.logUrlErrors = Checked(ow::kLogUrlErrors);
    v.sendCookie = Checked(ow::kSendCookies);
    v.guessUrls = Checked(ow::kGuessUrls);
    v.noGuessAfterQuery = Checked(ow::kNoGuessAfterQuery);
    v.startClassic = Checked(ow::kStartClassic);
    v.alwaysSave = Checked(ow::kAlwaysSave);
    v.saveEvery5 = Checked(ow::kSaveEvery5);
    v.alwaysLoad = Checked(ow::kAlwaysLoad);
    return v;
}

bool OptionsWindow::OnCommand(int id) {
    switch (id) {
        case ow::kSave:
            Save();
            return true;
        case ow::kCancel:
            done(QDialog::Rejected);
            return true;
        case ow::kHelp:
            OpenHelp("2");
            return true;
        case ow::kDefaults:
            Defaults();
            return true;
        case ow::kAdvanced:
            emit advancedRequested();
            return true;
        case ow::kBrowseDir:
            BrowseFolder();
            return true;
        case ow::kDuplicateOptions:
            if (!directories_.isNull() && directories_->isEnabled()) {
                directories_->trigger();
            }
            return true;
        case ow::kGuessUrls:
            FollowGuessUrls();
            return true;
        case ow::kWebPages:
        case ow::kMovies:
        case ow::kMusic:
        case ow::kPictures:
            OnGroupClicked(id);
            return true;
        default:
            return false;
    }
}

void OptionsWindow::FollowGuessUrls() {
    // Guessed URLs would fill the URL error log: the two exclude each other.
    const bool guess = Checked(ow::kGuessUrls);
    if (guess) {
        SetChecked(ow::kLogUrlErrors, false);
    }
    Control(ow::kLogUrlErrors)->setEnabled(!guess);
    Control(ow::kNoGuessAfterQuery)->setEnabled(guess);
}

void OptionsWindow::OnGroupClicked(int id) {
    if (id != ow::kWebPages) {
        SetChecked(ow::kWebPages, false);
    }
    TypeBoxes boxes{};
    for (std::size_t i = 0; i < kGroupIds.size(); ++i) {
        boxes[i] = Checked(kGroupIds[i]) ? BoxState::Ticked : BoxState::Unticked;
    }
    const std::string text = ComposeDownloadTypes(boxes, app_.Settings());
    for (std::size_t i = 0; i < kGroupIds.size(); ++i) {
        SetChecked(kGroupIds[i], boxes[i] == BoxState::Ticked);
    }
    SetEditText(ow::kFileTypes, text);
}

void OptionsWindow::Save() {
    const OptionValues values = Values();
    std::vector<FieldRefusal> refusals = CheckOptionValues(values);
    const std::initializer_list<std::pair<std::string_view, int>> fields = {
        {field::kMinFileSize, ow::kMinFileSize},
        {field::kMaxFileSize, ow::kMaxFileSize},
        {field::kDownloadDir, ow::kDownloadDir},
        {field::kFileTypes, ow::kFileTypes},
        {field::kSiteTypes, ow::kSiteTypes},
        {field::kSkipKeywords, ow::kSkipKeywords},
        {field::kDownloadKeywords, ow::kDownloadKeywords},
        {field::kSearchWords, ow::kSearchWords}};
    if (!refusals.empty()) {
        ShowRefusals(refusals, fields);
        return;
    }
    // The dialog goes before the values are applied, so that the warnings
    // and queue questions stand on their own.
    hide();
    refusals = ApplyOptionValues(app_, values);
    if (!refusals.empty()) {
        ShowRefusals(refusals, fields);
        return;
    }
    done(QDialog::Accepted);
}

void OptionsWindow::Defaults() {
    // The reset values stand at once, also when the dialog is cancelled.
    app_.Options().ResetOptions();
    for (const int id : kGroupIds) {
        SetChecked(id, false);
    }
    Refill();
}

void OptionsWindow::BrowseFolder() {
    const std::string chosen =
        port_.ChooseFolder("Choose a folder:", EditText(ow::kDownloadDir).toStdString());
    if (!chosen.empty()) {
        SetEditText(ow::kDownloadDir, chosen);
    }
}

}  // namespace wg
