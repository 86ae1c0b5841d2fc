// Starting a crawl from the address field, and the list of recent addresses.
#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/recent_texts.h"

namespace wg::test {
namespace {

TEST_F(AppTest, StartCompletesTheAddressAndNamesTheSiteFiles) {
    App& a = InitApp();
    ASSERT_TRUE(a.StartCrawl({"www.example.com", CrawlScope::WithinDomain, false}));
    EXPECT_EQ(QueuedPages(a), std::vector<std::string>{"http://www.example.com"});
    EXPECT_EQ(a.Paths().stateFile, dir.path() / "www.example.com.sav");
    EXPECT_EQ(a.Paths().settingsFile, dir.path() / "www.example.com.ini");
    EXPECT_TRUE(a.State().CrawlStarted());

    a.NameStateFileForUrl("http://h/dir/page?x=1");
    EXPECT_EQ(a.Paths().stateFile.filename(), "h_dir_page.sav");
    a.NameStateFileForUrl("http://h/");
    EXPECT_EQ(a.Paths().stateFile.filename(), "h.sav");

    // A host with a port but no scheme is completed too.
    ASSERT_TRUE(a.StartCrawl({"127.0.0.1:8080/a.html", CrawlScope::OnlyThisPage, false}));
    EXPECT_EQ(QueuedPages(a).back(), "http://127.0.0.1:8080/a.html");
    EXPECT_EQ(a.Paths().stateFile.filename(), "127.0.0.1:8080_a.html.sav");

    // Blanks pasted around an address are dropped, from the queue and the file names.
    ASSERT_TRUE(a.StartCrawl({" \t h2.example/p \t", CrawlScope::OnlyThisPage, false}));
    EXPECT_EQ(QueuedPages(a).back(), "http://h2.example/p");
    EXPECT_EQ(a.Paths().stateFile.filename(), "h2.example_p.sav");
    EXPECT_FALSE(a.StartCrawl({"   ", CrawlScope::OnlyThisPage, false}));
}

TEST_F(AppTest, StartRefusesEmptyAndFtpAddressesAndQueuesFileUrlsAsFiles) {
    App& a = InitApp();
    EXPECT_FALSE(a.StartCrawl({"", CrawlScope::OnlyThisPage, false}));
    EXPECT_EQ(port->StatusLine(),
              "Please type in a web address to the right of where it says URL above.");
    EXPECT_FALSE(a.StartCrawl({"FTP://files.example.com/", CrawlScope::OnlyThisPage, false}));
    EXPECT_EQ(port->Messages(),
              std::vector<std::string>{"Error: Sorry, Web Grubbler cannot process ftp sites yet."});
    EXPECT_TRUE(QueuedPages(a).empty());

    // "File URL" mode queues the address as a file only.
    ASSERT_TRUE(a.StartCrawl({"http://example.com/index.html", CrawlScope::FileUrl, false}));
    EXPECT_TRUE(QueuedPages(a).empty());
    EXPECT_EQ(QueuedFiles(a), std::vector<std::string>{"http://example.com/index.html"});
    EXPECT_TRUE(a.State().DownloadingUserFile());
}

TEST_F(AppTest, RecentAddressesKeepTenWithoutRepeats) {
    App& a = InitApp();
    for (int i = 0; i < 11; ++i) {
        a.RecentUrls().Remember("u" + std::to_string(i));
        a.RecentUrls().Remember("u" + std::to_string(i));
    }
    EXPECT_EQ(a.RecentUrls().Older(""), "u10");
    EXPECT_EQ(a.RecentUrls().Older("u10"), "u9");
    EXPECT_EQ(a.RecentUrls().Older("u1"), "");  // the oldest: u0 was pushed out
    EXPECT_EQ(a.RecentUrls().Newer("u9"), "u10");
    EXPECT_EQ(a.RecentUrls().Newer("u10"), "");
}

}  // namespace
}  // namespace wg::test
