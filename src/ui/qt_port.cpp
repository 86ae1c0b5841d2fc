#include "ui/qt_port.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QUrl>
#include <condition_variable>

namespace wg {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon BoxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer FromBox(int button, Buttons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            break;
    }
    // A box closed without a button: the answer that changes nothing.
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

QWidget* ActiveWindow() {
    return QApplication::activeWindow();
}

}  // namespace

QtPort::QtPort()
    : guiThread_(std::this_thread::get_id()), gui_(std::make_unique<PortRelay>([this] {
          wake_.Clear();
          DrainQueue();
      })) {
    if (wake_.Fd() >= 0) {
        auto* notifier = new QSocketNotifier(wake_.Fd(), QSocketNotifier::Read, gui_.get());
        QObject::connect(notifier, &QSocketNotifier::activated, gui_.get(), &PortRelay::Drain);
    }
}

QtPort::~QtPort() = default;

void QtPort::SetView(PortView* view) {
    view_ = view;
}

void QtPort::SetAskHook(AskHook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    askHook_ = std::move(hook);
}

void QtPort::SetTellHook(TellHook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    tellHook_ = std::move(hook);
}

void QtPort::SetChooseHook(ChooseHook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    chooseHook_ = std::move(hook);
}

void QtPort::SetOpenHook(std::function<bool(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    openHook_ = std::move(hook);
}

void QtPort::SetWizardRunner(std::function<WizardOutcome()> runner) {
    wizardRunner_ = std::move(runner);
}

WizardOutcome QtPort::RunWizard() {
    return wizardRunner_ && OnGuiThread() ? wizardRunner_() : WizardOutcome{};
}

void QtPort::SetClosing() {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
}

void QtPort::NoteAddressText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    address_ = text;
}

void QtPort::NoteScope(CrawlScope scope) {
    std::lock_guard<std::mutex> lock(mutex_);
    scope_ = scope;
}

void QtPort::NoteQueueViewerOpen(bool open) {
    std::lock_guard<std::mutex> lock(mutex_);
    queueViewerOpen_ = open;
}

std::string QtPort::StatusText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

bool QtPort::OnGuiThread() const {
    return std::this_thread::get_id() == guiThread_;
}

void QtPort::Post(std::function<void()> work) {
    if (OnGuiThread()) {
        // Whatever a worker queued before comes first.
        DrainQueue();
        work();
        return;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        wake = queue_.empty();
        queue_.push_back(std::move(work));
    }
    if (!wake) {
        return;
    }
    if (wake_.Fd() >= 0) {
        wake_.Raise();
    } else {
        QMetaObject::invokeMethod(gui_.get(), "Drain", Qt::QueuedConnection);
    }
}

void QtPort::DrainQueue() {
    while (true) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void QtPort::RunAndWait(const std::function<void()>& work) {
    if (OnGuiThread()) {
        work();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    Post([&] {
        work();
        std::lock_guard<std::mutex> lock(doneMutex);
        done = true;
        doneCv.notify_one();
    });
    std::unique_lock<std::mutex> lock(doneMutex);
    doneCv.wait(lock, [&] { return done; });
}

void QtPort::ShowStatus(std::string_view text) {
    std::string copy(text);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_ = copy;
    }
    Post([this, copy = std::move(copy)] {
        if (view_ != nullptr) {
            view_->ViewStatus(copy);
        }
    });
}

void QtPort::AppendStatus(std::string_view text) {
    std::string copy(text);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_ += copy;
    }
    Post([this, copy = std::move(copy)] {
        if (view_ != nullptr) {
            view_->ViewAppendStatus(copy);
        }
    });
}

void QtPort::SetCounterText(Counter counter, std::string_view text) {
    Post([this, counter, copy = std::string(text)] {
        if (view_ != nullptr) {
            view_->ViewCounter(counter, copy);
        }
    });
}

Answer QtPort::Ask(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    AskHook hook;
    bool closing = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hook = askHook_;
        closing = closing_;
    }
    const std::string t(text);
    const std::string c(caption);
    if (hook) {
        return hook(t, c, buttons, icon);
    }
    if (closing && !OnGuiThread()) {
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    Answer answer = Answer::Cancel;
    RunAndWait([&] {
        QMessageBox box(BoxIcon(icon), Q(c), Q(t), BoxButtons(buttons), ActiveWindow());
        answer = FromBox(box.exec(), buttons);
    });
    return answer;
}

void QtPort::Tell(std::string_view text, std::string_view caption, Icon icon) {
    TellHook hook;
    bool closing = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hook = tellHook_;
        closing = closing_;
    }
    const std::string t(text);
    const std::string c(caption);
    if (hook) {
        hook(t, c, icon);
        return;
    }
    if (closing && !OnGuiThread()) {
        return;
    }
    RunAndWait([&] {
        QMessageBox box(BoxIcon(icon), Q(c), Q(t), QMessageBox::Ok, ActiveWindow());
        box.exec();
    });
}

void QtPort::ProcessMessages() {
    if (!OnGuiThread()) {
        return;
    }
    // Repaints and the texts queued by the workers; the user's clicks wait
    // until the long operation that pumps here has returned.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtPort::SetCrawlRunning(bool running) {
    Post([this, running] {
        if (view_ != nullptr) {
            view_->ViewCrawlRunning(running);
        }
    });
}

void QtPort::SetPauseState(bool paused) {
    Post([this, paused] {
        if (view_ != nullptr) {
            view_->ViewPauseState(paused);
        }
    });
}

void QtPort::SetScopeButtons(bool allLinked, bool withinDomain) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scope_ = allLinked      ? CrawlScope::AllLinked
                 : withinDomain ? CrawlScope::WithinDomain
                                : CrawlScope::OnlyThisPage;
    }
    Post([this, allLinked, withinDomain] {
        if (view_ != nullptr) {
            view_->ViewScopeButtons(allLinked, withinDomain);
        }
    });
}

void QtPort::SetAddressText(std::string_view text) {
    std::string copy(text);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        address_ = copy;
    }
    Post([this, copy = std::move(copy)] {
        if (view_ != nullptr) {
            view_->ViewAddressText(copy);
        }
    });
}

std::string QtPort::AddressText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address_;
}

void QtPort::SetStopAddingHistoryChecked(bool checked) {
    Post([this, checked] {
        if (view_ != nullptr) {
            view_->ViewStopAddingHistoryChecked(checked);
        }
    });
}

void QtPort::QueueViewerEmptied(Counter queue) {
    Post([this, queue] {
        if (view_ != nullptr) {
            view_->ViewQueueEmptied(queue);
        }
    });
}

CrawlScope QtPort::SelectedScope() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return scope_;
}

void QtPort::ShowNewestImage(const std::string& path) {
    Post([this, path] {
        if (view_ != nullptr) {
            view_->ViewNewestImage(path);
        }
    });
}

bool QtPort::QueueViewerOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queueViewerOpen_;
}

void QtPort::OpenProgress(std::string_view text) {
    Post([this, copy = std::string(text)] {
        if (view_ != nullptr) {
            view_->ViewOpenProgress(copy);
        }
    });
}

void QtPort::SetProgressText(std::string_view text) {
    Post([this, copy = std::string(text)] {
        if (view_ != nullptr) {
            view_->ViewProgressText(copy);
        }
    });
}

void QtPort::CloseProgress() {
    Post([this] {
        if (view_ != nullptr) {
            view_->ViewCloseProgress();
        }
    });
}

std::string QtPort::Choose(std::string_view title, const std::function<QString()>& dialog) {
    ChooseHook hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hook = chooseHook_;
    }
    if (hook) {
        return hook(std::string(title));
    }
    std::string chosen;
    RunAndWait([&] { chosen = dialog().toStdString(); });
    return chosen;
}

std::string QtPort::ChooseOpenFile(std::string_view title, std::string_view filter,
                                   std::string_view startDir) {
    return Choose(title, [&] {
        return QFileDialog::getOpenFileName(ActiveWindow(), Q(title), Q(startDir), Q(filter));
    });
}

std::string QtPort::ChooseSaveFile(std::string_view title, std::string_view filter,
                                   std::string_view startDir) {
    return Choose(title, [&] {
        return QFileDialog::getSaveFileName(ActiveWindow(), Q(title), Q(startDir), Q(filter));
    });
}

std::string QtPort::ChooseFolder(std::string_view title, std::string_view startDir) {
    return Choose(title, [&] {
        return QFileDialog::getExistingDirectory(ActiveWindow(), Q(title), Q(startDir));
    });
}

bool QtPort::OpenWithDesktop(const std::string& target) {
    std::function<bool(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hook = openHook_;
    }
    if (hook) {
        return hook(target);
    }
    bool opened = false;
    RunAndWait([&] {
        const QString text = QString::fromStdString(target);
        const QUrl url =
            text.contains(QStringLiteral("://")) ? QUrl(text) : QUrl::fromLocalFile(text);
        opened = QDesktopServices::openUrl(url);
    });
    return opened;
}

}  // namespace wg
