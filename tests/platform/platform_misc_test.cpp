#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <future>
#include <optional>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/hosts.h"
#include "platform/interrupt.h"
#include "platform/thread_priority.h"
#include "platform/wake_event.h"
#include "platform/xdg_dirs.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

using test::EnvGuard;

TEST(PlatformErrorText, SystemAndShortFileTexts) {
    for (int error : {ENOENT, EACCES, ENOSPC, ECONNREFUSED}) {
        const std::string text = platform::ErrorText(error);
        ASSERT_FALSE(text.empty()) << error;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_NE(text, "Unknown error") << error;
    }
    EXPECT_EQ(platform::ErrorText(99999), "Unknown error");
    EXPECT_EQ(platform::ErrorText(-7), "Unknown error");

    const auto both = [](int a, int b) {
        const std::string text = platform::ShortFileErrorText(a);
        return text == platform::ShortFileErrorText(b) ? text : "differs";
    };
    EXPECT_EQ(both(ENOENT, ENOTDIR), "File not found");
    EXPECT_EQ(both(EMFILE, ENFILE), "System error too many open the files.");
    EXPECT_EQ(both(EACCES, EPERM), "Access denied");
    EXPECT_EQ(both(EBUSY, ETXTBSY), "Cannot access file as it is being used by another process.");
    EXPECT_EQ(both(0, ENOSPC), "");
}

std::string Show(const std::optional<platform::HostPort>& hp) {
    return hp ? hp->host + " port " + hp->port : "none";
}

TEST(PlatformHosts, ParseHostPort) {
    EXPECT_EQ(Show(platform::ParseHostPort("probe.test")), "probe.test port 80");
    EXPECT_EQ(Show(platform::ParseHostPort(" localhost:65535 ")), "localhost port 65535");
    for (const char* bad : {"", "   ", "h:0", "h:65536", "h:abc", "h:", ":80", "h:-1", "h:+80",
                            "h:100000000000000000000"}) {
        EXPECT_EQ(Show(platform::ParseHostPort(bad)), "none") << '"' << bad << '"';
    }
}

TEST(PlatformHosts, ProbeAndUpdateHostsFromEnvironment) {
    EnvGuard probe("WEBGRUBBLER_PROBE_HOST");
    probe.Set(nullptr);
    EXPECT_EQ(Show(platform::ProbeHost()), "none");
    probe.Set("127.0.0.1:9");
    EXPECT_EQ(Show(platform::ProbeHost()), "127.0.0.1 port 9");

    EnvGuard update("WEBGRUBBLER_UPDATE_HOST");
    update.Set(nullptr);
    EXPECT_TRUE(platform::UpdateHosts().empty());
    update.Set("127.0.0.1:8001, bad:0,,localhost ,:5,127.0.0.2:x,");
    std::string all;
    for (const auto& hp : platform::UpdateHosts()) {
        all += "[" + Show(hp) + "]";
    }
    EXPECT_EQ(all, "[127.0.0.1 port 8001][localhost port 80]");
}

std::string Show(const platform::LocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d day %d %02d:%02d:%02d", t.year, t.month + 1,
                  t.day, t.weekday, t.hour, t.minute, t.second);
    return text;
}

TEST(PlatformClock, ToLocalTimeFollowsTimeZone) {
    EnvGuard tz("TZ");
    tz.Set("UTC");
    EXPECT_EQ(Show(platform::ToLocalTime(1700000000)), "2023-11-14 day 2 22:13:20");
    EXPECT_EQ(Show(platform::ToLocalTime(0)), "1970-01-01 day 4 00:00:00");
    tz.Set("XYZ-3");  // three hours east of UTC: the next day has begun
    EXPECT_EQ(Show(platform::ToLocalTime(1700000000)), "2023-11-15 day 3 01:13:20");
}

int NiceOf(int threadId) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(threadId));
    return errno == 0 ? nice : INT_MIN;
}

// Priorities are only changed on threads started here, so the runner's own thread keeps its own.
TEST(PlatformThreadPriority, LowestAppliesToThePublishedThreadOnly) {
    const int runnerNice = NiceOf(platform::CurrentThreadId());
    int after = INT_MIN;
    std::promise<int> published;
    std::promise<void> lowered;
    std::thread worker([&] {
        published.set_value(platform::CurrentThreadId());
        lowered.get_future().wait();
        after = NiceOf(platform::CurrentThreadId());
    });
    const int result = platform::SetThreadPriorityOf(published.get_future().get(), -2);
    lowered.set_value();
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(after, 19);
    EXPECT_EQ(NiceOf(platform::CurrentThreadId()), runnerNice);

    int zero = 0, unknown = 0, selfNice = INT_MIN;
    std::thread([&] {
        zero = platform::SetThreadPriorityOf(0, -2);
        unknown = platform::SetThreadPriorityOf(INT_MAX, -2);
        selfNice = NiceOf(platform::CurrentThreadId());
    }).join();
    EXPECT_NE(zero, 0);
    EXPECT_EQ(unknown, ESRCH);
    EXPECT_EQ(selfNice, runnerNice);  // an id of 0 must not mean "the caller"
}

// Installs the handler for one test and puts the previous SIGINT and SIGTERM dispositions back.
class InterruptHandlerScope {
public:
    InterruptHandlerScope() {
        ::sigaction(SIGINT, nullptr, &oldInt_);
        ::sigaction(SIGTERM, nullptr, &oldTerm_);
        platform::ClearInterrupt();
        platform::InstallInterruptHandler();
    }
    ~InterruptHandlerScope() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
        platform::ClearInterrupt();
    }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

TEST(PlatformInterrupt, SignalsFromAnyThreadAreCountedUntilCleared) {
    InterruptHandlerScope scope;
    EXPECT_FALSE(platform::InterruptRequested());
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_TRUE(test::WaitFor([] { return platform::InterruptCount() == 1; }));
    EXPECT_TRUE(platform::InterruptRequested());
    // Ctrl-C goes to any thread that does not block it, often a worker, while the main loop polls.
    std::thread([] { std::raise(SIGTERM); }).join();
    EXPECT_TRUE(test::WaitFor([] { return platform::InterruptCount() == 2; }));
    platform::ClearInterrupt();
    EXPECT_FALSE(platform::InterruptRequested());
    EXPECT_EQ(platform::InterruptCount(), 0);
}

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

// Raised any number of times from another thread, the event is one wake-up
// that a single Clear takes back.
TEST(PlatformWakeEvent, RaisesFromAnyThreadAndClearsAtOnce) {
    platform::WakeEvent wake;
    ASSERT_GE(wake.Fd(), 0);
    EXPECT_FALSE(Readable(wake.Fd()));
    std::thread([&] {
        wake.Raise();
        wake.Raise();
    }).join();
    EXPECT_TRUE(Readable(wake.Fd()));
    wake.Clear();
    EXPECT_FALSE(Readable(wake.Fd()));
    wake.Clear();  // nothing raised: returns at once
    EXPECT_FALSE(Readable(wake.Fd()));
}

TEST(PlatformXdgDirs, DownloadDirectoryOfUserDirsFile) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", "/home/u/Downloads"},
        {"# comment\n  XDG_DOWNLOAD_DIR=\"$HOME/Über Laden/\"\r\n", "/home/u/Über Laden"},
        {"XDG_DOWNLOAD_DIR=\"/data/dl\"\nXDG_DOWNLOAD_DIR=\"/data/later\"\n", "/data/later"},
        {"XDG_DOWNLOAD_DIR=\"$HOME/\"\n", ""},       // the home folder itself
        {"XDG_DOWNLOAD_DIR=\"$HOMEX/dl\"\n", ""},    // not $HOME
        {"XDG_DOWNLOAD_DIR=\"relative/dl\"\n", ""},  // neither absolute nor below $HOME
        {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::DownloadDirFromUserDirs(c.text, "/home/u"), c.expected) << c.text;
    }
}

TEST(PlatformXdgDirs, DataHomeFollowsTheEnvironment) {
    const EnvGuard dataHome("XDG_DATA_HOME");
    const char* homeVariable = std::getenv("HOME");
    const std::string home = homeVariable == nullptr ? "/" : homeVariable;
    dataHome.Set("/srv/data");
    EXPECT_EQ(platform::DataHomeDirectory(), std::filesystem::path("/srv/data"));
    dataHome.Set("relative");  // ignored, as the convention says
    EXPECT_EQ(platform::DataHomeDirectory(), std::filesystem::path(home) / ".local/share");
}

}  // namespace
}  // namespace wg
