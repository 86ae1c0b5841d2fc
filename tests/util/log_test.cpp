#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/error_text.h"
#include "util/error_texts.h"
#include "util/log_file.h"
#include "util/url_error_log.h"

namespace wg {
namespace {

namespace fs = std::filesystem;

// A fresh directory below the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> serial{0};
        static const unsigned salt = std::random_device{}();
        path_ = fs::temp_directory_path() /
                ("wg-util-" + std::to_string(salt) + "-" + std::to_string(serial++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string str() const { return path_.string(); }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Points one of the process-wide logs at a directory for the length of a test.
class RedirectLog {
public:
    RedirectLog(LogFile& log, const std::string& dir) : log_(log), saved_(log.Directory()) {
        log_.SetDirectory(dir);
    }
    ~RedirectLog() {
        log_.Close();
        log_.SetDirectory(saved_);
    }

private:
    LogFile& log_;
    std::string saved_;
};

std::atomic<std::int64_t> g_fakeNow{1'700'000'000};
std::int64_t FakeNow() {
    return g_fakeNow.load();
}

TEST(LogTimestamp, TwentyFourCharacterForm) {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 0;
    t.day = 5;
    t.weekday = 1;
    t.hour = 9;
    t.minute = 3;
    t.second = 7;
    EXPECT_EQ(FormatTimestamp(t), "Mon Jan  5 09:03:07 2026");
    t.month = 11;
    t.day = 31;
    t.weekday = 6;
    t.hour = 23;
    EXPECT_EQ(FormatTimestamp(t), "Sat Dec 31 23:03:07 2026");
    EXPECT_EQ(TimestampText(1'700'000'000).size(), kTimestampLength);
}

TEST(LogFileWrite, EntryFormatAppendAndCachedTimestamp) {
    TempDir dir;
    { std::ofstream(dir.File("Test.log")) << "earlier\n"; }
    LogFile log("Test", dir.str());
    EXPECT_FALSE(log.IsOpen());  // opened by the first entry only
    log.SetClock(&FakeNow);
    g_fakeNow = 1'700'000'000;
    log.Write("one");
    log.Write("");  // writes nothing
    log.Write("two");
    g_fakeNow = 1'700'000'001;
    log.Write("three");
    EXPECT_TRUE(log.IsOpen());
    log.Close();

    const std::string t0 = TimestampText(1'700'000'000);
    const std::string t1 = TimestampText(1'700'000'001);
    EXPECT_EQ(ReadAll(dir.File("Test.log")),
              "earlier\n" + t0 + " one\n" + t0 + " two\n" + t1 + " three\n");
    EXPECT_EQ(log.Path(), dir.File("Test.log"));
}

TEST(LogFileWrite, FailedOpenDropsEntryAndRetries) {
    TempDir dir;
    const std::string sub = dir.File("later");
    LogFile log("Test", sub);
    log.Write("lost");
    EXPECT_FALSE(log.IsOpen());
    fs::create_directories(sub);
    log.Write("kept");
    log.Close();
    const auto lines = Lines(ReadAll(sub + "/Test.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " kept");

    // A new directory takes effect for the next entry even when the file is open.
    log.Write("first");
    log.SetDirectory(dir.str());
    log.Write("second");
    log.Close();
    EXPECT_EQ(Lines(ReadAll(sub + "/Test.log")).size(), 2u);
    EXPECT_EQ(Lines(ReadAll(dir.File("Test.log"))).size(), 1u);
}

TEST(LogFileWrite, ConcurrentWritersLoseAndMixNothing) {
    TempDir dir;
    LogFile log("Many", dir.str());
    constexpr int kThreads = 8;
    constexpr int kEntries = 250;
    const std::string padding(200, 'p');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEntries; ++i) {
                log.Write("t" + std::to_string(t) + " e" + std::to_string(i) + " " + padding);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    log.Close();

    std::set<std::string> seen;
    for (const std::string& line : Lines(ReadAll(dir.File("Many.log")))) {
        ASSERT_GT(line.size(), kTimestampLength + 1);
        EXPECT_EQ(line[kTimestampLength], ' ');
        const std::string text = line.substr(kTimestampLength + 1);
        ASSERT_GT(text.size(), padding.size());
        EXPECT_EQ(text.substr(text.size() - padding.size()), padding);
        seen.insert(text.substr(0, text.size() - padding.size()));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEntries));
}

TEST(LogDebug, FormatsOneBoundedEntry) {
    TempDir dir;
    {
        RedirectLog redirect(DebugLogFile(), dir.str());
        DebugLog("SITE: %s %d", "http://h/", 42);
        DebugLog("%s", std::string(2000, 'z').c_str());
    }
    const auto lines = Lines(ReadAll(dir.File("Debug.log")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " SITE: http://h/ 42");
    EXPECT_EQ(lines[1].substr(kTimestampLength + 1), std::string(kDebugEntryLimit, 'z'));
}

TEST(UrlErrorLogFile, PathBesideTheStateFile) {
    EXPECT_EQ(UrlErrorLogPath("/home/u/grub/site.sav"), "/home/u/grub/URLerrors.txt");
    EXPECT_EQ(UrlErrorLogPath("/Save.dat"), "/URLerrors.txt");
    EXPECT_EQ(UrlErrorLogPath("Save.dat"), "URLerrors.txt");
}

TEST(UrlErrorLogFile, EntryFormatAndUrlCut) {
    TempDir dir;
    UrlErrorLog log;
    EXPECT_FALSE(log.WriteEntry(500, "http://h/closed"));
    ASSERT_EQ(log.Open(dir.str()), 0);
    EXPECT_TRUE(log.IsOpen());
    const std::string longUrl = "http://h/" + std::string(1100, 'u');
    EXPECT_TRUE(log.WriteEntry(500, "http://h/a"));
    EXPECT_TRUE(log.WriteEntry(-3, longUrl));
    log.Close();
    EXPECT_FALSE(log.IsOpen());

    const auto lines = Lines(ReadAll(dir.File("URLerrors.txt")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), ":  500  http://h/a");
    EXPECT_EQ(lines[1].substr(kTimestampLength), ":  -3  " + longUrl.substr(0, 1016));
    EXPECT_NE(lines[0].find(" 20"), std::string::npos);  // a year in the timestamp
}

TEST(UrlErrorRecord, ScriptTextIsRecognised) {
    for (const char* text : {"document.write", "WINDOW.open", "this.x", "Self.loc", "</SCRIPT>",
                             "a{ //b", "x/* y", "IF(a)"}) {
        EXPECT_TRUE(LooksLikeScriptText(std::string("http://h/") + text)) << text;
    }
    EXPECT_FALSE(LooksLikeScriptText("http://127.0.0.1:8080/a.html"));
    EXPECT_FALSE(LooksLikeScriptText("http://h/window/if/this"));
}

TEST(UrlErrorRecord, RoutesByEverySwitchCombination) {
    for (int mask = 0; mask < 8; ++mask) {
        const UrlErrorSwitches sw{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
        SCOPED_TRACE("verbose " + std::to_string(sw.verbose) + " urlLog " +
                     std::to_string(sw.logUrlErrors) + " debug " + std::to_string(sw.logDebug));
        TempDir dir;
        UrlErrorLog log;
        ASSERT_EQ(log.Open(dir.str()), 0);
        std::vector<std::string> status;
        const auto show = [&](const std::string& s) { status.push_back(s); };
        {
            RedirectLog redirect(DebugLogFile(), dir.str());
            RecordUrlError(500, "http://h/a", sw, log, show);
            RecordUrlError(404, "http://h/b", sw, log, show);
            RecordUrlError(500, "http://h/window.open(x)", sw, log, show);
            RecordUrlError(500, "", sw, log, show);
        }
        log.Close();

        const std::string urlLog = ReadAll(dir.File("URLerrors.txt"));
        const std::string debugLog = ReadAll(dir.File("Debug.log"));
        EXPECT_EQ(urlLog.find(":  500  http://h/a\n") != std::string::npos, sw.logUrlErrors);
        EXPECT_EQ(urlLog.find(":  404  http://h/b\n") != std::string::npos, sw.logUrlErrors);
        EXPECT_EQ(Lines(urlLog).size(), sw.logUrlErrors ? 3u : 0u);
        EXPECT_EQ(debugLog.find(" Failed To download(500): http://h/a\n") != std::string::npos,
                  sw.logDebug);
        EXPECT_EQ(debugLog.find(" Failed To download(404): http://h/b\n") != std::string::npos,
                  sw.logDebug);
        EXPECT_EQ(Lines(debugLog).size(), sw.logDebug ? 3u : 0u);
        EXPECT_EQ(urlLog.find("window"), std::string::npos);
        EXPECT_EQ(debugLog.find("window"), std::string::npos);
        if (sw.verbose) {
            EXPECT_EQ(status, std::vector<std::string>{"500 Error: http://h/a"});
        } else {
            EXPECT_TRUE(status.empty());
        }
    }
}

TEST(UrlErrorRecord, ClosedLogAndConcurrentCallers) {
    TempDir dir;
    UrlErrorLog log;
    const UrlErrorSwitches urlOnly{false, true, false};
    RecordUrlError(500, "http://h/x", urlOnly, log, nullptr);  // log not open: nothing

    ASSERT_EQ(log.Open(dir.str()), 0);
    constexpr int kThreads = 6;
    constexpr int kEach = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                RecordUrlError(400 + t, "http://h/" + std::to_string(i) + std::string(300, 'q'),
                               urlOnly, log, nullptr);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    log.Close();
    const auto lines = Lines(ReadAll(dir.File("URLerrors.txt")));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kEach));
    for (const std::string& line : lines) {
        ASSERT_EQ(line.substr(kTimestampLength, 4), ":  4");
        EXPECT_EQ(line.substr(line.size() - 300), std::string(300, 'q'));
    }
}

TEST(UrlErrorValidLog, OneUrlPerLineAndOpenFailure) {
    TempDir dir;
    ValidUrlLog log(dir.str());
    std::vector<std::string> errors;
    const auto onError = [&](const std::string& e) { errors.push_back(e); };
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(LogValidUrl(log, "http://h/1.jpg", 0, onError));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_TRUE(LogValidUrl(log, "http://h/2.jpgTRAILING", 14, onError));
    EXPECT_TRUE(LogValidUrl(log, "http://h/3", 99, onError));
    log.Close();
    EXPECT_EQ(ReadAll(dir.File("ValidURLs.log")), "http://h/1.jpg\nhttp://h/2.jpg\nhttp://h/3\n");
    EXPECT_TRUE(errors.empty());

    ValidUrlLog missing(dir.File("no/such/dir"));
    EXPECT_FALSE(LogValidUrl(missing, "http://h/4", 0, onError));
    EXPECT_FALSE(missing.IsOpen());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], platform::ErrorText(ENOENT) + " - Opening ValidURLs.log");
}

TEST(ErrorTextFile, ShortTextsAndLastText) {
    EXPECT_EQ(FileErrorText(ENOENT), "File not found");
    EXPECT_EQ(LastFileErrorText(), "File not found");
    EXPECT_EQ(FileErrorText(EACCES), "Access denied");
    EXPECT_EQ(LastFileErrorText(), "Access denied");
    EXPECT_EQ(FileErrorText(EINVAL), "");
    EXPECT_EQ(LastFileErrorText(), "");

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                FileErrorText(t % 2 == 0 ? ENOENT : EMFILE);
                const std::string last = LastFileErrorText();
                EXPECT_TRUE(last == "File not found" ||
                            last == "System error too many open the files.");
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
}

TEST(ErrorTextSystem, MessageShowAndLog) {
    const std::string noEntry = platform::ErrorText(ENOENT);
    ASSERT_FALSE(noEntry.empty());
    EXPECT_NE(noEntry.back(), '.');
    EXPECT_EQ(SystemErrorMessage(ENOENT, nullptr), noEntry);
    EXPECT_EQ(SystemErrorMessage(ENOENT, "Failed to load sub-directory file"),
              noEntry + " - Failed to load sub-directory file");
    EXPECT_EQ(SystemErrorMessage(99999, nullptr), "Unknown error");
    EXPECT_EQ(SystemErrorMessage(99999, "x"), "Unknown error - x");

    std::string text;
    std::string caption;
    platform::SetLastError(EACCES);
    ShowWindowsError("ctx", [&](const std::string& t, const std::string& c) {
        text = t;
        caption = c;
    });
    EXPECT_EQ(text, platform::ErrorText(EACCES) + " - ctx");
    EXPECT_EQ(caption, "System Error");

    TempDir dir;
    {
        RedirectLog redirect(ErrorLogFile(), dir.str());
        platform::SetLastError(ENOENT);
        LogWindowsError("CopyFile failed");
    }
    const auto lines = Lines(ReadAll(dir.File("Error.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " " + noEntry + " - CopyFile failed");
}

}  // namespace
}  // namespace wg
