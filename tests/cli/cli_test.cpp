#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

const std::string kCli = WG_CLI_PATH;

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
}

TEST(CliProgram, VersionHelpAndBadUsage) {
    std::string out;
    EXPECT_EQ(RunProgram(kCli, {"--version"}, &out), 0);
    EXPECT_EQ(out, std::string("webgrubbler-cli ") + WG_VERSION_TEXT + "\n");
    EXPECT_EQ(RunProgram(kCli, {"--help"}, &out), 0);
    EXPECT_NE(out.find("--home DIR"), std::string::npos);
    EXPECT_NE(out.find("Exit status:\n  0  the crawl finished"), std::string::npos) << out;
    EXPECT_NE(out.find("  3  the crawl finished with failures"), std::string::npos) << out;
    EXPECT_EQ(RunProgram(kCli, {"--frobnicate"}, &out), 2);
    EXPECT_NE(out.find("unknown option '--frobnicate'"), std::string::npos);
}

// Bad usage ends before anything starts: status 2, the reason on standard
// error, and not even the download directory made.
TEST(CliProgram, BadUsageEndsWithStatus2BeforeStarting) {
    const std::string longUrl = "http://127.0.0.1/" + std::string(1100, 'a');
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "missing URL"},
        {{"--set", "NUM_URL_THREADS=0", "http://127.0.0.1:1/"}, "NUM_URL_THREADS"},
        {{"--set", "NUM_DOWNLOAD_THREADS=lots", "http://127.0.0.1:1/"}, "from 1 to 32"},
        {{"--set", "NO_SUCH_KEY=1", "http://127.0.0.1:1/"}, "unknown settings key 'NO_SUCH_KEY'"},
        {{longUrl}, "at most 1023"},
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

TEST(CliProgram, InterruptStopsTheCrawl) {
    HttpTestServer server;
    std::string links;
    for (int i = 0; i < 30; ++i) {
        links += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
        Reply slow = Reply::Ok("<html>" + std::string(2000, 'x') + "</html>");
        slow.chunkSize = 100;
        slow.delayMs = 20;
        server.Route("/p" + std::to_string(i) + ".html", slow);
    }
    server.Route("/", Reply::Ok("<html>" + links + "</html>"));
    TempDir home;
    ChildProcess cli(
        kCli, {"--home", home.path().string(), "--scope", "domain", "--no", server.Url("/")});
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(cli.WaitForOutput("/p1.html", 30000)) << cli.Output();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.WaitExit(30000), 1) << cli.Output();
    EXPECT_NE(cli.Output().find("Stopped."), std::string::npos) << cli.Output();
    EXPECT_LT(server.Requests().size(), 31u);
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
