// What the two option dialogs share, and the opener the main window uses.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QRadioButton>

#include "app/app.h"
#include "platform/files.h"
#include "ui/help_page.h"
#include "ui/options_window.h"
#include "ui/qt_port.h"

namespace wg {

OptionDialog::OptionDialog(App& app, QtPort& port, QWidget* owner)
    : DialogWindow(owner), app_(app), port_(port) {}

void OptionDialog::done(int result) {
    MarkClosed();
    if (!finished_) {
        finished_ = true;
        emit closed();
    }
    QDialog::done(result);
    // The owner holds the dialog through a guarded pointer; a closed dialog
    // is made anew, with fresh values, at the next command.
    deleteLater();
}

void OptionDialog::closeEvent(QCloseEvent* event) {
    // The close box is "Cancel".
    DialogWindow::closeEvent(event);
    if (!finished_) {
        done(QDialog::Rejected);
    }
}

QLineEdit* OptionDialog::AddEdit(int id) {
    auto* edit = new QLineEdit(this);
    NameControl(edit, id);
    return edit;
}

QCheckBox* OptionDialog::AddCheck(int id, const QString& label) {
    auto* box = new QCheckBox(label, this);
    RouteButton(box, id);
    return box;
}

QRadioButton* OptionDialog::AddRadio(int id, const QString& label, QWidget* group) {
    auto* radio = new QRadioButton(label, group);
    RouteButton(radio, id);
    return radio;
}

void OptionDialog::CheckOneOf(std::initializer_list<int> ids, int id) {
    for (const int each : ids) {
        auto* radio = qobject_cast<QRadioButton*>(Control(each));
        if (radio == nullptr) {
            continue;
        }
        // A group may show none checked (a value the buttons do not name).
        radio->setAutoExclusive(false);
        radio->setChecked(each == id);
        radio->setAutoExclusive(true);
    }
}

bool OptionDialog::Checked(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

void OptionDialog::SetChecked(int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
        button->setChecked(checked);
    }
}

QString OptionDialog::EditText(int id) const {
    const auto* edit = qobject_cast<const QLineEdit*>(Control(id));
    return edit == nullptr ? QString() : edit->text();
}

void OptionDialog::SetEditText(int id, const std::string& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) {
        edit->setText(QString::fromStdString(text));
        edit->setCursorPosition(0);
    }
}

void OptionDialog::ShowRefusals(const std::vector<FieldRefusal>& refusals,
                                std::initializer_list<std::pair<std::string_view, int>> fields) {
    std::string text;
    for (const FieldRefusal& refusal : refusals) {
        if (!refusal.message.empty()) {
            text += refusal.message + "\n";
        }
    }
    if (!text.empty()) {
        text += "\nNothing was saved.";
        port_.Tell(text, windowTitle().toStdString(), Icon::Warning);
    }
    if (isHidden()) {
        show();
    }
    for (const auto& [label, id] : fields) {
        if (!refusals.empty() && refusals.front().field == label) {
            if (QWidget* edit = Control(id)) {
                edit->setFocus();
            }
        }
    }
}

void OptionDialog::OpenHelp(std::string_view anchor) {
    const std::string url = HelpPageUrl(anchor);
    if (!port_.OpenWithDesktop(url)) {
        app_.ShowStatus("The desktop could not open \"" + url + "\".");
    }
}

void OptionDialog::OpenFile(const std::string& path, std::string_view missing) {
    if (!platform::PathExists(path)) {
        app_.ShowStatus(missing);
        return;
    }
    if (!port_.OpenWithDesktop(path)) {
        app_.ShowStatus("The desktop could not open \"" + path + "\".");
    }
}

// ---- the opener ----

OptionDialogs::OptionDialogs(App& app, QtPort& port, QWidget* owner, QAction* directories)
    : QObject(owner), app_(app), port_(port), owner_(owner), directories_(directories) {}

OptionsWindow* OptionDialogs::OpenOptions() {
    if (options_.isNull()) {
        auto* window = new OptionsWindow(app_, port_, owner_, directories_);
        if (!window->Create()) {
            delete window;
            return nullptr;
        }
        connect(window, &OptionsWindow::advancedRequested, this, [this] { (void)OpenAdvanced(); });
        connect(window, &OptionDialog::closed, this, &OptionDialogs::closed);
        options_ = window;
    }
    options_->Restore();
    return options_;
}

AdvancedOptionsWindow* OptionDialogs::OpenAdvanced() {
    if (advanced_.isNull()) {
        auto* window = new AdvancedOptionsWindow(app_, port_, owner_);
        if (!window->Create()) {
            delete window;
            return nullptr;
        }
        // A settings file loaded there: " Options" shows it too.
        connect(window, &AdvancedOptionsWindow::settingsLoaded, this, [this] {
            if (!options_.isNull()) {
                options_->Refill();
            }
        });
        connect(window, &AdvancedOptionsWindow::settingsFileChanged, this,
                &OptionDialogs::ShowSettingsFile);
        connect(window, &OptionDialog::closed, this, &OptionDialogs::closed);
        advanced_ = window;
    }
    advanced_->Restore();
    return advanced_;
}

void OptionDialogs::ShowSettingsFile() {
    if (!options_.isNull()) {
        options_->ShowSettingsFile();
    }
    if (!advanced_.isNull()) {
        advanced_->ShowSettingsFile();
    }
}

void OptionDialogs::Refill() {
    if (!options_.isNull()) {
        options_->Refill();
    }
    if (!advanced_.isNull()) {
        advanced_->Refill();
    }
}

}  // namespace wg
