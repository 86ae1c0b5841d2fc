#include <filesystem>

#include "app/app_fixture.h"
#include "app/crawl_control.h"
#include "app/option_setters.h"
#include "app/worker_pool.h"
#include "dupes/dupe_service.h"
#include "platform/files.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

TEST_F(AppTest, InitialiseBuildsPathsBelowTheProgramDirectory) {
    App& a = InitApp();
    const fs::path home = fs::canonical(dir.path());
    EXPECT_EQ(a.Paths().programDir, home);
    // Downloaded files are opened relative to the download directory, which exists.
    EXPECT_EQ(a.Paths().downloadDir, home / "Downloads");
    EXPECT_EQ(fs::current_path(), home / "Downloads");
    EXPECT_EQ(port->StatusLine(),
              "Welcome.  To retrieve a website, type the address above and press 'Go Fetch'.");
}

TEST_F(AppTest, FileTypesThatCannotMatchPagesStartInFileDownloadMode) {
    MakeApp().Settings().types.Set(TypeKind::FileTypes, ".jpg;.png");
    App& a = Initialise();
    EXPECT_EQ(port->StatusLine(), "Welcome.  In File Download Mode.");
    EXPECT_EQ(a.Settings().dft.load() & kGroupWebPages, 0);
}

TEST_F(AppTest, ExitRequestWithoutLiveWorkersExitsAtOnce) {
    App& a = InitApp(/*mainWindow=*/false);
    a.StartWorkers();  // no main window: nothing starts
    EXPECT_EQ(a.Workers().LivePageWorkers(), 0);
    EXPECT_EQ(a.Workers().LiveDownloadWorkers(), 0);
    a.Control().RequestExit();
    EXPECT_TRUE(a.State().WorkersStopping());
    EXPECT_TRUE(a.State().ExitRequested());
}

TEST_F(AppTest, WorkerCountRulesAndTheLastWorkerOutEndsTheMainLoop) {
    App& a = InitApp();
    a.Settings().numUrlThreads.store(0);
    a.Settings().numDownloadThreads.store(1);
    StartRunLoop();
    ASSERT_TRUE(WaitFor([&] {
        return a.Workers().LivePageWorkers() == 1 && a.Workers().LiveDownloadWorkers() == 1;
    }));
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 0) << "one page worker runs anyway";
    StopRunLoop();
    app.reset();

    App& b = InitApp();
    b.Settings().numUrlThreads.store(0);
    b.Settings().numDownloadThreads.store(3);
    StartRunLoop();
    ASSERT_TRUE(WaitFor([&] {
        return b.Workers().LivePageWorkers() == 2 && b.Workers().LiveDownloadWorkers() == 3;
    }));
    EXPECT_EQ(b.Settings().numUrlThreads.load(), 2);
    EXPECT_FALSE(b.State().ExitRequested());
    b.Control().RequestExit();
    ASSERT_TRUE(JoinRunLoop());
    EXPECT_EQ(b.Workers().LivePageWorkers(), 0);
    EXPECT_EQ(b.Workers().LiveDownloadWorkers(), 0);
    EXPECT_TRUE(port->SawStatus("Saving settings..."));
    EXPECT_GT(port->ProcessMessagesCalls(), 0);
}

TEST_F(AppTest, ShutdownReleasesListsInOrderWithItsMessages) {
    App& a = InitApp();
    for (int i = 0; i < 4096 * 2 + 5; ++i) {
        auto r = std::make_shared<UrlRecord>();
        r->url = "http://127.0.0.1/p" + std::to_string(i);
        a.Queues().Visited()->PushBack(r);
    }
    a.Dupes().WithData([](DupeData&, bool& exists) { exists = true; });
    a.Shutdown();
    EXPECT_TRUE(a.State().WorkersStopping());
    const auto lines = port->StatusHistory();
    const std::vector<std::string> expected = {
        "Exiting: Releasing sites visited list...",
        "Exiting: Releasing sites visited list....",
        "Exiting: Releasing sites visited list.....",
        "Exiting: Releasing Redirect file list...",
        "Exiting: Releasing 'Links To Grubble' list...",
        "Exiting: Releasing 'Duplication Data' list...",
        "Duplication Data' list removed.",
        "Exiting: Releasing 'To download' list...",
        "Exiting: Releasing 'Sites to Ignore' list...",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - static_cast<long>(expected.size()), lines.end()),
        expected);
    EXPECT_TRUE(a.Queues().Visited()->Empty());

    // Without exit messages none is shown.
    app.reset();
    App& b = InitApp();
    b.Settings().showExitingMsgs.store(false);
    const std::size_t before = port->StatusHistory().size();
    b.Shutdown();
    EXPECT_EQ(port->StatusHistory().size(), before);
}

TEST_F(AppTest, ThreadCountChangesStartWorkersOrShowTheNotice) {
    App& a = InitApp();
    a.Settings().numUrlThreads.store(1);
    a.Settings().numDownloadThreads.store(1);
    StartRunLoop();
    ASSERT_TRUE(WaitFor([&] {
        return a.Workers().LivePageWorkers() == 1 && a.Workers().LiveDownloadWorkers() == 1;
    }));

    a.Setters().SetUrlThreadCount(3);
    a.Setters().SetDownloadThreadCount(2);
    EXPECT_TRUE(WaitFor([&] {
        return a.Workers().LivePageWorkers() == 3 && a.Workers().LiveDownloadWorkers() == 2;
    }));
    EXPECT_TRUE(port->Messages().empty());

    a.Setters().SetUrlThreadCount(2);
    a.Setters().SetDownloadThreadCount(1);
    const auto messages = port->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              "Notice: The change in the number of URL processing threads will\nnot take effect "
              "until Web Grubbler is restarted");
    EXPECT_EQ(messages[1],
              "Notice: The change in the number of Download Threads will\nnot take effect until "
              "Web Grubbler is restarted");
    EXPECT_EQ(a.Workers().LivePageWorkers(), 3) << "lowering stops no thread";
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 2);

    // Raising again reuses handle slots whose threads still run.
    a.Setters().SetUrlThreadCount(4);
    EXPECT_TRUE(WaitFor([&] { return a.Workers().LivePageWorkers() == 5; }));

    a.Setters().SetUrlThreadCount(40);
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 32);
    a.Setters().SetDownloadThreadCount(0);
    EXPECT_EQ(a.Settings().numDownloadThreads.load(), 1);
    StopRunLoop();
    EXPECT_EQ(a.Workers().LivePageWorkers(), 0);
}

TEST_F(AppTest, SettersKeepTheirRules) {
    App& a = InitApp(false);
    a.Setters().SetUrlThreadCount(0);
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 0);
    a.Setters().SetUrlThreadCount(-3);  // no count below none is stored
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 0);

    a.Settings().minFileSize.store(10);
    a.Setters().SetMaxFileSize(20);
    a.Setters().SetMaxFileSize(5);  // not above the minimum: refused
    EXPECT_EQ(a.Settings().maxFileSize.load(), 20);
    a.Setters().SetMaxFileSize(0);  // no limit
    EXPECT_EQ(a.Settings().maxFileSize.load(), 0);

    a.Setters().SetMinDownloadQueue(0);
    EXPECT_EQ(a.Settings().minDownloadQueue.load(), 50);
    a.Setters().SetMinDownloadQueue(7);
    EXPECT_EQ(a.Settings().minDownloadQueue.load(), 7);

    a.Setters().SetUserAgent(std::string(400, 'a'));
    EXPECT_EQ(a.Settings().userAgent.Get().size(), 259u);
}

}  // namespace
}  // namespace wg::test
