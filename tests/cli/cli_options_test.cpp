// The console front end's checks of what the user typed, and its wording of
// the engine's texts, without running the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_port.h"
#include "settings/setting_checks.h"
#include "settings/settings_file.h"
#include "settings/type_filters.h"

namespace wg::test {
namespace {

struct ParseCase {
    std::vector<std::string> args;
    const char* error;  // a part of the expected message; empty: accepted
};

TEST(CliOptions, RefusesWhatCannotStartACrawl) {
    const std::string host = "http://127.0.0.1/";
    const std::string longest = host + std::string(kMaxAddressBytes - host.size(), 'a');
    const ParseCase cases[] = {
        {{}, "missing URL"},
        {{"--load"}, ""},
        {{""}, "the URL is empty"},
        {{"--load", ""}, "the URL is empty"},
        {{"", "http://127.0.0.1/"}, "only one URL may be given"},
        {{longest}, ""},
        {{longest + "b"}, "the URL is 1024 bytes long; at most 1023 are allowed"},
        {{"127.0.0.1:65536/a.html"}, "invalid port '65536'"},
        {{"http://127.0.0.1:0/"}, "invalid port '0'"},
        {{"http://127.0.0.1:8o8o/"}, "invalid port '8o8o'"},
        {{"https://127.0.0.1:65535/a:b?c=d:e"}, ""},
        {{"http://[::1]:8080/"}, ""},
        {{"http:///index.html"}, "no host name"},
        {{"--set", "NUM_URL_THREADS=33", "localhost"},
         "--set: NUM_URL_THREADS takes a whole number from 1 to 32, not '33'"},
        {{"--set=NUMURL_THREADS=3", "localhost"}, "unknown settings key 'NUMURL_THREADS'"},
        {{"--set", "VERBOSE", "localhost"}, "expected KEY=VALUE"},
        {{"--set", "VERBOSE=1"}, "missing URL"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--home"}, "--home needs a directory"},
        {{"--yes", "--no"}, "--yes and --no cannot be used together"},
        {{"--scope", "site"}, "--scope needs one of page, domain, all, file"},
        {{"--types", "web,videos"}, "--types needs a comma list of"},
        {{"--set", "=1"}, "--set: "},
    };
    for (const ParseCase& c : cases) {
        std::ostringstream name;
        for (const std::string& arg : c.args) {
            name << '[' << arg.substr(0, 40) << "] ";
        }
        const CliParse parsed = ParseCliOptions(c.args);
        if (*c.error == '\0') {
            EXPECT_EQ(parsed.error, "") << name.str();
        } else {
            EXPECT_NE(parsed.error.find(c.error), std::string::npos)
                << name.str() << "gave: " << parsed.error;
        }
    }
}

TEST(CliOptions, ParsesTheFrontEndsOptions) {
    CliParse p = ParseCliOptions({"--home", "/tmp/h", "--yes", "-q", "http://127.0.0.1/"});
    EXPECT_TRUE(p.error.empty());
    EXPECT_EQ(p.options.home, "/tmp/h");
    EXPECT_EQ(p.options.answer, DefaultAnswer::Yes);
    EXPECT_TRUE(p.options.quiet);

    p = ParseCliOptions({"--home=/tmp/h", "http://127.0.0.1/"});
    EXPECT_EQ(p.options.home, "/tmp/h");
    EXPECT_EQ(p.options.url, "http://127.0.0.1/");

    EXPECT_EQ(ParseCliOptions({"--", "-odd-url"}).options.url, "-odd-url");

    p = ParseCliOptions({"--scope", "domain", "--types=web,pictures", "--set", "VERBOSE=0", "u"});
    EXPECT_EQ(p.options.scope, CrawlScope::WithinDomain);
    EXPECT_EQ(*p.options.types, (std::vector<std::string>{"web", "pictures"}));
    EXPECT_EQ(p.options.sets, std::vector<std::string>{"VERBOSE=0"});

    // The engine takes the first value of a key; the command line's last one must win.
    p = ParseCliOptions(
        {"--set", "VERBOSE=0", "--set", "LOGDEBUG=1", "--set", "VERBOSE=1", "http://127.0.0.1/"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.sets, (std::vector<std::string>{"LOGDEBUG=1", "VERBOSE=1"}));
}

TEST(CliSettingChecks, AcceptAndRefuseByTheKeysRange) {
    const ParseCase cases[] = {
        {{"NUM_URL_THREADS=1"}, ""},
        {{"NUM_DOWNLOAD_THREADS=0"}, "NUM_DOWNLOAD_THREADS takes a whole number from 1 to 32"},
        {{"NUM_URL_THREADS=3x"}, "from 1 to 32, not '3x'"},
        {{"NUM_URL_THREADS=99999999999999999999999"}, "from 1 to 32"},
        {{"MAX_FILE_SIZE=2147483648"}, "from 0 to 2147483647"},
        {{"PRIORITY=1"}, "from -2 to 0"},
        {{"HEADER_TIMEOUT=0"}, "from 1 to 86400"},
        {{"MIN_DOWNLOAD_QUEUE=0"}, "from 1 to"},
        {{"VERBOSE=yes"}, "VERBOSE takes 0 or 1, not 'yes'"},
        {{"verbose=1"}, "unknown settings key 'verbose'"},
        {{"USER_AGENT=Grabber/1.0 (x=y)"}, ""},
        {{"USER_AGENT=a\nVERBOSE=0"}, "USER_AGENT takes one line of text"},
        {{"SAVEPATH=/" + std::string(259, 'd')}, "SAVEPATH takes at most 259 bytes, not 260"},
        {{"CA_FILE=/" + std::string(259, 'c')}, "CA_FILE takes at most 259 bytes"},
        {{"FILE_TYPES=" + std::string(1024, 'x')}, "at most 1023 bytes"},
    };
    for (const ParseCase& c : cases) {
        const std::string& keyValue = c.args.front();
        std::string error;
        const bool ok = CheckSettingOverride(keyValue, &error);
        if (*c.error == '\0') {
            EXPECT_TRUE(ok) << keyValue << ": " << error;
        } else {
            EXPECT_FALSE(ok) << keyValue;
            EXPECT_NE(error.find(c.error), std::string::npos) << keyValue << " gave: " << error;
        }
    }
}

// Every key the settings file holds can be given for a run, and the value the
// program starts with is one the check accepts.
TEST(CliSettingChecks, KnowEveryKeyOfTheSettingsFileAndAcceptItsDefaults) {
    AppSettings settings;
    AppPaths paths;
    paths.downloadDir = "/tmp/Downloads";
    std::istringstream lines(FormatSettings(settings, paths));
    int keys = 0;
    for (std::string line; std::getline(lines, line);) {
        std::string error;
        EXPECT_TRUE(CheckSettingOverride(line, &error)) << line << ": " << error;
        ++keys;
    }
    EXPECT_GE(keys, 46);
}

TEST(ConsoleWording, WindowHintsBecomeCommandLineHints) {
    const struct {
        std::string engine;
        const char* console;
    } cases[] = {
        {"Welcome.  To retrieve a website, type the address above and press 'Go Fetch'.",
         "Welcome.  Ready to retrieve the website."},
        {"Last Fail Reason: URL has been processed before. See Files menu 'Erase URL History'.",
         "see --load, --save-on-exit"},
        {"Last Fail Reason: File too small. See options.   Finished.",
         "File too small (see --set MIN_FILE_SIZE).   Finished."},
        {std::string(kFileTypeRefusal), "(see --types, --set FILE_TYPES)"},
        {"Please type in a web address to the right of where it says URL above.",
         "on the command line"},
        {"127.0.0.1:8080/options.html", "127.0.0.1:8080/options.html"},
    };
    for (const auto& c : cases) {
        const std::string text = ConsoleText(c.engine);
        EXPECT_NE(text.find(c.console), std::string::npos) << text;
        for (const char* window : {"Go Fetch", "menu", "See options", "above"}) {
            EXPECT_EQ(text.find(window), std::string::npos) << text;
        }
    }
}

// Standard error of the test process, captured into a file for one port's life.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()), saved_(::dup(2)) {
        std::fflush(stderr);
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture() { Restore(); }
    std::vector<std::string> Lines() {
        Restore();
        std::rewind(file_);
        std::vector<std::string> lines;
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, file_) != nullptr) {
            lines.emplace_back(buffer, std::strcspn(buffer, "\n"));
        }
        return lines;
    }

private:
    void Restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
    }
    std::FILE* file_;
    int saved_;
};

TEST(ConsolePort, PrintsOneLinePerStatusEventWhenNotATerminal) {
    const struct {
        const char* name;
        bool quiet;
        std::function<void(ConsolePort&)> events;
        std::vector<std::string> lines;
    } cases[] = {
        {"repeats, appends and the crawl's end",
         false,
         [](ConsolePort& p) {
             p.ShowStatus("127.0.0.1/a.html");
             p.ShowStatus("127.0.0.1/a.html");
             p.ShowStatus("Processing...");
             p.ShowStatus("Last Fail Reason: ");
             p.AppendStatus("File too large. See options.");
             p.AppendStatus("   Finished.");
             p.ShowStatus("Saving settings...");
             p.PrintSummary("Summary: 1 page");
         },
         {"127.0.0.1/a.html", "Processing...",
          "Last Fail Reason: File too large (see --set MAX_FILE_SIZE).   Finished.",
          "Saving settings...", "Summary: 1 page"}},
        {"quiet: errors, the final status and the summary",
         true,
         [](ConsolePort& p) {
             p.ShowStatus("127.0.0.1/a.html");
             p.ShowStatus("Can't resolve host: a.invalid...");
             p.Tell("Just so you know.", "Notice", Icon::Information);
             p.Tell("Sorry, no ftp.", "Error", Icon::Error);
             p.ShowStatus("Stopped.");
             p.ReportStopped();
             p.ShowStatus("Saving settings...");
             p.PrintSummary("Summary: 0 pages");
         },
         {"Can't resolve host: a.invalid...", "Error: Sorry, no ftp.", "Stopped.",
          "Summary: 0 pages"}},
        {"a stop that the engine did not report",
         true,
         [](ConsolePort& p) {
             p.ShowStatus("Exiting...");
             p.ReportStopped();
         },
         {"Stopped."}},
    };
    for (const auto& c : cases) {
        std::vector<bool> ends;
        std::vector<std::string> lines;
        {
            StderrCapture capture;
            {
                ConsolePort port(DefaultAnswer::No, c.quiet);
                port.SetCrawlEndHandler([&ends](bool stopped) { ends.push_back(stopped); });
                port.SetCrawlRunning(true);
                c.events(port);
            }
            lines = capture.Lines();
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_LE(ends.size(), 1u) << c.name;  // the end is reported once
    }
}

}  // namespace
}  // namespace wg::test
