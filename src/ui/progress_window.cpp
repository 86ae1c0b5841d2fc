#include "ui/progress_window.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QVBoxLayout>

namespace wg {

namespace {

constexpr qint64 kPumpIntervalMs = 30;
constexpr int kMinimumWidth = 300;

}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("progressWindow"));
    setWindowTitle(QStringLiteral(" Web Grubbler"));
    // The rest of the program waits: no command may run into the work.
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(QStringLiteral("Initializing..."), this);
    text_->setObjectName(QStringLiteral("progressText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignCenter);
    text_->setMinimumWidth(kMinimumWidth);
    layout->addWidget(text_);
    show();
    Pump();
}

void ProgressWindow::SetText(const std::string& text) {
    text_->setText(QString::fromStdString(text));
    Pump();
}

QString ProgressWindow::Text() const {
    return text_->text();
}

void ProgressWindow::Pump() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPumpMs_ < kPumpIntervalMs) {
        return;
    }
    lastPumpMs_ = now;
    QCoreApplication::processEvents();
}

}  // namespace wg
