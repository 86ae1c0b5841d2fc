// A download worker's file against the test server.
#include <thread>

#include "app/app_fixture.h"
#include "app/crawl_work.h"
#include "download/last_downloads.h"

namespace wg::test {
namespace {

class DownloadTest : public NetworkAppTest {
protected:
    std::filesystem::path Saved(const std::string& relative) {
        return app->Paths().downloadDir / relative;
    }
};

TEST_F(DownloadTest, CutTransferIsResumedToTheWholeFile) {
    App& a = InitApp();
    const std::string body = PatternBytes(50000);
    Reply cut = Reply::Ok(body, "application/octet-stream");
    cut.honourRange = true;
    cut.cutAfter = 20000;  // every answer stops after 20,000 bytes
    server.Route("/pics/photo.jpg", cut);
    EXPECT_TRUE(a.Fetcher().ProcessDownload(slot, server.Url("pics/photo.jpg")));
    EXPECT_TRUE(ReadWholeFile(Saved("127_0_0_1/pics/photo.jpg")) == body);
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(a.Counters().filesDownloaded.load(), 1u);
}

TEST_F(DownloadTest, CutRewrittenPageIsFetchedWholeAgain) {
    App& a = InitApp();
    const std::string link = "<a href=\"http://" + std::string("127.0.0.1") + ":" +
                             std::to_string(server.Port()) + "/b.html\">b</a>";
    std::string page = "<html>";
    for (int i = 0; i < 200; ++i)
        page += link;
    page += "</html>";
    Reply full = Reply::Ok(page);
    full.honourRange = true;
    Reply cut = full;
    cut.cutAfter = page.size() / 2;
    cut.then = std::make_shared<const Reply>(full);
    server.Route("/page.html", cut);
    const bool done = a.Fetcher().DownloadOne(slot, server.Url("page.html"));
    EXPECT_TRUE(done);
    const auto requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back().find("Range:"), std::string::npos);
    const std::string saved = ReadWholeFile(Saved("127_0_0_1/page.html"));
    EXPECT_TRUE(saved.ends_with("</html>"));
    EXPECT_EQ(saved.find("http://"), std::string::npos);  // every link rewritten
}

TEST_F(DownloadTest, RefusedFileIsDoneOnlyInTheFlatLayout) {
    App& a = InitApp();
    a.Settings().minFileSize.store(1000);
    server.Route("/small.jpg", Reply::Ok("tiny", "image/jpeg"));
    EXPECT_FALSE(a.Fetcher().DownloadOne(slot, server.Url("small.jpg")));
    a.Settings().downloadDirStructure.store(2);
    EXPECT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("small.jpg")));
    EXPECT_EQ(a.Counters().filesDownloaded.load(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(a.Paths().downloadDir));
}

TEST_F(DownloadTest, MissingFileIsRememberedAndUnreachableServerDropsTheUrl) {
    App& a = InitApp();
    a.Settings().ignoreList.store(true);
    const std::string missing = server.Url("none.jpg");
    EXPECT_FALSE(a.Fetcher().ProcessDownload(slot, missing));
    EXPECT_TRUE(a.Work().DownloadedBefore(missing));

    const std::uint16_t closedPort = ClosedPort();
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(closedPort) + "/a.jpg";
    EXPECT_FALSE(a.Fetcher().ProcessDownload(slot, unreachable));
    EXPECT_FALSE(a.Work().DownloadedBefore(unreachable));
    EXPECT_EQ(port->Messages().size(), 1u);

    // Asked to exit while connecting: the URL goes back to the queue.
    a.State().SetExitAfterThisDownload(true);
    EXPECT_FALSE(a.Fetcher().DownloadOne(slot, unreachable));
    EXPECT_TRUE(a.Queues().Files()->Contains(unreachable));
}

TEST_F(DownloadTest, LastDownloadAndNewestPictureFollowTheSavedFiles) {
    App& a = InitApp();
    a.Settings().dft.store(kGroupPictures);  // "Web Pages" off: every file is noted
    server.Route("/p/one.jpg", Reply::Ok(PatternBytes(3000), "image/jpeg"));
    server.Route("/p/two.zip", Reply::Ok(PatternBytes(3000), "application/zip"));
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/one.jpg")));
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/two.zip")));
    const std::filesystem::path jpg =
        std::filesystem::absolute(Saved("127_0_0_1/p/one.jpg")).lexically_normal();
    EXPECT_EQ(a.LastFiles().LastPath(), std::filesystem::absolute(Saved("127_0_0_1/p/two.zip")));
    EXPECT_EQ(a.LastFiles().PreviousPath(), jpg);
    EXPECT_EQ(a.LastFiles().NewestImage(), jpg);  // the archive is no picture
    EXPECT_TRUE(a.LastFiles().PreviewPending());

    // With the preview off a picture is still the last download, not an image.
    a.Settings().showLastImage.store(false);
    server.Route("/p/three.png", Reply::Ok(PatternBytes(3000), "image/png"));
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/three.png")));
    EXPECT_EQ(a.LastFiles().LastPath().substr(a.LastFiles().LastPath().size() - 9), "three.png");
    EXPECT_EQ(a.LastFiles().NewestImage(), jpg);

    // "Web Pages" on with a scope that follows no links: the file noted first
    // ends the tracking, the next is not noted.
    a.Settings().dft.store(kGroupWebPages | kGroupPictures);
    a.State().SetTrackLastDownload(true);
    server.Route("/p/four.gif", Reply::Ok(PatternBytes(3000), "image/gif"));
    server.Route("/p/five.gif", Reply::Ok(PatternBytes(3000), "image/gif"));
    a.Settings().showLastImage.store(true);
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/four.gif")));
    EXPECT_FALSE(a.State().TrackLastDownload());
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/five.gif")));
    EXPECT_TRUE(a.LastFiles().LastPath().ends_with("four.gif"));
}

TEST_F(DownloadTest, SavedStylesheetQueuesItsFilesAndIsEditedForOfflineReading) {
    App& a = InitApp();
    a.Settings().dft.store(kGroupWebPages | kGroupPictures);
    const std::string css =
        "body{background:url(/img/bg.png)} h1{background:url('../img/h.gif')}"
        " @import \"more.css\";";
    server.Route("/site/css/main.css", Reply::Ok(css, "text/css"));
    ASSERT_TRUE(a.Fetcher().ProcessDownload(slot, server.Url("site/css/main.css")));
    {
        auto lock = a.Queues().Files();
        UrlList& toDownload = *lock;
        EXPECT_TRUE(toDownload.Contains(server.Url("img/bg.png")));
        EXPECT_TRUE(toDownload.Contains(server.Url("site/img/h.gif")));
        EXPECT_TRUE(toDownload.Contains(server.Url("site/css/more.css")));
    }
    // Two levels down, a root-relative picture climbs two levels.
    EXPECT_EQ(ReadWholeFile(Saved("127_0_0_1/site/css/main.css")),
              "body{background:url(../../img/bg.png)} h1{background:url('../img/h.gif')}"
              " @import \"more.css\";");
}

}  // namespace
}  // namespace wg::test
