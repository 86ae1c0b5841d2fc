// A whole crawl started from the main window against a loopback site: the
// workers' texts reach the window, the crawl ends with "   Finished.", the
// counters show the totals and the files are on disk. A screenshot of the
// window taken while the crawl runs is kept for looking at the layout.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "app/app.h"
#include "app/app_fixture.h"
#include "support/http_test_server.h"
#include "support/nginx_server.h"
#include "support/test_dirs.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "util/timing.h"

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

// An App in a temporary program directory with its main window (shown when
// asked), shut down again at the end of the test. Questions are answered No.
struct WindowRig {
    explicit WindowRig(bool shown = true) {
        port.SetAskHook(
            [](const std::string&, const std::string&, Buttons, Icon) { return Answer::No; });
        app = std::make_unique<App>(port);
        app->SetTimings(FastAppTiming());
        InitOptions init;
        init.programDir = dir.path();
        started = app->Initialise(init);
        window = std::make_unique<MainWindow>(*app, port);
        started = started && window->Create();
        port.SetView(window.get());
        if (shown) {
            window->resize(window->sizeHint());
            window->show();
        }
    }
    ~WindowRig() {
        port.SetClosing();
        app->Shutdown();
        port.SetView(nullptr);
        window.reset();
        app.reset();
    }
    std::string Label(int id) const {
        return window->findChild<QLabel*>(DialogWindow::IdName(id))->text().toStdString();
    }

    TempDir dir;
    CurrentDirGuard cwd;
    QtPort port;
    std::unique_ptr<App> app;
    std::unique_ptr<MainWindow> window;
    bool started = false;
};

// Starts a crawl of `url` from the window (scope "Within This Domain Only";
// the "Web Pages" box as it starts, ticked: pages and the default file types,
// pictures among them), runs the main loop as the program does until the status
// line ends with "   Finished.", saves a screenshot taken while the crawl
// runs as `shotName`, then hands the rig to `check`.
void CrawlFromWindow(const std::string& url, const std::string& shotName,
                     const std::function<void(WindowRig&)>& check) {
    setenv("WEBGRUBBLER_PROBE_HOST", "127.0.0.1:9", 1);
    {
        WindowRig rig;
        ASSERT_TRUE(rig.started);
        App& app = *rig.app;
        MainWindow& window = *rig.window;
        app.UseNetworkWorkers();
        app.StartWorkers();

        auto* address = window.findChild<QLineEdit*>(DialogWindow::IdName(mw::kAddress));
        ASSERT_NE(address, nullptr);
        address->clear();
        QTest::keyClicks(address, QString::fromStdString(url));
        window.findChild<QAbstractButton*>(DialogWindow::IdName(mw::kWithinDomain))->click();
        window.findChild<QAbstractButton*>(DialogWindow::IdName(mw::kGoFetch))->click();

        const fs::path shots = fs::path(WG_BUILD_DIR) / "ui-screenshots";
        fs::create_directories(shots);
        bool shotTaken = false;
        bool finished = false;
        for (int round = 0; round < 3000 && !finished; ++round) {
            app.MainLoopStep();
            window.ProcessMessages();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
            if (!shotTaken && rig.Label(mw::kDownloadedCounter) != "Files Downloaded: 0") {
                shotTaken = window.grab().save(QString::fromStdString((shots / shotName).string()));
            }
            finished = rig.Label(mw::kStatus).find("   Finished.   Summary: ") != std::string::npos;
        }
        EXPECT_TRUE(finished) << rig.Label(mw::kStatus);
        EXPECT_TRUE(shotTaken);
        check(rig);

        app.RequestExit();
        app.LeaveMainLoop();
    }
}

TEST(MainWindowCrawl, CrawlFromTheWindowEndsFinishedWithTheTotals) {
    HttpTestServer server;
    ASSERT_TRUE(server.Running());
    // Every request waits a little, so that the crawl can be seen running.
    auto page = [](const std::string& body) {
        Reply r = Reply::Ok(body);
        r.delayMs = 30;
        r.chunkSize = 512;
        return r;
    };
    server.Route("/", page("<html><body><a href=\"a.html\">a</a> <a href=\"b.html\">b</a>"
                           "<img src=\"p1.jpg\"></body></html>"));
    server.Route("/a.html", page("<html><a href=\"b.html\">b</a><img src=\"p2.jpg\"></html>"));
    server.Route("/b.html", page("<html><a href=\"/\">home</a><img src=\"p3.jpg\"></html>"));
    for (int i = 1; i <= 3; ++i) {
        Reply r = Reply::Ok(Picture(i), "image/jpeg");
        r.delayMs = 30;
        r.chunkSize = 1000;
        server.Route("/p" + std::to_string(i) + ".jpg", r);
    }
    CrawlFromWindow(server.Url("/"), "main-window-crawl.png", [](WindowRig& rig) {
        // Three pages (the "Web Pages" box is ticked) and three pictures.
        EXPECT_EQ(rig.Label(mw::kDownloadedCounter), "Files Downloaded: 6");
        EXPECT_EQ(rig.Label(mw::kScannedCounter), "URLs Scanned: 3");
        EXPECT_EQ(rig.Label(mw::kLinksCounter), "Links To Grubble: 0");
        const fs::path site = rig.app->Paths().downloadDir / "127_0_0_1";
        for (const char* name : {"index.html", "a.html", "b.html", "p1.jpg", "p2.jpg", "p3.jpg"}) {
            EXPECT_TRUE(fs::exists(site / name)) << name;
        }
    });
}

TEST(MainWindowCrawl, MirrorsTheDemoSite) {
    if (NginxServer::FindBinary().empty()) {
        GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    }
    const fs::path source = WG_SOURCE_DIR;
    std::string config =
        "types { text/html html; text/css css; application/javascript js; "
        "image/png png; image/gif gif; image/jpeg jpg; }\n";
    config += ReadWholeFile(source / "demo" / "nginx-locations.conf");
    NginxServer nginx(source / "demo" / "site", config);
    ASSERT_TRUE(nginx.Running()) << nginx.Error();
    const std::string url = "http://127.0.0.1:" + std::to_string(nginx.HttpPort()) + "/";
    CrawlFromWindow(url, "main-window-demo.png", [&](WindowRig& rig) {
        const fs::path site = rig.app->Paths().downloadDir / "127_0_0_1";
        // Every stylesheet, script and picture of the site is on disk.
        for (const std::string& file : FilesBelow(source / "demo" / "site")) {
            if (!file.ends_with(".html")) {
                EXPECT_TRUE(fs::exists(site / file)) << file;
            }
        }
        for (const char* page : {"index.html", "about.html", "journal/index.html",
                                 "journal/spring.html", "journal/2024/harvest.html"}) {
            EXPECT_TRUE(fs::exists(site / page)) << page;
        }
    });
}

TEST(MainWindowCrawl, DuplicationDataBuildShowsItsProgressWindow) {
    WindowRig rig;
    ASSERT_TRUE(rig.started);
    App& app = *rig.app;
    fs::create_directories(app.Paths().downloadDir);
    for (int i = 0; i < 3; ++i) {
        std::ofstream(app.Paths().downloadDir / ("f" + std::to_string(i) + ".jpg")) << Picture(i);
    }
    ASSERT_TRUE(app.Dupes().StartBuild());
    bool done = false;
    for (int round = 0; round < 1000 && !done; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        done = rig.Label(mw::kStatus) == "Processed 3 files.";
        QThread::msleep(5);
    }
    app.Dupes().JoinThread();
    EXPECT_TRUE(done) << rig.Label(mw::kStatus);
    // The window was opened with its text and is closed again.
    auto* progress = rig.window->findChild<QDialog*>(QStringLiteral("progress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->findChild<QLabel*>(QStringLiteral("progressText"))->text(),
              "Building Duplication Data...");
    EXPECT_FALSE(progress->isVisible());
}

// Texts that worker threads send through the port land in the window's
// labels on the GUI thread (this one also runs under the thread checker).
TEST(WindowTexts, WorkerTextsArriveInTheWindow) {
    // Not shown: painting would run Qt's own pooled threads, which the thread
    // checker cannot see into.
    WindowRig rig(false);
    ASSERT_TRUE(rig.started);
    QtPort& port = rig.port;
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        for (int i = 1; i <= 300; ++i) {
            port.ShowStatus("http://127.0.0.1/file" + std::to_string(i) + ".jpg");
            port.SetCounterText(Counter::FilesDownloaded, "Files Downloaded: " + std::to_string(i));
            port.SetCounterText(Counter::UrlsScanned, "URLs Scanned: " + std::to_string(i));
        }
        port.AppendStatus("   Finished.");
        sent = true;
    });
    bool arrived = false;
    for (int round = 0; round < 2000 && !arrived; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        arrived =
            sent.load() && rig.Label(mw::kStatus)
                               .starts_with("http://127.0.0.1/file300.jpg   Finished.   Summary: ");
        QThread::msleep(2);
    }
    worker.join();
    EXPECT_TRUE(arrived) << rig.Label(mw::kStatus);
    EXPECT_EQ(rig.Label(mw::kDownloadedCounter), "Files Downloaded: 300");
    EXPECT_EQ(rig.Label(mw::kScannedCounter), "URLs Scanned: 300");
}

}  // namespace
}  // namespace wg::test
