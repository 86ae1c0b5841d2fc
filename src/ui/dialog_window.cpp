#include "ui/dialog_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace wg {

namespace {

constexpr const char* kIdProperty = "wgId";

// Room kept free around a window for the window manager's frame and title.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

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
    FitToScreen();
    return true;
}

void DialogWindow::FitToScreen() {
    QLayout* inner = layout();
    const QScreen* shown = screen();
    if (inner == nullptr || shown == nullptr) {
        return;
    }
    const QSize room = shown->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
    const bool sized = testAttribute(Qt::WA_Resized);
    const QSize least = minimumSizeHint();
    if (least.width() <= room.width() && least.height() <= room.height()) {
        if (sized) {
            resize(size().boundedTo(room));
        }
        return;
    }
    // The controls move, with their layout, into a scrolled page; the menu
    // bar, if any, stays at the top of the window.
    QWidget* bar = inner->menuBar();
    inner->setMenuBar(nullptr);
    auto* page = new QWidget;
    page->setLayout(inner);
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("scroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(page);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setMenuBar(bar);
    top->addWidget(scroller);
    const int bars = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    const int barHeight = bar != nullptr ? bar->sizeHint().height() : 0;
    QSize wanted = page->sizeHint() + QSize(bars, bars + barHeight);
    if (sized) {
        wanted = wanted.expandedTo(size());
    }
    resize(wanted.boundedTo(room));
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

QString ExpandHome(const QString& path) {
    if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

}  // namespace wg
