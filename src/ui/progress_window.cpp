#include "ui/progress_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace wg {

ProgressWindow::ProgressWindow(QWidget* owner) : DialogWindow(owner) {}

ProgressWindow::~ProgressWindow() = default;

bool ProgressWindow::Build() {
    setObjectName(IdName(pw::kDialog));
    setWindowTitle(QStringLiteral(" Web Grubbler"));
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(QStringLiteral("Initializing..."), this);
    text_->setObjectName(IdName(pw::kText));
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignCenter);
    text_->setMinimumWidth(text_->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    layout->addWidget(text_);
    return true;
}

void ProgressWindow::SetText(std::string_view text) {
    text_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QString ProgressWindow::Text() const {
    return text_->text();
}

void ProgressWindow::ProcessMessages() {
    text_->repaint();
    // Paint and window-system events only: no command may start meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace wg
