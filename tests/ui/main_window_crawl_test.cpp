// A whole crawl started from the main window against a loopback site: the
// workers' texts reach the window, the crawl ends with "   Finished.", the
// counters show the totals and the files are on disk. A screenshot of the
// window taken while the crawl runs is kept for looking at the layout. (The
// demo site's mirror is checked file by file in tests/cli/mirror_e2e_test.cpp.)

#include <QDialog>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/app_fixture.h"
#include "child_window_fixture.h"
#include "dupes/dupe_service.h"
#include "support/http_test_server.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

std::string Picture(int seed) {
    std::string s(4000, '\0');
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed) * 13) & 0xFF);
    }
    return s;
}

class MainWindowCrawl : public ChildWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ChildWindowTest::SetUp());
        app->SetTimings(FastAppTiming());
        window->resize(window->sizeHint());
        window->show();
    }
};

TEST_F(MainWindowCrawl, CrawlFromTheWindowEndsFinishedWithTheTotals) {
    setenv("WEBGRUBBLER_PROBE_HOST", "127.0.0.1:9", 1);
    HttpTestServer server;
    ASSERT_TRUE(server.Running());
    // Every request waits a little, so that the crawl can be seen running.
    auto slowly = [](Reply r, std::size_t chunk) {
        r.delayMs = 30;
        r.chunkSize = chunk;
        return r;
    };
    server.Route("/", slowly(Reply::Ok("<html><body><a href=\"a.html\">a</a> <a href=\"b.html\">"
                                       "b</a><img src=\"p1.jpg\"></body></html>"),
                             512));
    server.Route(
        "/a.html",
        slowly(Reply::Ok("<html><a href=\"b.html\">b</a><img src=\"p2.jpg\"></html>"), 512));
    server.Route("/b.html",
                 slowly(Reply::Ok("<html><a href=\"/\">home</a><img src=\"p3.jpg\"></html>"), 512));
    for (int i = 1; i <= 3; ++i) {
        server.Route("/p" + std::to_string(i) + ".jpg",
                     slowly(Reply::Ok(Picture(i), "image/jpeg"), 1000));
    }
    app->UseNetworkWorkers();
    app->StartWorkers();

    // Scope "Within This Domain Only"; the "Web Pages" box as it starts,
    // ticked: pages and the default file types, pictures among them.
    auto* address = In<QLineEdit>(window.get(), mw::kAddress);
    address->clear();
    QTest::keyClicks(address, QString::fromStdString(server.Url("/")));
    Click(mw::kWithinDomain);
    Click(mw::kGoFetch);

    const fs::path shots = fs::path(WG_BUILD_DIR) / "ui-screenshots";
    fs::create_directories(shots);
    bool shotTaken = false;
    const bool finished = RunUntil(
        [&] {
            if (!shotTaken && Text(mw::kDownloadedCounter) != "Files Downloaded: 0") {
                shotTaken = window->grab().save(
                    QString::fromStdString((shots / "main-window-crawl.png").string()));
            }
            return Text(mw::kStatus).contains("   Finished.   Summary: ");
        },
        6000);
    EXPECT_TRUE(finished) << Text(mw::kStatus).toStdString();
    EXPECT_TRUE(shotTaken);
    // Three pages (the "Web Pages" box is ticked) and three pictures.
    EXPECT_EQ(Text(mw::kDownloadedCounter), "Files Downloaded: 6");
    EXPECT_EQ(Text(mw::kScannedCounter), "URLs Scanned: 3");
    EXPECT_EQ(Text(mw::kLinksCounter), "Links To Grubble: 0");
    const fs::path site = app->Paths().downloadDir / "127_0_0_1";
    for (const char* name : {"index.html", "a.html", "b.html", "p1.jpg", "p2.jpg", "p3.jpg"}) {
        EXPECT_TRUE(fs::exists(site / name)) << name;
    }
    EndRunningApp();
}

TEST_F(MainWindowCrawl, DuplicationDataBuildShowsItsProgressWindow) {
    fs::create_directories(app->Paths().downloadDir);
    for (int i = 0; i < 3; ++i) {
        std::ofstream(app->Paths().downloadDir / ("f" + std::to_string(i) + ".jpg")) << Picture(i);
    }
    ASSERT_TRUE(app->Dupes().StartBuild());
    bool done = false;
    for (int round = 0; round < 1000 && !done; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        done = Text(mw::kStatus) == "Processed 3 files.";
        QThread::msleep(5);
    }
    app->Dupes().JoinThread();
    EXPECT_TRUE(done) << Text(mw::kStatus).toStdString();
    // The window was opened with its text and is closed again.
    auto* progress = window->findChild<QDialog*>(QStringLiteral("progress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->findChild<QLabel*>(QStringLiteral("progressText"))->text(),
              "Building Duplication Data...");
    EXPECT_FALSE(progress->isVisible());
}

}  // namespace
}  // namespace wg::test
