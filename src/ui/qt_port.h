// The user-interface port of the desktop program. Any thread may call it:
// texts and notifications from worker threads are handed to the GUI thread
// (queued, in order); a question from a worker blocks that worker until the
// GUI thread has the answer. On the GUI thread everything runs at once.
// Message boxes and choosers can be replaced by scripted answers in tests.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/ui_port.h"
#include "platform/wake_event.h"

namespace wg {

// The port's foothold on the GUI thread: woken there when work is waiting,
// it runs the port's queue.
class PortRelay : public QObject {
    Q_OBJECT
public:
    explicit PortRelay(std::function<void()> drain) : drain_(std::move(drain)) {}
public slots:
    void Drain() { drain_(); }

private:
    std::function<void()> drain_;
};

// What the port shows things in: the main window, or a fake in tests. Called
// on the GUI thread only.
class PortView {
public:
    virtual ~PortView() = default;
    virtual void ViewStatus(const std::string& text) = 0;
    virtual void ViewAppendStatus(const std::string& text) = 0;
    virtual void ViewCounter(Counter counter, const std::string& text) = 0;
    virtual void ViewCrawlRunning(bool /*running*/) {}
    virtual void ViewPauseState(bool /*paused*/) {}
    virtual void ViewScopeButtons(bool /*allLinked*/, bool /*withinDomain*/) {}
    virtual void ViewAddressText(const std::string& /*text*/) {}
    virtual void ViewStopAddingHistoryChecked(bool /*checked*/) {}
    virtual void ViewQueueEmptied(Counter /*queue*/) {}
    virtual void ViewNewestImage(const std::string& /*path*/) {}
    virtual void ViewOpenProgress(const std::string& /*text*/) {}
    virtual void ViewProgressText(const std::string& /*text*/) {}
    virtual void ViewCloseProgress() {}
};

class QtPort : public UiPort {
public:
    // Made on the GUI thread; work for that thread is queued there, and
    // dropped when the port goes.
    QtPort();
    ~QtPort() override;
    QtPort(const QtPort&) = delete;
    QtPort& operator=(const QtPort&) = delete;

    // The view (GUI thread); null: texts are only kept.
    void SetView(PortView* view);

    // Scripted replacements for the message boxes and choosers (tests).
    using AskHook = std::function<Answer(const std::string& text, const std::string& caption,
                                         Buttons buttons, Icon icon)>;
    using TellHook =
        std::function<void(const std::string& text, const std::string& caption, Icon icon)>;
    using ChooseHook = std::function<std::string(const std::string& title)>;
    void SetAskHook(AskHook hook);
    void SetTellHook(TellHook hook);
    void SetChooseHook(ChooseHook hook);
    void SetOpenHook(std::function<bool(const std::string&)> hook);
    // What RunWizard shows (the desktop program's start-up wizard); without
    // one the engine goes on as if the classic view was chosen.
    void SetWizardRunner(std::function<WizardOutcome()> runner);

    // From now on a question from a worker thread is answered No (or Cancel)
    // at once: the GUI thread may be waiting for that worker to end.
    void SetClosing();

    // What the GUI thread tells the port, for readers on any thread.
    void NoteAddressText(const std::string& text);
    void NoteScope(CrawlScope scope);
    void NoteQueueViewerOpen(bool open);

    // The last status line and counter texts handed to the view.
    std::string StatusText() const;

    bool HasMainWindow() const override { return true; }
    void ShowStatus(std::string_view text) override;
    void AppendStatus(std::string_view text) override;
    void SetCounterText(Counter counter, std::string_view text) override;
    Answer Ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    void Tell(std::string_view text, std::string_view caption, Icon icon) override;
    void ProcessMessages() override;
    void SetCrawlRunning(bool running) override;
    void SetPauseState(bool paused) override;
    void SetScopeButtons(bool allLinked, bool withinDomain) override;
    void SetAddressText(std::string_view text) override;
    std::string AddressText() const override;
    void SetStopAddingHistoryChecked(bool checked) override;
    void QueueViewerEmptied(Counter queue) override;
    CrawlScope SelectedScope() const override;
    void ShowNewestImage(const std::string& path) override;
    bool QueueViewerOpen() const override;
    void OpenProgress(std::string_view text) override;
    void SetProgressText(std::string_view text) override;
    void CloseProgress() override;
    std::string ChooseOpenFile(std::string_view title, std::string_view filter,
                               std::string_view startDir) override;
    std::string ChooseSaveFile(std::string_view title, std::string_view filter,
                               std::string_view startDir) override;
    std::string ChooseFolder(std::string_view title, std::string_view startDir) override;
    bool OpenWithDesktop(const std::string& target) override;
    WizardOutcome RunWizard() override;

private:
    bool OnGuiThread() const;
    // Runs `work` on the GUI thread: now when called there, else queued.
    void Post(std::function<void()> work);
    // Runs `work` on the GUI thread and waits for it.
    void RunAndWait(const std::function<void()>& work);

    // A chooser: the scripted answer, else `dialog` run on the GUI thread.
    std::string Choose(std::string_view title, const std::function<QString()>& dialog);
    // Runs the queued work in order (GUI thread).
    void DrainQueue();

    const std::thread::id guiThread_;
    // Work handed from other threads to the GUI thread. It passes through
    // this lock, and the GUI thread is woken through a descriptor: a worker
    // never calls into Qt, so the hand-over is plain to see for the thread
    // checker too.
    platform::WakeEvent wake_;
    std::unique_ptr<PortRelay> gui_;  // lives on the GUI thread
    std::mutex queueMutex_;
    std::deque<std::function<void()>> queue_;
    PortView* view_ = nullptr;  // GUI thread
    mutable std::mutex mutex_;  // the fields below
    std::string status_;
    std::string address_;
    CrawlScope scope_ = CrawlScope::OnlyThisPage;
    bool queueViewerOpen_ = false;
    bool closing_ = false;
    AskHook askHook_;
    TellHook tellHook_;
    ChooseHook chooseHook_;
    std::function<bool(const std::string&)> openHook_;
    std::function<WizardOutcome()> wizardRunner_;  // GUI thread
};

}  // namespace wg
