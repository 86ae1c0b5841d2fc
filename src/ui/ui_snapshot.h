// A plain-text picture of the main window for automation: where each named
// control stands on the screen, whether it is enabled and checked, and what it
// says, plus the other windows that are open and their buttons. The desktop
// program writes it when WEBGRUBBLER_UI_SNAPSHOT names a file, so that a
// script driving the real program in an X server can find what to click.
#pragma once

#include <QString>

class QWidget;

namespace wg {

// The snapshot of the windows as they are now (see ui_snapshot.cpp for the
// line format). Without a main window (the wizard at start-up) only the other
// windows are described.
QString DescribeWindows(const QWidget* mainWindow);

class UiSnapshotWriter {
public:
    explicit UiSnapshotWriter(QString path) : path_(std::move(path)) {}

    // Rewrites the file (through a temporary file and a rename) when the
    // windows look different from the last time. `leaving`: the program was
    // told to end (a last line "leaving"), so a script can tell an exit on its
    // way from a click that never arrived.
    void Update(const QWidget* mainWindow, bool leaving = false);

private:
    QString path_;
    QString last_;
};

}  // namespace wg
