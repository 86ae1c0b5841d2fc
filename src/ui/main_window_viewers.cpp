// The main window's queue viewers: opened from the View menu and the three
// buttons, pumped with the window, hidden and shown with it, and closed at
// Exit. While either queue viewer is open the periodic save waits.
#include <cstddef>

#include "app/app.h"
#include "crawl/run_state.h"
#include "ui/main_window.h"
#include "ui/queue_viewer.h"

namespace wg {

namespace {

std::size_t Index(ListKind kind) {
    return static_cast<std::size_t>(kind);
}

}  // namespace

QueueViewer* MainWindow::Viewer(ListKind kind) const {
    return viewers_[Index(kind)];
}

void MainWindow::OpenViewer(ListKind kind) {
    QPointer<QueueViewer>& slot = viewers_[Index(kind)];
    if (slot != nullptr && !slot->Closed()) {
        slot->Restore();
        return;
    }
    if (slot != nullptr) {
        slot->deleteLater();
    }
    auto* viewer = new QueueViewer(app_, port_, kind, this);
    viewer->SetOpener([this](const std::string& url) { (void)OpenOnDesktop(url); });
    if (!viewer->Create()) {
        delete viewer;
        return;
    }
    slot = viewer;
    viewer->show();
    NoteViewersOpen();
}

void MainWindow::ProcessMessages() {
    for (QPointer<QueueViewer>& viewer : viewers_) {
        if (viewer == nullptr) {
            continue;
        }
        if (viewer->Closed()) {
            // Later: a viewer's own command may be what runs this pump.
            viewer->deleteLater();
            viewer = nullptr;
            continue;
        }
        viewer->ProcessMessages();
    }
    NoteViewersOpen();
    PumpChildWindows();
    ViewRunSwitches();
}

void MainWindow::ViewRunSwitches() {
    // Switches that the engine also sets (a crawl started from the wizard,
    // the wind-down of an update) show what holds now.
    Action(mw::kMenuPauseAfterDownloads)->setChecked(app_.State().PauseAfterDownloads());
    Action(mw::kMenuStopAddingLinks)->setChecked(app_.State().StopAddingLinks());
    Action(mw::kMenuStopAddingHistory)->setChecked(app_.State().StopAddingHistory());
    Action(mw::kMenuExitAfterThis)->setChecked(app_.State().ExitAfterThisDownload());
}

void MainWindow::NoteViewersOpen() {
    const auto open = [this](ListKind kind) {
        const QueueViewer* viewer = viewers_[Index(kind)];
        return viewer != nullptr && !viewer->Closed();
    };
    port_.NoteQueueViewerOpen(open(ListKind::Downloads) || open(ListKind::Pages));
}

void MainWindow::HideViewers() {
    // Every open child window goes into the tray with the main window: the
    // viewers, the option dialogs, the directories and duplicates windows.
    hiddenChildren_.clear();
    for (DialogWindow* child : findChildren<DialogWindow*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->Closed()) {
            child->hide();
            hiddenChildren_.emplace_back(child);
        }
    }
}

void MainWindow::RestoreViewers() {
    for (const QPointer<DialogWindow>& child : hiddenChildren_) {
        if (!child.isNull() && !child->Closed()) {
            child->Restore();
        }
    }
    hiddenChildren_.clear();
}

void MainWindow::CloseViewers() {
    for (QueueViewer* viewer : viewers_) {
        if (viewer != nullptr) {
            viewer->Close();
        }
    }
    NoteViewersOpen();
}

void MainWindow::ViewQueueEmptied(Counter queue) {
    const ListKind kind = queue == Counter::ToDownload ? ListKind::Downloads : ListKind::Pages;
    if (QueueViewer* viewer = Viewer(kind); viewer != nullptr && !viewer->Closed()) {
        viewer->QueueEmptied();
    }
}

}  // namespace wg
