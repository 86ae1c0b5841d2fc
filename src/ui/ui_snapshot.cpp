#include "ui/ui_snapshot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QWidget>
#include <QWindow>

namespace wg {

namespace {

// The rectangle in physical screen pixels: what an X client such as xdotool
// sees, whatever the scale factor.
QString Rect(const QWidget& widget, const QRect& local) {
    const qreal ratio = widget.devicePixelRatioF();
    const QPoint topLeft = widget.mapToGlobal(local.topLeft());
    return QStringLiteral("%1 %2 %3 %4")
        .arg(qRound(topLeft.x() * ratio))
        .arg(qRound(topLeft.y() * ratio))
        .arg(qRound(local.width() * ratio))
        .arg(qRound(local.height() * ratio));
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

QString TextOf(const QWidget& widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return edit->text();
    }
    return {};
}

QString CheckedOf(const QWidget& widget) {
    const auto* button = qobject_cast<const QAbstractButton*>(&widget);
    if (button == nullptr || !button->isCheckable()) {
        return QStringLiteral("-");
    }
    const QVariant state = button->property("checkState");
    if (state.isValid()) {
        return QString::number(state.toInt());
    }
    return button->isChecked() ? QStringLiteral("2") : QStringLiteral("0");
}

// The window frame, title bar included, in physical pixels.
QString FrameRect(const QWidget& window) {
    const qreal ratio = window.devicePixelRatioF();
    QRect frame = window.frameGeometry();
    // While the window manager is still reparenting the window, Qt can read
    // frame margins that make the frame smaller than the window: the window's
    // own rectangle then.
    if (frame.width() < window.width() || frame.height() < window.height()) {
        frame = window.geometry();
    }
    return QStringLiteral("%1 %2 %3 %4")
        .arg(qRound(frame.x() * ratio))
        .arg(qRound(frame.y() * ratio))
        .arg(qRound(frame.width() * ratio))
        .arg(qRound(frame.height() * ratio));
}

}  // namespace

// Lines, fields separated by one blank, free text after a tab:
//   window X Y W H
//   idN X Y W H ENABLED CHECKED<tab>TEXT   (CHECKED: - not checkable, 0, 1 half, 2)
//   toplevel NAME X Y W H<tab>TITLE
//   button X Y W H<tab>LABEL               (the buttons of the toplevel above)
//   leaving                                (last; the program was told to end)
QString DescribeWindows(const QWidget* mainWindow) {
    QString out;
    if (mainWindow != nullptr && mainWindow->isVisible()) {
        out += QStringLiteral("window ") + FrameRect(*mainWindow) + QLatin1Char('\n');
        for (const QWidget* child : mainWindow->findChildren<QWidget*>()) {
            if (!child->objectName().startsWith(QStringLiteral("id")) || !child->isVisible() ||
                child->window() != mainWindow) {
                continue;
            }
            out += QStringLiteral("%1 %2 %3 %4\t%5\n")
                       .arg(child->objectName(), Rect(*child, child->rect()),
                            child->isEnabled() ? QStringLiteral("1") : QStringLiteral("0"),
                            CheckedOf(*child), OneLine(TextOf(*child)));
        }
    }
    for (const QWidget* top : QApplication::topLevelWidgets()) {
        if (top == mainWindow || !top->isVisible() || top->windowType() == Qt::ToolTip ||
            top->windowType() == Qt::Popup) {
            continue;
        }
        out += QStringLiteral("toplevel %1 %2\t%3\n")
                   .arg(top->objectName().isEmpty() ? QStringLiteral("-") : top->objectName(),
                        FrameRect(*top), OneLine(top->windowTitle()));
        for (const QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
            if (button->isVisible()) {
                out += QStringLiteral("button %1\t%2\n")
                           .arg(Rect(*button, button->rect()), OneLine(button->text()));
            }
        }
    }
    return out;
}

void UiSnapshotWriter::Update(const QWidget* mainWindow, bool leaving) {
    QString now = DescribeWindows(mainWindow);
    if (leaving) {
        now += QStringLiteral("leaving\n");
    }
    if (now == last_) {
        return;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    (void)file.write(now.toUtf8());
    if (file.commit()) {
        last_ = now;
    }
}

}  // namespace wg
