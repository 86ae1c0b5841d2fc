#include "ui/dialog_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

namespace wg {

namespace {

constexpr const char* kIdProperty = "wgId";

}  // namespace

DialogWindow::DialogWindow(QWidget* owner) : QDialog(owner) {
    setModal(false);
}

DialogWindow::~DialogWindow() = default;

bool DialogWindow::Create() {
    if (!Build()) {
        m_bClosed = true;
        m_bEnded = true;
        return false;
    }
    return true;
}

void DialogWindow::Restore() {
    showNormal();
    ProcessMessages();
    update();
    raise();
    activateWindow();
}

QString DialogWindow::IdName(int id) {
    return QStringLiteral("id%1").arg(id);
}

QWidget* DialogWindow::Control(int id) const {
    return findChild<QWidget*>(IdName(id));
}

QAction* DialogWindow::Action(int id) const {
    return findChild<QAction*>(IdName(id));
}

void DialogWindow::NameControl(QWidget* widget, int id) {
    widget->setObjectName(IdName(id));
    widget->setProperty(kIdProperty, id);
    widget->installEventFilter(this);
}

void DialogWindow::RouteButton(QAbstractButton* button, int id) {
    NameControl(button, id);
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
}

QPushButton* DialogWindow::AddButton(int id, const QString& label) {
    auto* button = new QPushButton(label, this);
    button->setAutoDefault(false);
    RouteButton(button, id);
    return button;
}

QAction* DialogWindow::AddAction(QMenu* menu, int id, const QString& label, bool checkable) {
    QAction* action = menu->addAction(label);
    action->setObjectName(IdName(id));
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    m_bClosed = true;
    QDialog::closeEvent(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int id = watched->property(kIdProperty).toInt();
        if (OnKeyDown(key->key(), id)) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace wg
