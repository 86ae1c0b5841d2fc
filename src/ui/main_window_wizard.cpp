// The wizard opened from the main window's menu, and what the window does
// after each way of closing it.
#include <QLineEdit>
#include <QRadioButton>

#include "app/app.h"
#include "app/option_files.h"
#include "ui/main_window.h"
#include "ui/options_window.h"
#include "ui/wizard_window.h"

namespace wg {

void MainWindow::ShowWizard() {
    if (wizard_ == nullptr) {
        auto* wizard = new WizardWindow(app_, port_, this, Action(mw::kMenuDirectories));
        if (!wizard->Create()) {
            delete wizard;
            return;
        }
        connect(wizard, &WizardWindow::settingsChanged, this, [this] {
            RefreshTypeBoxes();
            downloadDir_->setText(QString::fromStdString(app_.Paths().downloadDir.string()));
            Options().Refill();
        });
        connect(wizard, &WizardWindow::closedWith, this, [this, wizard](WizardResult result) {
            switch (result) {
                case WizardResult::Continue: {
                    const CrawlScope scope = WizardScope(wizard->State());
                    for (std::size_t i = 0; i < scopes_.size(); ++i) {
                        scopes_[i]->setChecked(static_cast<std::size_t>(scope) == i);
                    }
                    NoteScope();
                    break;
                }
                case WizardResult::LoadState:
                    // A state file in use: the user picks the one to load.
                    LoadState(app_.State().StateLoaded());
                    break;
                case WizardResult::ClassicView:
                case WizardResult::Exit:
                    // Opened from the menu, leaving the wizard leaves the
                    // program running in this window.
                    break;
            }
            wizard->deleteLater();
            address_->setFocus();
        });
        wizard_ = wizard;
    }
    wizard_->Restore();
}

}  // namespace wg
