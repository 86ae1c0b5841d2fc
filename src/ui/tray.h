// The notification-area icon that stands in for the minimised main window.
// Where the desktop has no tray the window is minimised the ordinary way.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QAction;
class QMenu;
class QWidget;

namespace wg {

// The tooltip until the first counters arrive.
inline constexpr const char* kTrayToolTip = "Web Grubbler.\nDouble Click.";
// The first line of the tooltip with counters, and the title of the messages.
inline constexpr const char* kTrayTitle = "Web Grubbler";
inline constexpr int kTrayMessageMs = 5000;

class TrayController : public QObject {
    Q_OBJECT
public:
    // `window` is the window the icon replaces; the controller is its child.
    // The icon's menu (object name "trayMenu", actions "trayShow",
    // "trayPause", "trayExit") exists from here on, tray or not.
    explicit TrayController(QWidget* window);
    ~TrayController() override;

    // With a tray: remembers where the window is, hides it, shows the icon
    // (made at the first call and kept) and answers true. Without one:
    // changes nothing, false.
    bool MinimiseToTray();

    // Removes the icon and shows the window again where it was when it went
    // into the tray, raised and active; then emits restored(). This is what
    // a double click on the icon and the menu's "Show" do.
    void Restore();

    // Whether our icon is in the tray (QSystemTrayIcon::isVisible cannot be
    // trusted for that: it reads true after show() even without a tray).
    bool IconShown() const { return m_iconShown; }

    // The check mark of the menu's "Pause".
    void SetPaused(bool paused);

    // The tooltip becomes kTrayTitle, a line break and `text` (the counters,
    // one a line). Nothing is done when `text` is what it was.
    void SetCounters(const QString& text);
    const QString& ToolTip() const { return m_toolTip; }

    // A desktop message (kTrayTitle over `message`) from the icon, shown only
    // while the icon stands in for the window; answers whether it was shown.
    bool NotifyFinished(const QString& message);

    QMenu* Menu() const;

signals:
    void restored();
    // The menu's "Pause" and "Exit" (the latter delivered from the event
    // loop, once the menu is closed: the receiver may delete the controller).
    void pauseToggled();
    void exitRequested();

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> m_window;
    QSystemTrayIcon* m_icon = nullptr;  // owned through the QObject tree
    QPointer<QMenu> m_menu;             // the window's child, deleted with the controller
    QAction* m_pause = nullptr;         // the menu's
    bool m_iconShown = false;
    QByteArray m_geometry;  // the window's, as it went into the tray
    QString m_counters;
    QString m_toolTip;
};

}  // namespace wg
