#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/error_text.h"
#include "support/test_dirs.h"
#include "util/error_texts.h"
#include "util/log_file.h"
#include "util/url_error_log.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;

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
    RedirectLog(LogFile& log, const fs::path& dir) : log_(log), saved_(log.Directory()) {
        log_.SetDirectory(dir.string());
    }
    ~RedirectLog() {
        log_.Close();
        log_.SetDirectory(saved_);
    }

private:
    LogFile& log_;
    std::string saved_;
};

// Runs `body(t)` for t = 0 .. count-1 on as many threads at once and waits for them all.
void OnThreads(int count, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) {
        threads.emplace_back(body, t);
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

std::atomic<std::int64_t> g_fakeNow{1'700'000'000};
std::int64_t FakeNow() {
    return g_fakeNow.load();
}

TEST(LogTimestamp, TwentyFourCharacterForm) {
    const platform::LocalTime t{2026, 0, 5, 1, 9, 3, 7};
    EXPECT_EQ(FormatTimestamp(t), "Mon Jan  5 09:03:07 2026");
    const platform::LocalTime late{2026, 11, 31, 6, 23, 3, 7};
    EXPECT_EQ(FormatTimestamp(late), "Sat Dec 31 23:03:07 2026");
}

TEST(LogFileWrite, EntryFormatAppendAndCachedTimestamp) {
    TempDir dir;
    { std::ofstream(dir / "Test.log") << "earlier\n"; }
    LogFile log("Test", dir.path().string());
    EXPECT_FALSE(log.IsOpen());  // opened by the first entry only
    log.SetClock(&FakeNow);
    g_fakeNow = 1'700'000'000;
    log.Write("one");
    log.Write("");  // writes nothing
    log.Write("two");
    g_fakeNow = 1'700'000'001;
    log.Write("three");
    log.Close();

    const std::string t0 = TimestampText(1'700'000'000);
    const std::string t1 = TimestampText(1'700'000'001);
    EXPECT_EQ(ReadWholeFile(dir / "Test.log"),
              "earlier\n" + t0 + " one\n" + t0 + " two\n" + t1 + " three\n");
}

TEST(LogFileWrite, FailedOpenDropsEntryAndRetries) {
    TempDir dir;
    const fs::path sub = dir / "later";
    LogFile log("Test", sub.string());
    log.Write("lost");
    EXPECT_FALSE(log.IsOpen());
    fs::create_directories(sub);
    log.Write("kept");
    // A new directory takes effect for the next entry even when the file is open.
    log.SetDirectory(dir.path().string());
    log.Write("moved");
    log.Close();
    const auto lines = Lines(ReadWholeFile(sub / "Test.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " kept");
    EXPECT_EQ(Lines(ReadWholeFile(dir / "Test.log")).size(), 1u);
}

TEST(LogFileWrite, ConcurrentWritersLoseAndMixNothing) {
    TempDir dir;
    LogFile log("Many", dir.path().string());
    constexpr int kThreads = 8;
    constexpr int kEntries = 250;
    const std::string padding(200, 'p');
    OnThreads(kThreads, [&](int t) {
        for (int i = 0; i < kEntries; ++i) {
            log.Write("t" + std::to_string(t) + " e" + std::to_string(i) + " " + padding);
        }
    });
    log.Close();

    std::set<std::string> seen;
    for (const std::string& line : Lines(ReadWholeFile(dir / "Many.log"))) {
        ASSERT_GT(line.size(), kTimestampLength + 1 + padding.size());
        const std::string text = line.substr(kTimestampLength + 1);
        EXPECT_EQ(text.substr(text.size() - padding.size()), padding);
        seen.insert(text.substr(0, text.size() - padding.size()));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEntries));
}

TEST(LogDebug, FormatsOneBoundedEntry) {
    TempDir dir;
    {
        RedirectLog redirect(DebugLogFile(), dir.path());
        DebugLog("SITE: %s %d", "http://h/", 42);
        DebugLog("%s", std::string(2000, 'z').c_str());
    }
    const auto lines = Lines(ReadWholeFile(dir / "Debug.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " SITE: http://h/ 42");
    EXPECT_EQ(lines[1].substr(kTimestampLength + 1), std::string(kDebugEntryLimit, 'z'));
}

TEST(UrlErrorLogFile, PathEntryFormatAndUrlCut) {
    EXPECT_EQ(UrlErrorLogPath("/home/u/grub/site.sav"), "/home/u/grub/URLerrors.txt");
    EXPECT_EQ(UrlErrorLogPath("/Save.dat"), "/URLerrors.txt");

    TempDir dir;
    UrlErrorLog log;
    EXPECT_FALSE(log.WriteEntry(500, "http://h/closed"));
    ASSERT_EQ(log.Open(dir.path().string()), 0);
    const std::string longUrl = "http://h/" + std::string(1100, 'u');
    EXPECT_TRUE(log.WriteEntry(500, "http://h/a"));
    EXPECT_TRUE(log.WriteEntry(-3, longUrl));
    log.Close();

    const auto lines = Lines(ReadWholeFile(dir / "URLerrors.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), ":  500  http://h/a");
    EXPECT_EQ(lines[1].substr(kTimestampLength), ":  -3  " + longUrl.substr(0, 1016));
}

TEST(UrlErrorRecord, ScriptTextIsRecognised) {
    for (const char* text : {"document.write", "WINDOW.open", "this.x", "Self.loc", "</SCRIPT>",
                             "a{ //b", "x/* y", "IF(a)"}) {
        EXPECT_TRUE(LooksLikeScriptText(std::string("http://h/") + text)) << text;
    }
    EXPECT_FALSE(LooksLikeScriptText("http://h/window/if/this"));
}

TEST(UrlErrorRecord, RoutesByEverySwitchCombination) {
    for (int mask = 0; mask < 8; ++mask) {
        const UrlErrorSwitches sw{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
        SCOPED_TRACE("switch mask " + std::to_string(mask));
        TempDir dir;
        UrlErrorLog log;
        ASSERT_EQ(log.Open(dir.path().string()), 0);
        std::vector<std::string> status;
        const auto show = [&](const std::string& s) { status.push_back(s); };
        {
            RedirectLog redirect(DebugLogFile(), dir.path());
            RecordUrlError(500, "http://h/a", sw, log, show);
            RecordUrlError(404, "http://h/b", sw, log, show);
            RecordUrlError(500, "http://h/window.open(x)", sw, log, show);
            RecordUrlError(500, "", sw, log, show);
        }
        log.Close();

        const std::string urlLog = ReadWholeFile(dir / "URLerrors.txt");
        const std::string debugLog = ReadWholeFile(dir / "Debug.log");
        EXPECT_EQ(urlLog.find(":  404  http://h/b\n") != std::string::npos, sw.logUrlErrors);
        EXPECT_EQ(Lines(urlLog).size(), sw.logUrlErrors ? 3u : 0u);
        EXPECT_EQ(debugLog.find(" Failed To download(500): http://h/a\n") != std::string::npos,
                  sw.logDebug);
        EXPECT_EQ(Lines(debugLog).size(), sw.logDebug ? 3u : 0u);
        EXPECT_EQ((urlLog + debugLog).find("window"), std::string::npos);
        EXPECT_EQ(status, sw.verbose ? std::vector<std::string>{"500 Error: http://h/a"}
                                     : std::vector<std::string>{});
    }
}

TEST(UrlErrorRecord, ClosedLogAndConcurrentCallers) {
    TempDir dir;
    UrlErrorLog log;
    const UrlErrorSwitches urlOnly{false, true, false};
    RecordUrlError(500, "http://h/x", urlOnly, log, nullptr);  // log not open: nothing

    ASSERT_EQ(log.Open(dir.path().string()), 0);
    constexpr int kThreads = 6;
    constexpr int kEach = 150;
    OnThreads(kThreads, [&](int t) {
        for (int i = 0; i < kEach; ++i) {
            RecordUrlError(400 + t, "http://h/" + std::to_string(i) + std::string(300, 'q'),
                           urlOnly, log, nullptr);
        }
    });
    log.Close();
    const auto lines = Lines(ReadWholeFile(dir / "URLerrors.txt"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kEach));
    for (const std::string& line : lines) {
        ASSERT_EQ(line.substr(kTimestampLength, 4), ":  4");
        EXPECT_EQ(line.substr(line.size() - 300), std::string(300, 'q'));
    }
}

TEST(UrlErrorValidLog, OneUrlPerLineAndOpenFailure) {
    TempDir dir;
    ValidUrlLog log(dir.path().string());
    std::vector<std::string> errors;
    const auto onError = [&](const std::string& e) { errors.push_back(e); };
    EXPECT_TRUE(LogValidUrl(log, "http://h/1.jpg", 0, onError));
    EXPECT_TRUE(LogValidUrl(log, "http://h/2.jpgTRAILING", 14, onError));
    EXPECT_TRUE(LogValidUrl(log, "http://h/3", 99, onError));
    log.Close();
    EXPECT_EQ(ReadWholeFile(dir / "ValidURLs.log"), "http://h/1.jpg\nhttp://h/2.jpg\nhttp://h/3\n");
    EXPECT_TRUE(errors.empty());

    ValidUrlLog missing((dir / "no/such/dir").string());
    EXPECT_FALSE(LogValidUrl(missing, "http://h/4", 0, onError));
    EXPECT_EQ(errors,
              std::vector<std::string>{platform::ErrorText(ENOENT) + " - Opening ValidURLs.log"});
}

TEST(ErrorTextSystem, MessageAndErrorLogEntry) {
    const std::string noEntry = platform::ErrorText(ENOENT);
    EXPECT_EQ(SystemErrorMessage(ENOENT, nullptr), noEntry);
    EXPECT_EQ(SystemErrorMessage(ENOENT, "Failed to load sub-directory file"),
              noEntry + " - Failed to load sub-directory file");
    EXPECT_EQ(SystemErrorMessage(99999, "x"), "Unknown error - x");

    TempDir dir;
    {
        RedirectLog redirect(ErrorLogFile(), dir.path());
        platform::SetLastError(ENOENT);
        LogWindowsError("CopyFile failed");
    }
    const auto lines = Lines(ReadWholeFile(dir / "Error.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(kTimestampLength), " " + noEntry + " - CopyFile failed");
}

}  // namespace
}  // namespace wg
