#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

const std::string kCli = WG_CLI_PATH;

TEST(CliProgram, VersionAndHelp) {
    std::string out;
    EXPECT_EQ(RunProgram(kCli, {"--version"}, &out), 0);
    EXPECT_EQ(out, std::string("webgrubbler-cli ") + WG_VERSION_TEXT + "\n");
    EXPECT_EQ(RunProgram(kCli, {"--help"}, &out), 0);
    EXPECT_NE(out.find("--home DIR"), std::string::npos);
    EXPECT_NE(out.find("Exit status:\n  0  the crawl finished"), std::string::npos) << out;
    EXPECT_NE(out.find("  3  the crawl finished with failures"), std::string::npos) << out;
}

// Bad usage ends before anything starts: status 2, the reason on standard
// error, and not even the download directory made. (What counts as bad usage
// is in cli_options_test.cpp.)
TEST(CliProgram, BadUsageEndsWithStatus2BeforeStarting) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "missing URL"},
        {{"--frobnicate", "http://127.0.0.1:1/"}, "unknown option '--frobnicate'"},
        {{"--set", "NUM_DOWNLOAD_THREADS=lots", "http://127.0.0.1:1/"}, "from 1 to 32"},
        {{"http://127.0.0.1:99999/"}, "invalid port '99999'"},
    };
    for (const auto& c : cases) {
        TempDir home;
        std::vector<std::string> args = {"--home", home.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string out;
        EXPECT_EQ(RunProgram(kCli, args, &out), 2) << c.message << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(home.path() / "Downloads")) << c.message;
    }
}

TEST(CliProgram, CrawlsASiteWithinItsDomainAndExitsWhenFinished) {
    HttpTestServer server;
    server.Route("/", Reply::Ok(R"(<html><a href="sub/a.html">a</a> <a href="b.html">b</a>)"
                                R"(<a href="http://elsewhere.invalid/x.html">x</a></html>)"));
    server.Route("/sub/a.html", Reply::Ok(R"(<html><a href="../b.html">b</a>)"
                                          R"(<a href="c.html">c</a></html>)"));
    server.Route("/b.html", Reply::Ok("<html>b</html>"));
    server.Route("/sub/c.html", Reply::Ok("<html>c</html>"));
    TempDir home;
    std::string out;
    EXPECT_EQ(RunProgram(kCli,
                         {"--home", home.path().string(), "--scope", "domain", "--no", "-q",
                          server.Url("/")},
                         &out),
              0)
        << out;
    EXPECT_NE(out.find("   Finished."), std::string::npos) << out;
    std::vector<std::string> paths;
    for (const std::string& head : server.Requests()) {
        paths.push_back(head.substr(0, head.find("\r\n")));
    }
    // The start page is fetched to be scanned and again to be saved; another
    // page is fetched once, unless a download worker took its file while the
    // page worker was taking the page.
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    EXPECT_EQ(paths,
              (std::vector<std::string>{"GET / HTTP/1.0", "GET /b.html HTTP/1.0",
                                        "GET /sub/a.html HTTP/1.0", "GET /sub/c.html HTTP/1.0"}));
    const std::filesystem::path site = home.path() / "Downloads" / "127_0_0_1";
    for (const char* file : {"index.html", "b.html", "sub/a.html", "sub/c.html"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(site / file)) << file;
    }
}

// Ctrl-C and SIGTERM while the only page is still arriving: the crawl is
// stopped, not finished, and says so with status 1, with and without
// --save-on-exit.
TEST(CliProgram, InterruptAndTerminateEndWithStatus1AfterStopped) {
    const struct {
        int signal;
        bool saveOnExit;
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGINT, true}, {SIGTERM, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.saveOnExit ? " --save-on-exit" : ""));
        HttpTestServer server;
        Reply slow = Reply::Ok("<html>" + std::string(4000, 'x') + "</html>");
        slow.chunkSize = 10;
        slow.delayMs = 100;
        server.Route("/", slow);
        TempDir home;
        std::vector<std::string> args = {"--home", home.path().string(), "--no"};
        if (c.saveOnExit) {
            args.push_back("--save-on-exit");
        }
        args.push_back(server.Url("/"));
        ChildProcess cli(kCli, args);
        ASSERT_TRUE(cli.Started());
        // The page worker and the download worker both have "/" in hand: an
        // exit after this download has no queued file to wait for.
        ASSERT_TRUE(WaitFor([&] { return server.Requests().size() >= 2; }, 30000)) << cli.Output();
        cli.Signal(c.signal);
        EXPECT_EQ(cli.WaitExit(30000), 1) << cli.Output();
        const std::string out = cli.Output();
        EXPECT_NE(out.find("Stopped."), std::string::npos) << out;
        EXPECT_EQ(out.find("   Finished."), std::string::npos) << out;
        EXPECT_NE(out.find("Exiting: Releasing 'Sites to Ignore' list..."), std::string::npos)
            << out;
    }
}

}  // namespace
}  // namespace wg::test
