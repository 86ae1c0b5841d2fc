#include "cli/find_duplicates.h"

#include <cstdio>
#include <string_view>

#include "dupes/dupe_finder.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"

namespace wg {

std::string FindDuplicatesUsage() {
    return "Usage: webgrubbler-cli find-duplicates [--no-recursive] [--delete] [--log] DIR\n"
           "\n"
           "Finds files under DIR whose bytes are all equal and prints one line per\n"
           "copy: \"KEPT & COPY are identical\", the copy found first being kept.\n"
           "\n"
           "  --no-recursive    search DIR itself, not its sub-directories\n"
           "  --delete          then delete every copy whose kept file is still there\n"
           "                    and still identical\n"
           "  --log             also write the lines to results.log in the working\n"
           "                    directory\n"
           "  --help            print this text and exit\n"
           "\n"
           "Counters and status go to standard error. Ctrl-C stops the search.\n"
           "Exit status: 0 the search completed, 1 DIR could not be read, 2 bad usage,\n"
           "130 stopped by Ctrl-C.\n";
}

namespace {

struct FindOptions {
    bool recursive = true;
    bool deleteCopies = false;
    bool log = false;
    bool help = false;
    std::string dir;
};

bool Parse(const std::vector<std::string>& args, FindOptions& options, std::string& error) {
    bool onlyOperands = false;
    for (const std::string& arg : args) {
        if (!onlyOperands && arg == "--") {
            onlyOperands = true;
        } else if (!onlyOperands && arg == "--no-recursive") {
            options.recursive = false;
        } else if (!onlyOperands && arg == "--delete") {
            options.deleteCopies = true;
        } else if (!onlyOperands && arg == "--log") {
            options.log = true;
        } else if (!onlyOperands && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!onlyOperands && arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.dir.empty()) {
            options.dir = arg;
        } else {
            error = "more than one directory given";
            return false;
        }
    }
    if (options.dir.empty() && !options.help) {
        error = "no directory given";
        return false;
    }
    return true;
}

// Counter and status texts on standard error: rewritten in place on a
// terminal, one line each otherwise.
class ProgressLine {
public:
    ProgressLine() : live_(platform::StderrIsTerminal()) {}
    ~ProgressLine() { End(); }
    void Counter(std::string_view text) {
        if (live_) {
            std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
            open_ = true;
        } else {
            Line(text);
        }
        std::fflush(stderr);
    }
    void Line(std::string_view text) {
        End();
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
    void End() {
        if (open_) {
            std::fputc('\n', stderr);
            open_ = false;
        }
    }

private:
    bool live_;
    bool open_ = false;
};

}  // namespace

int RunFindDuplicates(const std::vector<std::string>& args) {
    FindOptions options;
    std::string error;
    if (!Parse(args, options, error)) {
        std::fprintf(stderr, "webgrubbler-cli find-duplicates: %s\n%s", error.c_str(),
                     FindDuplicatesUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(FindDuplicatesUsage().c_str(), stdout);
        return 0;
    }
    if (!platform::DirectoryExists(options.dir)) {
        std::fprintf(stderr, "webgrubbler-cli find-duplicates: cannot read directory %s\n",
                     options.dir.c_str());
        return 1;
    }

    platform::InstallInterruptHandler();
    ProgressLine progress;
    DupeFinder* running = nullptr;
    DupeFinderEvents events;
    events.status = [&](std::string_view text) { progress.Line(text); };
    events.counters = [&](std::string_view text) { progress.Counter(text); };
    events.result = [&](std::string_view text) {
        std::fprintf(stdout, "%.*s\n", static_cast<int>(text.size()), text.data());
    };
    events.pump = [&] {
        if (running != nullptr && platform::InterruptRequested()) {
            running->RequestStop();
        }
    };
    DupeFinder finder(std::move(events));
    running = &finder;
    finder.SetSearchSubdirectories(options.recursive);
    platform::FilePtr log;
    if (options.log) {
        log = platform::OpenFile("results.log", "w");
        if (!log) {
            progress.Line("results.log could not be created; the lines are not logged.");
        }
        finder.SetResultsLog(log.get());
    }
    if (!finder.Find(options.dir)) {
        progress.End();
        std::fprintf(stderr, "webgrubbler-cli find-duplicates: cannot read directory %s\n",
                     options.dir.c_str());
        return 1;
    }
    std::fflush(stdout);
    if (platform::InterruptRequested()) {
        progress.End();
        return 130;
    }
    if (options.deleteCopies) {
        (void)finder.DeleteDuplicates();
    }
    progress.End();
    return platform::InterruptRequested() ? 130 : 0;
}

}  // namespace wg
