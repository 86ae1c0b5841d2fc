// The notification-area icon that stands in for the minimised main window.
// Where the desktop has no tray the window is minimised the ordinary way.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QWidget;

namespace wg {

inline constexpr const char* kTrayToolTip = "Web Grubbler.\nDouble Click.";

class TrayController : public QObject {
    Q_OBJECT
public:
    // `window` is the window the icon replaces; the controller is its child.
    explicit TrayController(QWidget* window);
    ~TrayController() override;

    // With a tray: hides the window, shows the icon (made at the first call
    // and kept) and answers true. Without one: changes nothing, false.
    bool MinimiseToTray();

    // Removes the icon and shows the window again, raised and active; then
    // emits restored(). This is what a double click on the icon does.
    void Restore();

    // Whether our icon is in the tray (QSystemTrayIcon::isVisible cannot be
    // trusted for that: it reads true after show() even without a tray).
    bool IconShown() const { return m_iconShown; }

signals:
    void restored();

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> m_window;
    QSystemTrayIcon* m_icon = nullptr;  // owned through the QObject tree
    bool m_iconShown = false;
};

}  // namespace wg
