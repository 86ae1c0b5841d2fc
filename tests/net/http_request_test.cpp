#include <gtest/gtest.h>

#include "net/http_request.h"

namespace wg {
namespace {

std::string Line(std::string_view path, std::string_view name, std::string_view port = "80") {
    return RequestLine(NormalisePath(path), RequestNameFor(name), ProtocolFor(false, port));
}

TEST(HttpRequest, DomainIsTheLastTwoLabels) {
    EXPECT_EQ(DomainOf("www.example.com"), "example.com");
    EXPECT_EQ(DomainOf("a.b.example.co.uk"), "co.uk");
    EXPECT_EQ(DomainOf("example.com"), "example.com");
    EXPECT_EQ(DomainOf("localhost"), "localhost");
    EXPECT_EQ(DomainOf("127.0.0.1"), "0.1");
}

TEST(HttpRequest, StoredPathAndDepth) {
    const auto check = [](std::string_view given, const std::string& path, unsigned depth) {
        const StoredPath p = NormalisePath(given);
        EXPECT_EQ(p.path, path) << given;
        EXPECT_EQ(p.depth, depth) << given;
    };
    check("dir/sub/", "dir/sub", 2);
    check("dir/page?x=1", "dir/page", 2);
    check("..", "", 0);
    check("docs", "docs", 1);
    check("a", "a", 0);
    check("a/b", "a/b", 2);
    check("my dir\\sub", "my%20dir/sub", 1);  // the backslash is no level before the rewrite
    EXPECT_TRUE(NormalisePath("forum/").trailingSlash);
    EXPECT_FALSE(NormalisePath("forum").trailingSlash);
    EXPECT_EQ(NormalisePath(std::string(400, 'd')).path.size(), 255u);
}

TEST(HttpRequest, RequestLineTable) {
    EXPECT_EQ(Line("", "/a/b.gif"), "GET /a/b.gif HTTP/1.0\r\n");
    EXPECT_EQ(Line("", "a.htm"), "GET /a.htm HTTP/1.0\r\n");
    EXPECT_EQ(Line("forum", "?page=2"), "GET /forum?page=2 HTTP/1.0\r\n");
    EXPECT_EQ(Line("pics", "a b.jpg"), "GET /pics/a%20b.jpg HTTP/1.0\r\n");
    EXPECT_EQ(Line("../img", "x.png"), "GET /img/x.png HTTP/1.0\r\n");
    EXPECT_EQ(Line("", "http://127.0.0.1/x.htm"), "GET http://127.0.0.1/x.htm HTTP/1.0\r\n");
    EXPECT_EQ(Line("http://127.0.0.1/d", "http://127.0.0.1/d/x"),
              "GET http://127.0.0.1/d/x HTTP/1.0\r\n");
    EXPECT_EQ(Line("", "file.zip", "21"), "GET /file.zip FTP/1.0\r\n");
    // Control bytes from a hostile link cannot split the request.
    EXPECT_EQ(Line("dir", "a.htm HTTP/1.0\r\nX-Injected: 1\r\n"),
              "GET /dir/a.htm%20HTTP/1.0%0D%0AX-Injected:%201%0D%0A HTTP/1.0\r\n");
    // A query on a directory keeps its slash: it names the directory's page.
    EXPECT_EQ(Line("forum/", "?page=2"), "GET /forum/?page=2 HTTP/1.0\r\n");
}

// The text and order of the lines are checked on the wire (DownloadTransactionTest).
TEST(HttpRequest, OnlyRequestLineAcceptAndHostAreMandatory) {
    RequestHead head;
    head.requestLine = Line("pics", "a b.jpg");
    head.host = "www.example.com";
    head.resumeOffset = 5000;
    head.cookieText = "a=1; b=2";
    head.userAgent = "Agent";
    const auto lines = RequestHeadLines(head);
    ASSERT_EQ(lines.size(), 7u);
    for (const HeadLine& line : lines) {
        EXPECT_EQ(line.mandatory, line.text.starts_with("GET ") ||
                                      line.text.starts_with("Accept:") ||
                                      line.text.starts_with("Host:"))
            << line.text;
    }
}

TEST(HttpRequest, HttpsUrls) {
    EXPECT_EQ(HttpsUrlFor("h", NormalisePath(""), "/a.htm"), "https://h/a.htm");
    EXPECT_EQ(HttpsUrlFor("h", NormalisePath(""), "a.htm"), "https://h/a.htm");
    EXPECT_EQ(HttpsUrlFor("h", NormalisePath("../d"), "?q=1"), "https://h/d?q=1");
    EXPECT_EQ(HttpsUrlFor("h", NormalisePath("d"), "x.jpg"), "https://h/d/x.jpg");
}

}  // namespace
}  // namespace wg
