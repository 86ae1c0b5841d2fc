// " Advanced Options": worker counts, the download-queue limit, the HTTP
// identity, logs, the picture preview, redirect scripts and the priority;
// the settings file's "Load As" and "Save As".
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
#include "ui/options_window.h"
#include "ui/qt_port.h"
#include "util/log_file.h"
#include "util/url_error_log.h"

namespace wg {

namespace {

namespace field = option_field;

QLabel* Label(const char* text, QWidget* parent) {
    return new QLabel(QString::fromLatin1(text), parent);
}

// REDIR_DEFAULT_TYPE: 0 PHP, 1 ASP, 2 JSP.
int RedirectId(int type) {
    return type == 1 ? ow::kRedirAsp : type == 0 ? ow::kRedirPhp : type == 2 ? ow::kRedirJsp : 0;
}

}  // namespace

AdvancedOptionsWindow::AdvancedOptionsWindow(App& app, QtPort& port, QWidget* owner)
    : OptionDialog(app, port, owner) {}

bool AdvancedOptionsWindow::Build() {
    setObjectName(IdName(ow::kAdvancedDialog));
    auto* top = new QVBoxLayout(this);

    auto* fields = new QGridLayout;
    fields->addWidget(Label("Num. File Download Threads:", this), 0, 0);
    fields->addWidget(AddEdit(ow::kDownloadThreads), 0, 1);
    fields->addWidget(Label("(Max. 32)", this), 0, 2);
    fields->addWidget(Label("Num. URL Download Threads:", this), 1, 0);
    fields->addWidget(AddEdit(ow::kUrlThreads), 1, 1);
    fields->addWidget(Label("(Max. 32)", this), 1, 2);
    fields->addWidget(Label("Min. Downloads (below which search for more):", this), 2, 0);
    fields->addWidget(AddEdit(ow::kMinDownloads), 2, 1);
    fields->addWidget(Label("User-Agent:", this), 3, 0);
    fields->addWidget(AddEdit(ow::kUserAgent), 3, 1, 1, 2);
    top->addLayout(fields);

    const std::array<std::pair<int, const char*>, 10> checks = {{
        {ow::kLogDebug, "Log Debug Data"},
        {ow::kAutoUpdates, "Look For Updates At Start Up"},
        {ow::kShowExitingMsgs, "Show Exiting Status Messages"},
        {ow::kDownloadAsIs, "Do Not Alter Web Pages On Download"},
        {ow::kSingleRedirectParam, "Only Use One Parameter When Processing Redirecting Web Pages"},
        {ow::kShowLastImage, "Display Last Image"},
        {ow::kResizeLastImage, "Display Full Last Image"},
        {ow::kUrlEscapeFilenames, "Save files with a URL encoded name"},
        {ow::kLogUrls, "Log Valid URLs"},
        {ow::kNoDownload, "Do Not Download Files"},
    }};
    for (const auto& [id, label] : checks) {
        top->addWidget(AddCheck(id, QString::fromLatin1(label)));
    }

    auto* choices = new QHBoxLayout;
    auto* redirect =
        new QGroupBox(QStringLiteral("When Redirecting Unknown File Types, Default To:"), this);
    auto* redirectLayout = new QHBoxLayout(redirect);
    redirectLayout->addWidget(AddRadio(ow::kRedirAsp, QStringLiteral("ASP"), redirect));
    redirectLayout->addWidget(AddRadio(ow::kRedirPhp, QStringLiteral("PHP"), redirect));
    redirectLayout->addWidget(AddRadio(ow::kRedirJsp, QStringLiteral("JSP"), redirect));
    auto* priority = new QGroupBox(QStringLiteral("Web Grubbler Priority:"), this);
    auto* priorityLayout = new QHBoxLayout(priority);
    priorityLayout->addWidget(AddRadio(ow::kPriorityNormal, QStringLiteral("Normal"), priority));
    priorityLayout->addWidget(AddRadio(ow::kPriorityLow, QStringLiteral("Low"), priority));
    choices->addWidget(redirect);
    choices->addWidget(priority);
    top->addLayout(choices);

    auto* logs = new QHBoxLayout;
    logs->addWidget(AddButton(ow::kOpenDebugLog, QStringLiteral("Open Debug Log")));
    logs->addWidget(AddButton(ow::kOpenUrlLog, QStringLiteral("Open URL Log")));
    logs->addStretch(1);
    logs->addWidget(AddButton(ow::kLoadAs, QStringLiteral("Load As")));
    logs->addWidget(AddButton(ow::kSaveAs, QStringLiteral("Save As")));
    top->addLayout(logs);

    auto* buttons = new QHBoxLayout;
    QPushButton* save = AddButton(ow::kSave, QStringLiteral("Save"));
    save->setDefault(true);
    buttons->addWidget(save);
    buttons->addWidget(AddButton(ow::kCancel, QStringLiteral("Cancel")));
    buttons->addWidget(AddButton(ow::kHelp, QStringLiteral("Help")));
    buttons->addWidget(AddButton(ow::kDefaults, QStringLiteral("Defaults")));
    top->addLayout(buttons);

    Refill();
    return true;
}

void AdvancedOptionsWindow::Refill() {
    Fill(ReadAdvancedValues(app_));
}

void AdvancedOptionsWindow::ShowSettingsFile() {
    setWindowTitle(
        QString::fromStdString(OptionsDialogTitle(" Advanced Options", app_.Paths().settingsFile)));
}

void AdvancedOptionsWindow::Fill(const AdvancedValues& v) {
    ShowSettingsFile();
    SetEditText(ow::kDownloadThreads, v.downloadThreads);
    SetEditText(ow::kUrlThreads, v.urlThreads);
    SetEditText(ow::kMinDownloads, v.minDownloadQueue);
    SetEditText(ow::kUserAgent, v.userAgent);
    SetChecked(ow::kLogDebug, v.logDebug);
    SetChecked(ow::kAutoUpdates, v.autoUpdates);
    SetChecked(ow::kShowExitingMsgs, v.showExitingMsgs);
    SetChecked(ow::kDownloadAsIs, v.downloadAsIs);
    SetChecked(ow::kSingleRedirectParam, v.singleRedirectParam);
    SetChecked(ow::kShowLastImage, v.showLastImage);
    SetChecked(ow::kResizeLastImage, v.resizeLastImage);
    SetChecked(ow::kUrlEscapeFilenames, v.urlEscapeFilenames);
    SetChecked(ow::kLogUrls, v.logUrls);
    SetChecked(ow::kNoDownload, v.noDownload);
    CheckOneOf({ow::kRedirAsp, ow::kRedirPhp, ow::kRedirJsp}, RedirectId(v.redirType));
    CheckOneOf({ow::kPriorityNormal, ow::kPriorityLow},
               v.lowPriority ? ow::kPriorityLow : ow::kPriorityNormal);
    FollowSwitches();
}

AdvancedValues AdvancedOptionsWindow::Values() const {
    AdvancedValues v;
    v.downloadThreads = EditText(ow::kDownloadThreads).toStdString();
    v.urlThreads = EditText(ow::kUrlThreads).toStdString();
    v.minDownloadQueue = EditText(ow::kMinDownloads).toStdString();
    v.userAgent = EditText(ow::kUserAgent).toStdString();
    v.logDebug = Checked(ow::kLogDebug);
    v.autoUpdates = Checked(ow::kAutoUpdates);
    v.showExitingMsgs = Checked(ow::kShowExitingMsgs);
    v.downloadAsIs = Checked(ow::kDownloadAsIs);
    v.singleRedirectParam = Checked(ow::kSingleRedirectParam);
    v.showLastImage = Checked(ow::kShowLastImage);
    v.resizeLastImage = Checked(ow::kResizeLastImage);
    v.urlEscapeFilenames = Checked(ow::kUrlEscapeFilenames);
    v.logUrls = Checked(ow::kLogUrls);
    v.noDownload = Checked(ow::kNoDownload);
    v.redirType = Checked(ow::kRedirAsp) ? 1 : Checked(ow::kRedirJsp) ? 2 : 0;
    v.lowPriority = !Checked(ow::kPriorityNormal);
    return v;
}

bool AdvancedOptionsWindow::OnCommand(int id) {
    switch (id) {
        case ow::kSave:
            Save();
            return true;
        case ow::kCancel:
            done(QDialog::Rejected);
            return true;
        case ow::kHelp:
            OpenHelp("3");
            return true;
        case ow::kDefaults:
            app_.Options().ResetAdvancedOptions();
            Refill();
            return true;
        case ow::kLoadAs:
            LoadAs();
            return true;
        case ow::kSaveAs:
            app_.Options().SaveOptionsAs();
            emit settingsFileChanged();
            return true;
        case ow::kOpenDebugLog:
            OpenFile(DebugLogFile().Path(),
                     "There is no debug log yet: tick \"Log Debug Data\" to start one.");
            return true;
        case ow::kOpenUrlLog:
            OpenFile(app_.ValidUrls().Path(),
                     "There is no URL log yet: tick \"Log Valid URLs\" to start one.");
            return true;
        case ow::kLogUrls:
        case ow::kShowLastImage:
            FollowSwitches();
            return true;
        default:
            return false;
    }
}

void AdvancedOptionsWindow::FollowSwitches() {
    Control(ow::kNoDownload)->setEnabled(Checked(ow::kLogUrls));
    Control(ow::kResizeLastImage)->setEnabled(Checked(ow::kShowLastImage));
}

void AdvancedOptionsWindow::LoadAs() {
    if (app_.Options().LoadOptionsAs()) {
        // Both dialogs stay open side by side: " Options" shows the file at
        // once, so that its Save cannot write the old values over it.
        emit settingsLoaded();
    }
    Refill();
}

void AdvancedOptionsWindow::Save() {
    const AdvancedValues values = Values();
    std::vector<FieldRefusal> refusals = CheckAdvancedValues(values);
    const std::initializer_list<std::pair<std::string_view, int>> fields = {
        {field::kDownloadThreads, ow::kDownloadThreads},
        {field::kUrlThreads, ow::kUrlThreads},
        {field::kMinDownloads, ow::kMinDownloads},
        {field::kUserAgent, ow::kUserAgent}};
    if (!refusals.empty()) {
        ShowRefusals(refusals, fields);
        return;
    }
    // Gone before the values apply, so that a thread-count notice stands alone.
    hide();
    (void)ApplyAdvancedValues(app_, values);
    done(QDialog::Accepted);
}

}  // namespace wg
