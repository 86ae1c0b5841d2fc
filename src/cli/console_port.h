// The user-interface port of the console front end: the status line and every
// message on standard error, questions asked on a terminal or answered by
// --yes / --no, Ctrl-C turned into an exit request.
#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <string>

#include "app/ui_port.h"

namespace wg {

enum class DefaultAnswer { Ask, Yes, No };

class ConsolePort : public UiPort {
public:
    ConsolePort(DefaultAnswer defaultAnswer, bool quiet);

    // Called on the main thread at the first interrupt and at the second.
    void SetInterruptHandlers(std::function<void()> first, std::function<void()> second);

    bool HasMainWindow() const override { return true; }
    void ShowStatus(std::string_view text) override;
    void AppendStatus(std::string_view text) override;
    void SetCounterText(Counter counter, std::string_view text) override;
    Answer Ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    void Tell(std::string_view text, std::string_view caption, Icon icon) override;
    void ProcessMessages() override;
    void SetAddressText(std::string_view text) override;
    std::string AddressText() const override;
    bool OpenWithDesktop(const std::string& target) override;
    CrawlScope SelectedScope() const override { return scope_; }
    void SetCrawlRunning(bool running) override;

    // The scope buttons as the command line set them.
    void SetScope(CrawlScope scope) { scope_ = scope; }
    // Called once when a started crawl has ended: stopped, or finished.
    void SetCrawlEndHandler(std::function<void(bool stopped)> handler);

    std::string StatusLine() const;
    // Ends the updating line on a terminal, so that later output starts afresh.
    void EndLiveLine();

private:
    void PrintLine(const std::string& line);
    // With mutex_ held: the status line after a change (a plain line, or the
    // updating line with the counters on a terminal).
    void ShowChangedStatus();
    void DrawLiveLine();
    Answer DefaultFor(Buttons buttons) const;

    DefaultAnswer defaultAnswer_;
    bool quiet_;
    mutable std::mutex mutex_;  // the texts below and standard error
    std::string status_;
    std::string address_;
    std::array<std::string, 5> counters_;
    std::mutex askMutex_;  // one question at a time
    std::function<void()> onFirstInterrupt_;
    std::function<void()> onSecondInterrupt_;
    int interruptsHandled_ = 0;
    CrawlScope scope_ = CrawlScope::OnlyThisPage;
    bool live_ = false;          // standard error is a terminal: one updating line
    bool lineOpen_ = false;      // the updating line is on the screen
    bool crawlStarted_ = false;  // guarded by mutex_
    bool crawlEnded_ = false;
    std::function<void(bool stopped)> onCrawlEnd_;

    // With mutex_ held: reports the end of the crawl once the status line says so.
    std::function<void()> CrawlEndNotice();
};

}  // namespace wg
