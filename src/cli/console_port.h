// The user-interface port of the console front end: the status line and every
// message on standard error, questions asked on a terminal or answered by
// --yes / --no, Ctrl-C and SIGTERM turned into a stop request.
//
// On a terminal the status and the counters share one updating line; error
// texts are printed above it as lines of their own. Otherwise every status
// text is printed as one line: texts that a worker appends to the status
// (a fail reason, "   Finished.", progress dots) join the line they extend,
// and a text equal to the line printed just before is not printed again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "app/ui_port.h"

namespace wg {

enum class DefaultAnswer { Ask, Yes, No };

// The engine's texts that speak of the window's controls, worded for the
// console (the window keeps its own).
std::string ConsoleText(std::string_view text);

// Status texts that report a failure; -q still prints them.
bool IsErrorStatus(std::string_view text);

class ConsolePort : public UiPort {
public:
    ConsolePort(DefaultAnswer defaultAnswer, bool quiet);
    ~ConsolePort() override;

    // Called on the main thread at the first interrupt and at the second.
    void SetInterruptHandlers(std::function<void()> first, std::function<void()> second);
    // True once the first interrupt has been handed to its handler.
    bool Interrupted() const { return interrupted_.load(); }

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
    // Called once when a started crawl has ended: stopped, or finished. After
    // an interrupt only "Stopped." ends it.
    void SetCrawlEndHandler(std::function<void(bool stopped)> handler);
    // Extra text for the updating line (bytes and rate, say); called while
    // the line is drawn, from any thread.
    void SetProgressSource(std::function<std::string()> source);

    std::string StatusLine() const;
    // Ends the updating line on a terminal, so that later output starts afresh.
    void EndLiveLine();
    // Prints "Stopped." as the final status line, also with -q, unless it has
    // been shown already: for a crawl that an interrupt ended another way.
    void ReportStopped();
    // Prints the closing summary line: always, also with -q, after the
    // updating line has been ended.
    void PrintSummary(const std::string& line);

private:
    // The members below are used with mutex_ held.
    void PrintLine(const std::string& line);
    // The status line after a change: the updating line on a terminal, else
    // a line to print once the text is complete.
    void ShowChangedStatus();
    // Prints the status text that is waiting to be printed, if any.
    void FlushStatus();
    void DrawLiveLine();
    void CloseLiveLine();
    // Reports the end of the crawl once the status line says so.
    std::function<void()> CrawlEndNotice();
    Answer DefaultFor(Buttons buttons) const;

    DefaultAnswer defaultAnswer_;
    bool quiet_;
    mutable std::mutex mutex_;  // the texts below and standard error
    std::string status_;
    std::string lastPrinted_;     // the last status line printed
    bool statusPending_ = false;  // status_ changed since it was last printed
    bool stoppedShown_ = false;   // "Stopped." reached the screen
    std::string address_;
    std::array<std::string, 5> counters_;
    std::function<std::string()> progressSource_;
    std::uint64_t lastDrawMs_ = 0;
    std::mutex askMutex_;  // one question at a time
    std::function<void()> onFirstInterrupt_;
    std::function<void()> onSecondInterrupt_;
    int interruptsHandled_ = 0;
    std::atomic<bool> interrupted_{false};
    CrawlScope scope_ = CrawlScope::OnlyThisPage;
    bool live_ = false;          // standard error is a terminal: one updating line
    bool lineOpen_ = false;      // the updating line is on the screen
    bool crawlStarted_ = false;  // guarded by mutex_
    bool crawlEnded_ = false;
    std::function<void(bool stopped)> onCrawlEnd_;
};

}  // namespace wg
