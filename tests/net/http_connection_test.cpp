#include <gtest/gtest.h>

#include "net/http_answer.h"
#include "net/http_connection.h"
#include "support/http_test_server.h"

namespace wg {
namespace {

using test::HttpTestServer;
using test::Reply;

// Reads until the server closes or stays silent for a second; answers the last result
// (0 closed, -2 timed out).
long ReadAll(HttpConnection& c, std::string& got) {
    char chunk[4096];
    long n = 0;
    while ((n = RecvWithTimeout(c.Socket(), chunk, sizeof chunk, 1)) > 0) {
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return n;
}

TEST(HttpConnection, OpenResolvesAndDescribesTheServer) {
    auto c = std::make_unique<HttpConnection>();
    c->Open("LocalHost/", "8080", "dir/sub/", false);
    EXPECT_FALSE(c->dnsFailed);
    EXPECT_EQ(c->host, "localhost");
    EXPECT_EQ(c->protocol, "HTTP/1.0");
    EXPECT_EQ(c->path.path, "dir/sub");  // the rules: HttpRequest.StoredPathAndDepth
    EXPECT_EQ(c->address.port, 8080);

    c->Open("127.0.0.1", "443", "", true);
    EXPECT_EQ(c->protocol, "HTTPS/1.0");
    c->Open("no-such-host.invalid", "80", "", false);
    EXPECT_TRUE(c->dnsFailed);
}

TEST(HttpConnection, TalksToAServerAndTellsATimeoutFromAClose) {
    HttpTestServer server;
    server.Route("/a.htm", Reply::Ok("<html>hello</html>"));
    Reply stalled = Reply::Ok("0123456789");
    stalled.stallAfter = 0;
    server.Route("/slow", stalled);
    auto c = std::make_unique<HttpConnection>();
    c->Open("127.0.0.1", std::to_string(server.Port()), "", false);
    ASSERT_TRUE(c->Connect(5000));
    EXPECT_FALSE(c->connectFailed);
    const std::string request = "GET /a.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    EXPECT_EQ(c->SendAll(request), static_cast<long>(request.size()));
    std::string got;
    EXPECT_EQ(ReadAll(*c, got), 0);
    EXPECT_NE(got.find("<html>hello</html>"), std::string::npos);
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests()[0], request);

    ASSERT_TRUE(c->Connect(5000));
    ASSERT_EQ(c->SendAll("GET /slow HTTP/1.0\r\n\r\n"), 22);
    EXPECT_EQ(ReadAll(*c, got), -2) << "a stalled body is a timeout, not a close";
    c->Close();
    EXPECT_FALSE(c->HasSocket());
    EXPECT_EQ(c->SendAll("x"), -1) << "no socket, no send";

    c->Open("127.0.0.1", "1", "", false);  // port 1 on loopback has no listener
    EXPECT_FALSE(c->Connect(5000));
    EXPECT_TRUE(c->connectFailed);
    EXPECT_NE(c->lastError, 0);
}

TEST(HttpAnswer, IsCompleteRule) {
    HttpAnswer a;
    EXPECT_TRUE(a.IsComplete());
    a.contentLength = 100;
    EXPECT_TRUE(a.IsComplete()) << "nothing received: nothing to resume";
    a.received = 40;
    EXPECT_FALSE(a.IsComplete());
    a.received = 100;
    EXPECT_TRUE(a.IsComplete());
}

}  // namespace
}  // namespace wg
