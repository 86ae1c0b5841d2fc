#include "cli/console_port.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "platform/desktop.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"

namespace wg {

namespace {

const char* AnswerName(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return "OK";
        case Answer::Cancel:
            return "Cancel";
        case Answer::Yes:
            return "Yes";
        case Answer::No:
            return "No";
    }
    return "";
}

const char* ChoicesFor(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return "[o]k";
        case Buttons::OkCancel:
            return "[o]k/[c]ancel";
        case Buttons::YesNo:
            return "[y]es/[n]o";
        case Buttons::YesNoCancel:
            return "[y]es/[n]o/[c]ancel";
    }
    return "";
}

std::optional<Answer> ParseAnswer(const std::string& typed, Buttons buttons) {
    if (typed.empty()) {
        return std::nullopt;
    }
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(typed[0])));
    const bool hasYesNo = buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel;
    const bool hasCancel = buttons == Buttons::OkCancel || buttons == Buttons::YesNoCancel;
    const bool hasOk = buttons == Buttons::Ok || buttons == Buttons::OkCancel;
    if (hasYesNo && c == 'y') {
        return Answer::Yes;
    }
    if (hasYesNo && c == 'n') {
        return Answer::No;
    }
    if (hasCancel && c == 'c') {
        return Answer::Cancel;
    }
    if (hasOk && c == 'o') {
        return Answer::Ok;
    }
    return std::nullopt;
}

}  // namespace

ConsolePort::ConsolePort(DefaultAnswer defaultAnswer, bool quiet)
    : defaultAnswer_(defaultAnswer), quiet_(quiet), live_(platform::StderrIsTerminal()) {}

void ConsolePort::SetInterruptHandlers(std::function<void()> first, std::function<void()> second) {
    onFirstInterrupt_ = std::move(first);
    onSecondInterrupt_ = std::move(second);
}

void ConsolePort::PrintLine(const std::string& line) {
    // Called with mutex_ held. A line printed while the updating line shows
    // takes its place; the updating line is drawn again below it.
    if (lineOpen_) {
        std::fputs("\r\x1b[K", stderr);
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    if (lineOpen_) {
        DrawLiveLine();
    }
    std::fflush(stderr);
}

void ConsolePort::DrawLiveLine() {
    std::string line = status_;
    for (const std::string& counter : counters_) {
        if (!counter.empty()) {
            line += "  |  " + counter;
        }
    }
    const auto width = static_cast<std::size_t>(std::max(platform::StderrColumns() - 1, 10));
    if (line.size() > width) {
        line.resize(width);
    }
    std::fprintf(stderr, "\r\x1b[K%s", line.c_str());
    std::fflush(stderr);
    lineOpen_ = true;
}

void ConsolePort::ShowChangedStatus() {
    if (quiet_) {
        return;
    }
    if (live_) {
        DrawLiveLine();
    } else {
        PrintLine(status_);
    }
}

void ConsolePort::EndLiveLine() {
    std::lock_guard<std::mutex> lock(mutex_);
    live_ = false;  // what follows is printed line by line
    if (lineOpen_) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        lineOpen_ = false;
    }
}

void ConsolePort::SetCrawlEndHandler(std::function<void(bool stopped)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    onCrawlEnd_ = std::move(handler);
}

void ConsolePort::SetCrawlRunning(bool running) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running) {
        crawlStarted_ = true;
    }
}

std::function<void()> ConsolePort::CrawlEndNotice() {
    const bool stopped = status_ == "Stopped.";
    const bool finished = status_.ends_with("   Finished.");
    if (!crawlStarted_ || crawlEnded_ || !(stopped || finished) || !onCrawlEnd_) {
        return {};
    }
    crawlEnded_ = true;
    if (quiet_) {
        PrintLine(status_);  // the final status line
    } else if (lineOpen_) {
        std::fputs("\n", stderr);  // the final status line stays on the screen
        lineOpen_ = false;
    }
    return [handler = onCrawlEnd_, stopped] { handler(stopped); };
}

void ConsolePort::ShowStatus(std::string_view text) {
    std::function<void()> notice;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_.assign(text);
        ShowChangedStatus();
        notice = CrawlEndNotice();
    }
    if (notice) {
        notice();
    }
}

void ConsolePort::AppendStatus(std::string_view text) {
    std::function<void()> notice;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_.append(text);
        ShowChangedStatus();
        notice = CrawlEndNotice();
    }
    if (notice) {
        notice();
    }
}

void ConsolePort::SetCounterText(Counter counter, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    counters_[static_cast<std::size_t>(counter)].assign(text);
    if (live_ && lineOpen_ && !quiet_) {
        DrawLiveLine();
    }
}

Answer ConsolePort::DefaultFor(Buttons buttons) const {
    const bool yes = defaultAnswer_ == DefaultAnswer::Yes;
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
            return yes ? Answer::Ok : Answer::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return yes ? Answer::Yes : Answer::No;
    }
    return Answer::No;
}

Answer ConsolePort::Ask(std::string_view text, std::string_view caption, Buttons buttons,
                        Icon /*icon*/) {
    std::lock_guard<std::mutex> askLock(askMutex_);
    const bool interactive = defaultAnswer_ == DefaultAnswer::Ask && platform::StdinIsTerminal();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string line = std::string(caption) + ": " + std::string(text);
        if (interactive) {
            line += std::string(" ") + ChoicesFor(buttons) + " ";
            std::fprintf(stderr, "%s", line.c_str());
            std::fflush(stderr);
        } else {
            PrintLine(line);
        }
    }
    Answer answer = DefaultFor(buttons);
    if (interactive) {
        for (;;) {
            const auto typed = platform::ReadStdinLine();
            if (!typed) {
                break;  // end of input: the default
            }
            if (auto parsed = ParseAnswer(*typed, buttons)) {
                answer = *parsed;
                break;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            std::fprintf(stderr, "%s ", ChoicesFor(buttons));
            std::fflush(stderr);
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    PrintLine(std::string("-> ") + AnswerName(answer));
    return answer;
}

void ConsolePort::Tell(std::string_view text, std::string_view caption, Icon /*icon*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    PrintLine(std::string(caption) + ": " + std::string(text));
}

void ConsolePort::ProcessMessages() {
    const int interrupts = platform::InterruptCount();
    while (interruptsHandled_ < interrupts) {
        ++interruptsHandled_;
        if (interruptsHandled_ == 1) {
            if (onFirstInterrupt_) {
                onFirstInterrupt_();
            }
        } else if (onSecondInterrupt_) {
            onSecondInterrupt_();
        }
    }
}

void ConsolePort::SetAddressText(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    address_.assign(text);
}

std::string ConsolePort::AddressText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address_;
}

bool ConsolePort::OpenWithDesktop(const std::string& target) {
    return platform::OpenWithDesktop(target) == 0;
}

std::string ConsolePort::StatusLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

}  // namespace wg
