// Whole transactions against the scriptable server: the request on the wire,
// what each kind of answer leads to, and what is left on disk.
#include "download/download_transaction.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "download/transaction_fixture.h"
#include "net/http_fetch.h"
#include "support/http_test_server.h"
#include "support/test_dirs.h"
#include "util/timing.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::Reply;

class DownloadTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        timing.headerByteWaitMs = 150;
        timing.headerRetryMs = 10;
        timing.headerWaitMs = 600;
        timing.bodyPollMs = 20;
        timing.bodyWaitMs = 400;
        timing.nonOkBodyWaitMs = 100;
        timing.connectTimeoutMs = 2000;
        fs::current_path(dir.path());
        ASSERT_TRUE(server.Running());
    }

    // A connection to the server with the given directory part.
    std::unique_ptr<HttpConnection> Connect(const std::string& path = "") {
        auto c = std::make_unique<HttpConnection>();
        c->environment = &env;
        c->timing = timing;
        c->Open("127.0.0.1", std::to_string(server.Port()), path, false);
        state = {};
        return c;
    }
    long Fetch(HttpConnection& c, const std::string& name, std::optional<std::string> saveDir = "",
               std::optional<std::string> saveName = std::nullopt, std::uint32_t resume = 0,
               std::uint32_t expected = 0) {
        return test::Transact(c, state, env, name, std::move(saveDir), std::move(saveName), resume,
                              expected);
    }

    test::CurrentDirGuard cwd;
    test::TempDir dir;
    HttpTestServer server;
    test::RecordingEnvironment env;
    FetchState state;  // of the last connection made
    Timing timing;     // of the connections made
};

// An answer exactly as given: status line, header lines, line end, body.
Reply Raw(std::vector<std::string> headers, std::string body, std::string lineEnd = "\r\n",
          std::string status = "HTTP/1.0 200 OK") {
    Reply r;
    r.status = std::move(status);
    r.headers = std::move(headers);
    r.lineEnd = std::move(lineEnd);
    r.body = std::move(body);
    return r;
}

TEST_F(DownloadTransactionTest, RequestLinesGoOutInOrderAndCookiesOnlyWhenAsked) {
    server.Route("/pics/a%20b.jpg", Reply::Ok("x"));
    env.app = false;  // the fallback agent
    auto c = Connect("pics");
    Fetch(*c, "a b.jpg", std::nullopt, std::nullopt, 5000);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /pics/a%20b.jpg HTTP/1.0\r\nAccept: */*\r\nRange: bytes=5000-\r\n"
              "Referer: http://127.0.0.1\r\n"
              "User-Agent: Mozilla/3.0 (compatible; MSIE 5.0; Windows NT 5.1)\r\n"
              "Host: 127.0.0.1\r\n\r\n");

    // Cookies are sent and stored only with SEND_COOKIE; the agent of the settings with an
    // application.
    Reply withCookie = Reply::Ok("x");
    withCookie.headers.push_back("Set-Cookie: id=42; Path=/");
    server.Route("/pics/x.html", withCookie);
    env.app = true;
    env.options.userAgent = "TestAgent";
    env.cookie = "a=1; b=2";
    Fetch(*c, "x.html", std::nullopt);
    EXPECT_FALSE(env.Noted("cookie 127.0.0.1 id=42; Path=/"));
    env.options.sendCookie = true;
    Fetch(*c, "x.html", std::nullopt);
    EXPECT_TRUE(env.Noted("cookie 127.0.0.1 id=42; Path=/"));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].find("Cookie:"), std::string::npos);
    EXPECT_NE(requests[1].find("User-Agent: TestAgent\r\n"), std::string::npos);
    EXPECT_NE(requests[2].find("Cookie: a=1; b=2\r\nUser-Agent"), std::string::npos);
}

TEST_F(DownloadTransactionTest, KeepAliveSendsTheNextRequestsOnTheSameConnection) {
    server.Route("/a.jpg", Reply::Ok(test::PatternBytes(3000), "image/jpeg"));
    server.Route("/c.jpg", Reply::Ok(test::PatternBytes(5000), "image/jpeg"));
    server.Route("/b.html", Reply::Ok("<html>b</html>"));
    env.options.keepAlive = true;
    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "a.jpg"), 3000);
    EXPECT_EQ(Fetch(*c, "b.html", std::nullopt), 14);
    EXPECT_EQ(Fetch(*c, "c.jpg"), 5000);
    EXPECT_EQ(server.Connections(), 1u);
    EXPECT_TRUE(test::ReadWholeFile("c.jpg") == test::PatternBytes(5000));
    // A refused answer drops the connection, with nothing more sent on it.
    EXPECT_EQ(Fetch(*c, "missing.jpg"), 0);
    EXPECT_EQ(Fetch(*c, "b.html", std::nullopt), 14);
    EXPECT_EQ(server.Connections(), 2u);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    for (const std::string& head : requests) {
        EXPECT_NE(head.find("\r\nConnection: keep-alive\r\nHost: 127.0.0.1\r\n\r\n"),
                  std::string::npos)
            << head;
    }
    // Without the setting the server closes after each answer: the next
    // request finds that out and opens a connection of its own.
    env.options.keepAlive = false;
    EXPECT_EQ(Fetch(*c, "b.html", std::nullopt), 14);
    EXPECT_EQ(Fetch(*c, "b.html", std::nullopt), 14);
    EXPECT_EQ(server.Connections(), 3u);
    requests = server.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[6].find("Connection:"), std::string::npos);
}

TEST_F(DownloadTransactionTest, FileUrlModeResumesOnlyLargeFilesOnDisk) {
    server.Route("/f.bin", Reply::Ok("x"));
    env.options.fileUrlMode = true;
    env.slot.SetUrl(server.Url("f.bin"));
    auto c = Connect();
    env.onDisk = 100000;
    Fetch(*c, "f.bin", std::nullopt, std::nullopt, 777);
    env.onDisk = 100001;
    Fetch(*c, "f.bin", std::nullopt);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Range:"), std::string::npos);
    EXPECT_NE(requests[1].find("Range: bytes=100001-\r\n"), std::string::npos);
}

TEST_F(DownloadTransactionTest, RefusedStatusIsLoggedAndSavesNothing) {
    server.Route("/dir/old.html", Raw({}, "body", "\r\n", "HTTP/1.0 304 Not Modified"));
    auto c = Connect("dir");
    EXPECT_EQ(Fetch(*c, "gone.html"), 0);
    EXPECT_EQ(env.slot.status, 404);
    EXPECT_TRUE(env.Noted("error 404 127.0.0.1/dir/gone.html"));
    EXPECT_TRUE(state.answer.redirected);
    EXPECT_EQ(Fetch(*c, "old.html"), 0);
    EXPECT_EQ(env.slot.status, 304);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DownloadTransactionTest, RedirectsAreQueuedNotFollowed) {
    const std::string host = "127.0.0.1:" + std::to_string(server.Port());
    Reply moved = Reply::Redirect("/new/page.html");
    moved.body = "moved";
    moved.headers.push_back("Content-Length: 5");
    server.Route("/a.html", moved);
    server.Route("/sub/dir/b.html", Reply::Redirect("other.html"));
    server.Route("/c.html", Reply::Redirect("http://elsewhere.invalid/x.html"));
    Reply ok = Reply::Ok("fine");
    ok.headers.push_back("Location: /ignored.html");
    server.Route("/d.html", ok);

    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "a.html", std::nullopt), 5);  // the body is still read
    EXPECT_TRUE(env.Noted("page http://" + host + "/new/page.html 0.1"));
    EXPECT_TRUE(env.Noted("offer http://" + host + "/new/page.html"));
    c->SetPath("sub/dir");
    Fetch(*c, "b.html", std::nullopt);
    EXPECT_TRUE(env.Noted("page http://" + host + "/sub/dir/other.html 0.1"));

    // An absolute target becomes a page only when the scope follows links.
    c->SetPath("");
    Fetch(*c, "c.html", std::nullopt);
    EXPECT_FALSE(env.Noted("page http://elsewhere.invalid/x.html 0.1"));
    EXPECT_TRUE(env.Noted("offer http://elsewhere.invalid/x.html"));
    env.options.scopeFollowsLinks = true;
    Fetch(*c, "c.html", std::nullopt);
    EXPECT_TRUE(env.Noted("page http://elsewhere.invalid/x.html 0.1"));

    Fetch(*c, "d.html", std::nullopt);
    EXPECT_FALSE(state.answer.redirected);
    EXPECT_FALSE(env.Noted("offer http://" + host + "/ignored.html"));
}

TEST_F(DownloadTransactionTest, SizeLimitsRefuseFilesBeforeAndAfterTheBody) {
    env.options.minFileSize = 1000;
    server.Route("/announced.bin", Reply::Ok(std::string(999, 'x'), "application/octet-stream"));
    server.Route("/silent.bin", Raw({}, std::string(999, 'y')));
    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "announced.bin"), 0);
    EXPECT_TRUE(env.Noted("fail File too small. See options."));
    EXPECT_FALSE(fs::exists("announced.bin"));

    env.notes.clear();
    EXPECT_EQ(Fetch(*c, "silent.bin"), 999);
    EXPECT_TRUE(env.Noted("fail File too small. See options."));
    EXPECT_FALSE(fs::exists("silent.bin"));
    EXPECT_FALSE(env.Noted("counted"));

    env.options.minFileSize = 0;
    env.options.maxFileSize = 500;
    EXPECT_EQ(Fetch(*c, "announced.bin"), 0);
    EXPECT_TRUE(env.Noted("fail File too large. See options."));
}

TEST_F(DownloadTransactionTest, BareLineFeedHeadersRunIntoTheBody) {
    Reply known = Reply::Ok("abc\ndef\n");
    known.lineEnd = "\n";
    known.stallAfter = 8;
    server.Route("/known.html", known);
    Reply unknown = Raw({"Content-Type: text/html"}, "abc\n", "\n");
    unknown.stallAfter = 4;
    server.Route("/unknown.html", unknown);
    Reply closes = Raw({}, "abc\n", "\n");
    server.Route("/closes.html", closes);

    auto c = Connect();
    HttpAnswer answer;
    PageBufferSink page(*c, answer);
    c->Connect(2000);
    c->SendAll("GET /known.html HTTP/1.0\r\n\r\n");
    // Ends at the pause: the length is known.
    EXPECT_EQ(ReadResponseHeaders(*c, {}, -1, answer, page), HeadOutcome::Read);
    EXPECT_GT(answer.headerBytes, 0u);
    EXPECT_EQ(answer.contentLength, 8u);
    c->Connect(2000);
    c->SendAll("GET /unknown.html HTTP/1.0\r\n\r\n");
    // After the header wait.
    EXPECT_EQ(ReadResponseHeaders(*c, {}, -1, answer, page), HeadOutcome::Refused);
    EXPECT_TRUE(answer.isHtml);
    c->Connect(2000);
    c->SendAll("GET /closes.html HTTP/1.0\r\n\r\n");
    EXPECT_EQ(ReadResponseHeaders(*c, {}, -1, answer, page), HeadOutcome::Refused);
    EXPECT_FALSE(c->HasSocket());
}

TEST_F(DownloadTransactionTest, TruncatedFileIsKeptAndResumedByteCorrect) {
    const std::string body = test::PatternBytes(200000);
    Reply cut = Reply::Ok(body, "application/octet-stream");
    cut.cutAfter = 70000;
    server.Route("/big.bin", cut);
    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "big.bin"), 70000);
    EXPECT_FALSE(state.answer.IsComplete());
    // A cut file waits under its partial name; its own name is only ever
    // given to a whole file.
    EXPECT_EQ(fs::file_size("big.bin.wgpart"), 70000u);
    EXPECT_FALSE(fs::exists("big.bin"));
    EXPECT_FALSE(env.Noted("counted"));

    // A server that honours the range: 206 with the remainder's length.
    Reply whole = Reply::Ok(body, "application/octet-stream");
    whole.honourRange = true;
    server.Route("/big.bin", whole);
    EXPECT_EQ(Fetch(*c, "big.bin", "", std::nullopt, 70000, 200000), 200000);
    EXPECT_TRUE(test::ReadWholeFile("big.bin") == body);
    EXPECT_FALSE(fs::exists("big.bin.wgpart"));
    EXPECT_TRUE(env.Noted("counted"));

    // A server that ignores it: the full answer starts the file again.
    std::ofstream("big.bin.wgpart", std::ios::binary).write(body.data(), 1000);
    whole.honourRange = false;
    server.Route("/big.bin", whole);
    EXPECT_EQ(Fetch(*c, "big.bin", "", std::nullopt, 1000, 0), 200000);
    EXPECT_TRUE(test::ReadWholeFile("big.bin") == body);
}

TEST_F(DownloadTransactionTest, HtmlInPlaceOfAPictureIsRejected) {
    server.Route("/photo.jpg",
                 Reply::Ok("<!DOCTYPE HTML><html><body>no picture</body></html>", "image/jpeg"));
    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "photo.jpg"), 1);
    EXPECT_TRUE(env.Noted("fail Rejected file."));
    EXPECT_FALSE(fs::exists("photo.jpg"));

    // A text/html answer without a length for a picture name is refused unread.
    server.Route("/page.jpg", Raw({"Content-Type: text/html"}, "<html>"));
    EXPECT_EQ(Fetch(*c, "page.jpg", "", std::string("page.jpg")), 0);
    EXPECT_FALSE(fs::exists("page.jpg"));
}

TEST_F(DownloadTransactionTest, CancelEndsTheTransferWithinAChunk) {
    Reply slow = Reply::Ok(test::PatternBytes(100000), "application/octet-stream");
    slow.chunkSize = 1000;
    slow.delayMs = 20;
    server.Route("/slow.bin", slow);
    auto c = Connect();
    std::thread canceller([&] {
        test::WaitFor([&] { return env.slot.done.load() >= 3000; });
        env.slot.cancel = true;
    });
    const long got = Fetch(*c, "slow.bin");
    canceller.join();
    EXPECT_GE(got, 3000);
    EXPECT_LE(got, 10000);
    EXPECT_FALSE(c->HasSocket());
    EXPECT_FALSE(env.Noted("counted"));
}

TEST_F(DownloadTransactionTest, PageBufferKeepsTheFirst262144Bytes) {
    const std::string body = test::PatternBytes(300000);
    server.Route("/big.html", Reply::Ok(body));
    server.Route("/small.html", Reply::Ok("<p>hi</p>"));
    auto c = Connect();
    EXPECT_EQ(Fetch(*c, "big.html", std::nullopt), 262144);
    EXPECT_TRUE(std::string_view(c->buffer.data(), 262144) ==
                std::string_view(body).substr(0, 262144));
    EXPECT_EQ(Fetch(*c, "small.html", std::nullopt), 9);
    EXPECT_STREQ(c->buffer.data(), "<p>hi</p>");
}

TEST_F(DownloadTransactionTest, HostileNamesStayInsideTheDownloadDirectory) {
    server.Route("/x.bin", Reply::Ok(test::PatternBytes(5000), "application/octet-stream"));
    fs::create_directory("dl");
    fs::current_path("dl");
    auto c = Connect();
    for (const std::string name : {"../../escaped.bin", "../escaped.bin", "/tmp/escaped.bin"}) {
        Fetch(*c, "x.bin", "", name);
    }
    EXPECT_FALSE(env.Noted("counted"));
    Fetch(*c, "x.bin", "..", std::string("escaped.bin"));  // a site directory "__"
    EXPECT_FALSE(fs::exists(dir / "escaped.bin"));
    EXPECT_FALSE(fs::exists("/tmp/escaped.bin"));
    EXPECT_EQ(Fetch(*c, "x.bin", "www.site.com", std::string("a/b.bin")), 5000);
    EXPECT_EQ(fs::file_size("www_site_com/a/b.bin"), 5000u);
    EXPECT_TRUE(env.Noted("last www_site_com/a/b.bin"));
}

// MIN_BODY_RATE: a body that trickles below the floor over a whole window is
// given up as a timeout and leaves only its partial file; without the floor
// the same body arrives whole, however slowly.
TEST_F(DownloadTransactionTest, BodyBelowTheFloorRateIsGivenUp) {
    timing.slowBodyWindowMs = 150;
    Reply slow = Reply::Ok(test::PatternBytes(60), "image/jpeg");
    slow.chunkSize = 2;
    slow.delayMs = 20;  // about 100 bytes a second
    server.Route("/slow.jpg", slow);
    for (const int floor : {0, 5000}) {
        SCOPED_TRACE(floor);
        env.options.minBodyRate = floor;
        env.slot.failure = FailureKind::None;
        fs::remove(dir.path() / "slow.jpg");
        auto c = Connect();
        Fetch(*c, "slow.jpg", "", std::string("slow.jpg"));
        const bool whole = floor == 0;
        EXPECT_EQ(state.answer.received == 60u, whole) << state.answer.received;
        EXPECT_EQ(fs::exists(dir.path() / "slow.jpg"), whole);
        EXPECT_EQ(env.slot.failure.load(), whole ? FailureKind::None : FailureKind::Timeout);
    }
}

}  // namespace
}  // namespace wg
