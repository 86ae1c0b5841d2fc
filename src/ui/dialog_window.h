// The base of every window of the desktop program: a modeless dialog whose
// controls carry their identifiers as object names ("id1000", "id40024"), so
// that one OnCommand routes buttons and menu items alike, and whose closed
// and ended flags let the owner drop it at its next pump.
#pragma once

#include <QDialog>
#include <QString>

class QAbstractButton;
class QAction;
class QMenu;
class QPushButton;

namespace wg {

class DialogWindow : public QDialog {
    Q_OBJECT
public:
    explicit DialogWindow(QWidget* owner = nullptr);
    ~DialogWindow() override;

    // Builds the controls (Build). A window that cannot be built is marked
    // closed and ended at once, so that its owner drops it; false then.
    bool Create();

    // Called by the owner (and for the main window by the main loop): the
    // window's own periodic work, then its children's. The default does nothing.
    virtual void ProcessMessages() {}

    bool Closed() const { return m_bClosed; }
    bool Ended() const { return m_bEnded; }
    void MarkClosed() { m_bClosed = true; }
    void MarkEnded() { m_bEnded = true; }

    // Shows the window restored, lets it repaint and gives it the focus.
    void Restore();

    // The control or menu item with this identifier (null when none).
    QWidget* Control(int id) const;
    QAction* Action(int id) const;

    // The object name of an identifier: "id" and the number.
    static QString IdName(int id);

protected:
    // Creates the controls; false when the window cannot be made.
    virtual bool Build() = 0;
    // A button or menu item with an identifier was used; false when ignored.
    virtual bool OnCommand(int /*id*/) { return false; }
    // A key pressed in one of the window's controls (the control's identifier,
    // 0 when it has none); true when handled (the key goes no further).
    virtual bool OnKeyDown(int /*key*/, int /*controlId*/) { return false; }

    // A push button named for its identifier that sends OnCommand(id).
    QPushButton* AddButton(int id, const QString& label);
    // Any button (check box, radio button) named and routed the same way.
    void RouteButton(QAbstractButton* button, int id);
    // A menu item named for its identifier that sends OnCommand(id).
    QAction* AddAction(QMenu* menu, int id, const QString& label, bool checkable = false);
    // Names a control for its identifier and lets OnKeyDown see its keys.
    void NameControl(QWidget* widget, int id);

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A window larger than the screen shows its controls in a scrolled page,
    // sized to the screen, so that every button can still be reached.
    void FitToScreen();

    bool m_bClosed = false;  // closed by the user: the owner drops it
    bool m_bEnded = false;   // ended with its "end" answer
};

// A typed directory: "~" and "~/..." name the home folder, as in a shell.
QString ExpandHome(const QString& path);

}  // namespace wg
