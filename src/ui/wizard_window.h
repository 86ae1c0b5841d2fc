// " Web Grubbler Wizard": one question per page, in one dialog whose
// controls are shown, hidden and relabelled for each page. The answers and
// the page rules live in app/wizard_steps.h; the window shows a page, hands
// the page's controls over when it is left, and says how it was closed.
#pragma once

#include <QPointer>
#include <array>
#include <string>
#include <vector>

#include "app/wizard_steps.h"
#include "ui/dialog_window.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace wg {

class App;
class OptionsWindow;
class QtPort;

// Identifiers of the wizard's controls.
namespace wz {
inline constexpr int kDialog = 107;
inline constexpr int kCancel = 2;
inline constexpr int kQuestion = 1200;
inline constexpr int kEditLabel = 1201;
inline constexpr int kEdit = 1202;
inline constexpr int kList = 1203;
inline constexpr int kEntry = 1204;
inline constexpr int kAdd = 1205;
inline constexpr int kRemove = 1206;
inline constexpr int kRemoveAll = 1207;
inline constexpr int kBig1 = 1208;  // three big buttons, top to bottom
inline constexpr int kBig2 = 1209;
inline constexpr int kBig3 = 1210;
inline constexpr int kRadio1 = 1211;  // three radio buttons, top to bottom
inline constexpr int kRadio2 = 1212;
inline constexpr int kRadio3 = 1213;
inline constexpr int kCheck1 = 1214;  // four check boxes, top to bottom
inline constexpr int kCheck2 = 1215;
inline constexpr int kCheck3 = 1216;
inline constexpr int kCheck4 = 1217;
inline constexpr int kMusic = 1218;
inline constexpr int kMovies = 1219;
inline constexpr int kPictures = 1220;
inline constexpr int kWebPages = 1221;
inline constexpr int kOnePage = 1222;
inline constexpr int kEntireSite = 1223;
inline constexpr int kMoreOptions = 1224;
inline constexpr int kPrev = 1225;
inline constexpr int kNext = 1226;
inline constexpr int kHelp = 1227;
inline constexpr int kOpenBrowser = 1228;
inline constexpr int kOpenFolder = 1229;
}  // namespace wz

class WizardWindow : public DialogWindow {
    Q_OBJECT
public:
    // `directories` is the main window's "Directories To Search" command for
    // the Options dialog of "More Options" (null at start-up).
    WizardWindow(App& app, QtPort& port, QWidget* owner, QAction* directories = nullptr);
    ~WizardWindow() override;

    const WizardState& State() const { return state_; }

signals:
    // Closed in one of the four ways (once).
    void closedWith(wg::WizardResult result);
    // The settings were changed ("More Options", "Go Dig"): the main window
    // shows the new type boxes and directory.
    void settingsChanged();

protected:
    bool Build() override;
    bool OnCommand(int id) override;
    bool OnKeyDown(int key, int controlId) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void GoTo(int page);
    // Puts the state's answers into the controls of the current page.
    void LoadPageControls();
    // Shows, hides and labels the controls for the current page.
    void ShowPage();
    WizardPageInput PageInput() const;
    bool Collect();
    void Next();
    void Prev();
    void GoDig();
    void MoreOptions();
    void Cancel();
    void CloseWith(WizardResult result);
    void OnBigButton(int index);
    void OnGroupClicked(int id);
    void AddEntry();
    void ShowList(const std::vector<std::string>& entries);
    std::vector<std::string> ListEntries() const;
    void OpenOnDesktop(const std::string& target);

    App& app_;
    QtPort& port_;
    QPointer<QAction> directories_;
    QPointer<OptionsWindow> options_;
    WizardState state_;
    bool finished_ = false;

    QLabel* question_ = nullptr;
    QLabel* editLabel_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QPushButton* openBrowser_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QRadioButton* onePage_ = nullptr;
    QRadioButton* entireSite_ = nullptr;
    std::array<QPushButton*, 3> big_{};
    std::array<QRadioButton*, 3> radios_{};
    std::array<QCheckBox*, 4> checks_{};
    QWidget* listPart_ = nullptr;  // the list with its entry edit and buttons
    QListWidget* list_ = nullptr;
    QLineEdit* entry_ = nullptr;
    QWidget* groupPart_ = nullptr;        // the four group boxes
    std::array<QCheckBox*, 4> groups_{};  // in TypeBox order
    QPushButton* moreOptions_ = nullptr;
    QPushButton* prev_ = nullptr;
    QPushButton* next_ = nullptr;
};

// Shows the wizard at start-up, before the main window exists, and waits
// until it is closed (a termination request closes it with "exit").
WizardOutcome RunStartupWizard(App& app, QtPort& port);

}  // namespace wg
