#include "cli/console_port.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"

namespace wg {

namespace {

// How often the updating line is drawn again when nothing else changed (the
// rate moves on).
constexpr std::uint64_t kLiveRedrawMs = 500;

constexpr std::string_view kFinishedEnd = "   Finished.";
constexpr std::string_view kStopped = "Stopped.";

// Window wording -> console wording; each is replaced wherever it occurs.
constexpr std::pair<std::string_view, std::string_view> kConsoleWording[] = {
    {"To retrieve a website, type the address above and press 'Go Fetch'.",
     "Ready to retrieve the website."},
    {"Please type in a web address to the right of where it says URL above.",
     "Please give a web address (URL) on the command line."},
    {"See Files menu 'Erase URL History'.",
     "It is in the visited list of the state file (see --load, --save-on-exit)."},
    {"File too small. See options.", "File too small (see --set MIN_FILE_SIZE)."},
    {"File too large. See options.", "File too large (see --set MAX_FILE_SIZE)."},
    {"File not in Download File Types. See options.",
     "File not in the download file types (see --types, --set FILE_TYPES)."},
    {"See options.", "See --set."},
};

// Openings and parts of the engine's failure texts.
constexpr std::string_view kErrorOpenings[] = {
    "Error",     "Failed",           "Can't",         "Cannot",       "Could not",
    "Disk full", "Connection Error", "Access denied", "System error",
};
constexpr std::string_view kErrorParts[] = {" not found", "File not found"};

// "Files Downloaded: 1,234" -> "1,234".
std::string CounterValue(const std::string& text) {
    const std::size_t colon = text.find(": ");
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

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

std::string ConsoleText(std::string_view text) {
    std::string out(text);
    for (const auto& [window, console] : kConsoleWording) {
        for (std::size_t at = out.find(window); at != std::string::npos;
             at = out.find(window, at + console.size())) {
            out.replace(at, window.size(), console);
        }
    }
    return out;
}

bool IsErrorStatus(std::string_view text) {
    for (std::string_view opening : kErrorOpenings) {
        if (text.starts_with(opening)) {
            return true;
        }
    }
    for (std::string_view part : kErrorParts) {
        if (text.find(part) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

ConsolePort::ConsolePort(DefaultAnswer defaultAnswer, bool quiet)
    : defaultAnswer_(defaultAnswer), quiet_(quiet), live_(platform::StderrIsTerminal()) {}

ConsolePort::~ConsolePort() {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushStatus();
    CloseLiveLine();
}

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
    // "files 12  1.4 MB  340.0 KB/s  scanned 5  queued 30/12  active 2 | status":
    // queued counts pages to scan / files to fetch.
    auto value = [this](Counter c) { return CounterValue(counters_[static_cast<std::size_t>(c)]); };
    std::string line;
    auto add = [&line](const std::string& part) {
        if (!part.empty()) {
            line += (line.empty() ? "" : "  ") + part;
        }
    };
    const std::string files = value(Counter::FilesDownloaded);
    add(files.empty() ? "" : "files " + files);
    add(progressSource_ ? progressSource_() : "");
    const std::string scanned = value(Counter::UrlsScanned);
    add(scanned.empty() ? "" : "scanned " + scanned);
    const std::string pages = value(Counter::LinksToGrubble);
    const std::string downloads = value(Counter::ToDownload);
    if (!pages.empty() || !downloads.empty()) {
        add("queued " + (pages.empty() ? "0" : pages) + "/" +
            (downloads.empty() ? "0" : downloads));
    }
    const std::string active = value(Counter::InProcess);
    add(active.empty() ? "" : "active " + active);
    line += (line.empty() ? "" : " | ") + status_;
    const auto width = static_cast<std::size_t>(std::max(platform::StderrColumns() - 1, 10));
    if (line.size() > width) {
        line.resize(width);
    }
    std::fprintf(stderr, "\r\x1b[K%s", line.c_str());
    std::fflush(stderr);
    lineOpen_ = true;
    lastDrawMs_ = platform::SteadyMilliseconds();
}

void ConsolePort::CloseLiveLine() {
    if (lineOpen_) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        lineOpen_ = false;
    }
}

void ConsolePort::ShowChangedStatus() {
    // After an interrupt the crawl is being stopped: its "Finished." would
    // tell otherwise, and "Stopped." follows.
    if (interrupted_.load() && status_.ends_with(kFinishedEnd)) {
        statusPending_ = false;
        return;
    }
    statusPending_ = true;
    if (!quiet_ && status_ == kStopped) {
        stoppedShown_ = true;  // on the updating line now, or printed as the next line
    }
    if (live_ && !quiet_) {
        DrawLiveLine();
    }
}

void ConsolePort::FlushStatus() {
    if (!statusPending_) {
        return;
    }
    statusPending_ = false;
    // On a terminal the updating line shows the status; errors also stay above it.
    if ((quiet_ || live_) && !IsErrorStatus(status_)) {
        return;
    }
    if (status_ == lastPrinted_) {
        return;
    }
    lastPrinted_ = status_;
    PrintLine(status_);
}

void ConsolePort::EndLiveLine() {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushStatus();
    CloseLiveLine();
    live_ = false;  // what follows is printed line by line
}

void ConsolePort::ReportStopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushStatus();
    crawlEnded_ = true;
    if (stoppedShown_) {
        return;
    }
    CloseLiveLine();
    status_ = kStopped;
    lastPrinted_ = status_;
    stoppedShown_ = true;
    PrintLine(status_);
}

void ConsolePort::PrintSummary(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushStatus();
    CloseLiveLine();
    live_ = false;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void ConsolePort::SetProgressSource(std::function<std::string()> source) {
    std::lock_guard<std::mutex> lock(mutex_);
    progressSource_ = std::move(source);
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
    const bool stopped = status_ == kStopped;
    const bool finished = !interrupted_.load() && status_.ends_with(kFinishedEnd);
    if (!crawlStarted_ || crawlEnded_ || !(stopped || finished) || !onCrawlEnd_) {
        return {};
    }
    crawlEnded_ = true;
    if (quiet_) {
        // The final status line.
        statusPending_ = false;
        lastPrinted_ = status_;
        stoppedShown_ = stoppedShown_ || stopped;
        PrintLine(status_);
    } else if (live_) {
        // The counters stay on the screen, the final status below them in
        // full; what follows is printed line by line.
        statusPending_ = false;
        CloseLiveLine();
        live_ = false;
        lastPrinted_ = status_;
        PrintLine(status_);
    } else {
        FlushStatus();
    }
    return [handler = onCrawlEnd_, stopped] { handler(stopped); };
}

void ConsolePort::ShowStatus(std::string_view text) {
    std::function<void()> notice;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        FlushStatus();  // the text it replaces was complete
        status_ = ConsoleText(text);
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
        status_ += ConsoleText(text);
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
        FlushStatus();
        std::string line = std::string(caption) + ": " + ConsoleText(text);
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

void ConsolePort::Tell(std::string_view text, std::string_view caption, Icon icon) {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushStatus();
    if (quiet_ && (icon == Icon::None || icon == Icon::Information)) {
        return;
    }
    PrintLine(std::string(caption) + ": " + ConsoleText(text));
}

void ConsolePort::ProcessMessages() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        FlushStatus();
        if (live_ && lineOpen_ && !quiet_ &&
            platform::SteadyMilliseconds() >= lastDrawMs_ + kLiveRedrawMs) {
            DrawLiveLine();
        }
    }
    const int interrupts = platform::InterruptCount();
    while (interruptsHandled_ < interrupts) {
        ++interruptsHandled_;
        if (interruptsHandled_ == 1) {
            interrupted_.store(true);
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
