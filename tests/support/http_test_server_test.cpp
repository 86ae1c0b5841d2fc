#include "support/http_test_server.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/socket.h"

namespace wg::test {
namespace {

platform::Socket Open(const HttpTestServer& server) {
    platform::ResolvedAddress address;
    EXPECT_EQ(platform::ResolveIPv4("127.0.0.1", std::to_string(server.Port()), address), 0);
    int error = 0;
    platform::Socket s = platform::Socket::Connect(address, 5000, &error);
    EXPECT_TRUE(s.Valid()) << error;
    return s;
}

// Reads until `limit` bytes arrived or the server closed; `closed` tells which.
std::string Read(platform::Socket& s, std::size_t limit = std::string::npos,
                 bool* closed = nullptr) {
    std::string data;
    char buffer[4096];
    bool sawClose = false;
    while (data.size() < limit) {
        int error = 0;
        const long n =
            s.Receive(buffer, std::min(sizeof buffer, limit - data.size()), 5000, &error);
        if (n <= 0) {
            sawClose = n == 0;
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    if (closed != nullptr) {
        *closed = sawClose;
    }
    return data;
}

std::string Exchange(const HttpTestServer& server, const std::string& request) {
    platform::Socket s = Open(server);
    EXPECT_EQ(s.SendAll(request.data(), request.size()), 0);
    return Read(s);
}

TEST(HttpTestServer, ServesRoutesAndRecordsRequestsExactly) {
    HttpTestServer server;
    ASSERT_TRUE(server.Running());
    server.Route("/a.html", Reply::Ok("hello"));
    server.Route("/p.php?x=1", Reply::Ok("one", "text/plain"));
    server.Route("/p.php", Reply::Ok("any"));
    const std::string port = std::to_string(server.Port());
    EXPECT_EQ(server.Url("/a.html"), "http://127.0.0.1:" + port + "/a.html");
    EXPECT_EQ(server.Url("a.html"), server.Url("/a.html"));

    const std::string first = "GET /a.html HTTP/1.0\r\nAccept: */*\nX-Odd:   v \r\n\r\n";
    EXPECT_EQ(Exchange(server, first),
              "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nhello");
    EXPECT_EQ(Exchange(server, "GET /p.php?x=1 HTTP/1.0\n\n"),
              "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 3\r\n\r\none");
    EXPECT_NE(Exchange(server, "GET /p.php?x=2 HTTP/1.0\r\n\r\n").find("\r\n\r\nany"),
              std::string::npos);
    EXPECT_NE(Exchange(server, "GET " + server.Url("/a.html") + " HTTP/1.0\r\n\r\n")
                  .find("\r\n\r\nhello"),
              std::string::npos);
    EXPECT_EQ(
        Exchange(server, "GET /missing HTTP/1.0\r\n\r\n").rfind("HTTP/1.0 404 Not Found\r\n", 0),
        0u);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0], first);
    EXPECT_EQ(requests[1], "GET /p.php?x=1 HTTP/1.0\n\n");
    EXPECT_EQ(requests[4], "GET /missing HTTP/1.0\r\n\r\n");
    EXPECT_EQ(server.Connections(), 5);
}

TEST(HttpTestServer, SendsRepliesByteForByte) {
    HttpTestServer server;
    Reply odd;
    odd.status = "HTTP/1.1 200  Fine";
    odd.lineEnd = "\n";
    odd.headers = {"content-length:3", "Set-Cookie: id=7; path=/", "X-Spaced :  a  "};
    odd.body = "abc";
    server.Route("/odd", odd);
    EXPECT_EQ(
        Exchange(server, "GET /odd HTTP/1.0\r\n\r\n"),
        "HTTP/1.1 200  Fine\ncontent-length:3\nSet-Cookie: id=7; path=/\nX-Spaced :  a  \n\nabc");

    server.Route("/r", Reply::Redirect("http://127.0.0.1/b.html"));
    EXPECT_EQ(
        Exchange(server, "GET /r HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/b.html\r\nContent-Length: 0\r\n\r\n");
}

TEST(HttpTestServer, RangeHonouredOrIgnored) {
    HttpTestServer server;
    Reply file = Reply::Ok("0123456789", "image/gif");
    file.honourRange = true;
    server.Route("/f.gif", file);
    file.honourRange = false;
    server.Route("/plain.gif", file);

    EXPECT_EQ(Exchange(server, "GET /f.gif HTTP/1.0\r\nRange: bytes=4-\r\n\r\n"),
              "HTTP/1.0 206 Partial Content\r\nContent-Type: image/gif\r\nContent-Length: 6\r\n"
              "Content-Range: bytes 4-9/10\r\n\r\n456789");
    const std::string middle = Exchange(server, "GET /f.gif HTTP/1.0\r\nrange:  BYTES=2-3\r\n\r\n");
    EXPECT_EQ(middle.rfind("HTTP/1.0 206 Partial Content\r\n", 0), 0u);
    EXPECT_NE(middle.find("Content-Length: 2\r\nContent-Range: bytes 2-3/10\r\n\r\n23"),
              std::string::npos);
    const std::string beyond = Exchange(server, "GET /f.gif HTTP/1.0\r\nRange: bytes=10-\r\n\r\n");
    EXPECT_EQ(beyond.rfind("HTTP/1.0 416 ", 0), 0u);
    EXPECT_NE(beyond.find("Content-Range: bytes */10\r\n"), std::string::npos);
    EXPECT_EQ(Exchange(server, "GET /f.gif HTTP/1.0\r\n\r\n").substr(0, 15), "HTTP/1.0 200 OK");

    const std::string ignored =
        Exchange(server, "GET /plain.gif HTTP/1.0\r\nRange: bytes=4-\r\n\r\n");
    EXPECT_EQ(ignored.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_NE(ignored.find("\r\n\r\n0123456789"), std::string::npos);
}

TEST(HttpTestServer, StalledBodyIsReleasedWhenTheServerStops) {
    auto server = std::make_unique<HttpTestServer>();
    Reply stalled = Reply::Ok("0123456789");
    stalled.stallAfter = 4;
    server->Route("/stall", stalled);
    platform::Socket s = Open(*server);
    const std::string request = "GET /stall HTTP/1.0\r\n\r\n";
    ASSERT_EQ(s.SendAll(request.data(), request.size()), 0);
    const std::string head =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10\r\n\r\n";
    EXPECT_EQ(Read(s, head.size() + 4), head + "0123");

    char c = 0;
    int error = 0;
    EXPECT_EQ(s.Receive(&c, 1, 50, &error), -1);  // still open, nothing more comes
    EXPECT_EQ(error, ETIMEDOUT);
    server.reset();  // must not hang on the open connection
    EXPECT_EQ(s.Receive(&c, 1, 5000, &error), 0);
}

}  // namespace
}  // namespace wg::test
