// A page worker's fetch against the test server.
#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/page_url.h"
#include "net/http_connection.h"

namespace wg::test {
namespace {

TEST(PageUrl, SplitsHostPortDirectoryAndName) {
    struct Case {
        const char* url;
        const char* host;
        const char* port;
        const char* directory;
        const char* name;
    };
    for (const Case& c : {
             Case{"http://h:8080/a/b.html?x", "h", "8080", "a/", "b.html?x"},
             Case{"https://H/", "H", "443", "", ""},
             Case{"http://h", "h", "80", "", ""},
             Case{"http://h/page.html", "h", "80", "", "page.html"},
             Case{"http://h/forum/?page=2", "h", "80", "forum/", "?page=2"},
             Case{"http://h/a/page?x=1/2", "h", "80", "a/page?", "?x=1/2"},
             Case{"http://h:port/x", "h:port", "80", "", "x"},
         }) {
        const PageUrlParts p = SplitPageUrl(c.url);
        EXPECT_EQ(p.host, c.host) << c.url;
        EXPECT_EQ(p.port, c.port) << c.url;
        EXPECT_EQ(p.directory, c.directory) << c.url;
        EXPECT_EQ(p.requestName, c.name) << c.url;
    }
    EXPECT_TRUE(SplitPageUrl("HTTPS://h/").secure);
}

using PageFetchTest = NetworkAppTest;

TEST_F(PageFetchTest, PageArrivesInTheWorkersConnection) {
    App& a = InitApp();
    server.Route("/dir/page.html", test::Reply::Ok("<p>one</p>"));
    server.Route("/dir/other.html", test::Reply::Ok("<p>two</p>"));
    UrlRecord r = *Rec(server.Url("dir/page.html"));
    ASSERT_TRUE(a.Fetcher().FetchPage(slot, r));
    HttpConnection* first = a.Fetcher().PageConnection(slot);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->buffer.data(), "<p>one</p>");

    // The same host and port keep the connection object, with the new directory.
    r = *Rec(server.Url("dir/other.html"));
    ASSERT_TRUE(a.Fetcher().FetchPage(slot, r));
    EXPECT_EQ(a.Fetcher().PageConnection(slot), first);
    EXPECT_STREQ(first->buffer.data(), "<p>two</p>");

    // A path without a scheme goes to the connection the worker has.
    r = *Rec("/dir/page.html");
    EXPECT_TRUE(a.Fetcher().FetchPage(slot, r));
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(PageFetchTest, UnknownHostsFailQuietlyAndUnreachableServersOnceLoudly) {
    App& a = InitApp();
    UrlRecord r = *Rec("/no/scheme.html");
    EXPECT_FALSE(a.Fetcher().FetchPage(slot, r));  // no connection yet: nothing is sent
    r = *Rec("http://nowhere.invalid/page.html");
    EXPECT_FALSE(a.Fetcher().FetchPage(slot, r));
    EXPECT_TRUE(port->SawStatus("http://nowhere.invalid/page.html not found"));
    EXPECT_TRUE(port->Messages().empty());

    // An unreachable server shows the connection box once.
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/a.html";
    for (int i = 0; i < 2; ++i) {
        r = *Rec(url);
        EXPECT_FALSE(a.Fetcher().FetchPage(slot, r));
        EXPECT_EQ(a.Fetcher().PageConnection(slot), nullptr);
    }
    EXPECT_EQ(port->Messages(),
              std::vector<std::string>{"Error: Connection Error: Please check your internet "
                                       "connection."});
}

}  // namespace
}  // namespace wg::test
