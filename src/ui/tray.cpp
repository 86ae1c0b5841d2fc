#include "ui/tray.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QString>
#include <QWidget>

static void InitTrayResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace wg {

namespace {

QIcon AppIcon() {
    QIcon icon;
    for (const char* name : {":/images/app-icon.png", ":/images/app-icon-256.png"}) {
        const QString path = QString::fromLatin1(name);
        if (QFile::exists(path)) {
            icon.addFile(path);
        }
    }
    return icon;
}

QAction* AddAction(QMenu* menu, const char* name, const char* label) {
    QAction* action = menu->addAction(QString::fromLatin1(label));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

TrayController::TrayController(QWidget* window)
    : QObject(window),
      m_window(window),
      m_menu(new QMenu(window)),
      m_toolTip(QString::fromUtf8(kTrayToolTip)) {
    InitTrayResources();
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    connect(AddAction(m_menu, "trayShow", "Show"), &QAction::triggered, this,
            &TrayController::Restore);
    m_pause = AddAction(m_menu, "trayPause", "Pause");
    m_pause->setCheckable(true);
    connect(m_pause, &QAction::triggered, this, &TrayController::pauseToggled);
    m_menu->addSeparator();
    // Queued: the receiver may end the program and delete this controller
    // with its menu, which must not happen while the menu delivers the click.
    connect(AddAction(m_menu, "trayExit", "Exit"), &QAction::triggered, this,
            &TrayController::exitRequested, Qt::QueuedConnection);
}

TrayController::~TrayController() {
    if (m_icon != nullptr) {
        m_icon->hide();
    }
    delete m_menu;
}

QMenu* TrayController::Menu() const {
    return m_menu;
}

bool TrayController::MinimiseToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    if (m_icon == nullptr) {
        m_icon = new QSystemTrayIcon(AppIcon(), this);
        m_icon->setToolTip(m_toolTip);
        m_icon->setContextMenu(m_menu);
        connect(m_icon, &QSystemTrayIcon::activated, this, &TrayController::OnActivated);
    }
    m_icon->show();
    m_iconShown = true;
    if (m_window != nullptr) {
        m_geometry = m_window->saveGeometry();
        m_window->hide();
    }
    return true;
}

void TrayController::Restore() {
    if (m_icon != nullptr) {
        m_icon->hide();
    }
    m_iconShown = false;
    if (m_window != nullptr) {
        // Put back before it is shown, so that the window manager maps it
        // there instead of placing it anew.
        if (!m_geometry.isEmpty()) {
            (void)m_window->restoreGeometry(m_geometry);
            m_geometry.clear();
        }
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    }
    emit restored();
}

void TrayController::SetPaused(bool paused) {
    m_pause->setChecked(paused);
}

void TrayController::SetCounters(const QString& text) {
    if (text == m_counters && !m_counters.isNull()) {
        return;
    }
    m_counters = text;
    m_toolTip = QString::fromUtf8(kTrayTitle) + QLatin1Char('\n') + text;
    if (m_icon != nullptr) {
        m_icon->setToolTip(m_toolTip);
    }
}

bool TrayController::NotifyFinished(const QString& message) {
    if (m_icon == nullptr || !m_iconShown) {
        return false;
    }
    m_icon->showMessage(QString::fromUtf8(kTrayTitle), message, QSystemTrayIcon::Information,
                        kTrayMessageMs);
    return true;
}

void TrayController::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick && m_iconShown) {
        Restore();
    }
}

}  // namespace wg
