#include "ui/tray.h"

#include <QFile>
#include <QIcon>
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

}  // namespace

TrayController::TrayController(QWidget* window) : QObject(window), m_window(window) {
    InitTrayResources();
}

TrayController::~TrayController() {
    if (m_icon != nullptr) {
        m_icon->hide();
    }
}

bool TrayController::MinimiseToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    if (m_icon == nullptr) {
        m_icon = new QSystemTrayIcon(AppIcon(), this);
        m_icon->setToolTip(QString::fromUtf8(kTrayToolTip));
        connect(m_icon, &QSystemTrayIcon::activated, this, &TrayController::OnActivated);
    }
    m_icon->show();
    m_iconShown = true;
    if (m_window != nullptr) {
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
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    }
    emit restored();
}

void TrayController::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick && m_iconShown) {
        Restore();
    }
}

}  // namespace wg
