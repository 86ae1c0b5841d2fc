#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/counter_text.h"
#include "app/crawl_control.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"

namespace wg::test {
namespace {

void QueuePages(App& a, int count) {
    auto lock = a.Queues().Pages();
    RecordList& linksToGrubble = *lock;
    for (int i = 0; i < count; ++i)
        linksToGrubble.PushBack(Rec("http://127.0.0.1:8080/page" + std::to_string(i), 1));
}

void QueueFiles(App& a, int count) {
    auto lock = a.Queues().Files();
    UrlList& toDownload = *lock;
    for (int i = 0; i < count; ++i)
        toDownload.PushBack("http://127.0.0.1:8080/file" + std::to_string(i) + ".jpg");
}

// Workers whose handlers, once held, wait in them until released.
class WorkFlowTest : public AppTest {
protected:
    void HoldHandlers(App& a) {
        auto hold = [this](auto&&...) {
            ++held;
            WaitFor([this] { return release.load(); });
            return true;
        };
        a.Hooks().pageHandler = hold;
        a.Hooks().downloadHandler = hold;
    }
    std::atomic<bool> release{false};
    std::atomic<int> held{0};
};

TEST_F(AppTest, WorkersDrainBothQueuesAndTheLastOneShowsFinished) {
    App& a = InitApp();
    a.Settings().numUrlThreads.store(2);
    a.Settings().numDownloadThreads.store(3);
    a.RejectReason().Set("Site contains Skip Word.");
    std::atomic<int> pages{0};
    std::atomic<int> files{0};
    a.Hooks().pageHandler = [&](int, UrlRecord&) {
        ++pages;
        return true;
    };
    a.Hooks().downloadHandler = [&](int, const std::string&) {
        ++files;
        return true;
    };
    QueuePages(a, 20);
    QueueFiles(a, 30);
    StartRunLoop();
    // The end of the crawl shows the last reject reason.
    ASSERT_TRUE(WaitFor([&] {
        return pages.load() == 20 && files.load() == 30 &&
               port->StatusLine() == "Last Fail Reason: Site contains Skip Word.   Finished.";
    }));
    EXPECT_EQ(a.Counters().pagesTaken.load(), 20u);
    EXPECT_EQ(a.Counters().filesTaken.load(), 30u);
    EXPECT_EQ(a.Queues().Visited()->Size(), 20u) << "taken pages are remembered as visited";
    EXPECT_EQ(a.Slots().CountBusy(), 0);
    EXPECT_EQ(port->CounterText(Counter::InProcess), "In Process: 0");
    StopRunLoop();
}

TEST_F(AppTest, TwoWorkersFindingTheWorkDoneReportItOnce) {
    App& a = InitApp();
    QueuePages(a, 1);
    const int first = a.Slots().Acquire();
    const int second = a.Slots().Acquire();
    bool keep = false;
    ASSERT_NE(a.Work().TakeNextPage(first, keep), nullptr);
    a.Workers().ItemFinished(first);
    a.Workers().ItemFinished(second);  // the other worker finds no busy slot either
    const auto lines = port->StatusHistory();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.ends_with("   Finished."); }),
              1);
    a.Slots().Release(first);
    a.Slots().Release(second);
}

// Stop cancels every slot at once; the Stop ends ("Stopped.", queues emptied)
// only when the last worker has put its item down, whichever way it was asked.
TEST_F(AppTest, StopEndsWhenTheLastHeldItemIsPutDown) {
    for (const bool erase : {false, true}) {
        SCOPED_TRACE(erase ? "Yes: abort and erase" : "No: stop all");
        App& a = InitApp();
        QueuePages(a, 4);
        const int first = a.Slots().Acquire();
        const int second = a.Slots().Acquire();
        bool keep = false;
        ASSERT_NE(a.Work().TakeNextPage(first, keep), nullptr);
        ASSERT_NE(a.Work().TakeNextPage(second, keep), nullptr);
        if (erase) {
            a.Control().StopWithAbort(true);
        } else {
            a.Control().StopAll();
        }
        a.Workers().ItemFinished(first);
        EXPECT_TRUE(a.State().StopRequested()) << "the second worker still holds its page";
        EXPECT_FALSE(port->SawStatus("Stopped."));
        // The page it holds still queues its links while the Stop waits.
        (void)a.Work().AddSite("http://127.0.0.1:9/late.html", 1, 0, 0, false);
        a.Workers().ItemFinished(second);
        EXPECT_FALSE(a.State().StopRequested());
        EXPECT_TRUE(port->SawStatus("Stopped."));
        EXPECT_TRUE(a.Queues().Pages()->Empty()) << "links queued during the Stop are dropped";
        a.Slots().Release(first);
        a.Slots().Release(second);
        app.reset();
    }
}

TEST_F(AppTest, ExitAfterLastDownloadEndsTheProgramWhenWorkRunsOut) {
    App& a = InitApp();
    a.State().SetExitAfterLastDownload(true);
    QueueFiles(a, 3);
    StartRunLoop();
    ASSERT_TRUE(JoinRunLoop());
    EXPECT_TRUE(port->SawStatus("Exiting..."));
    EXPECT_FALSE(port->SawStatus("   Finished."));
    EXPECT_EQ(a.Counters().filesTaken.load(), 3u);
}

TEST_F(AppTest, ClearingAnExitAfterOptionRestartsTheWorkers) {
    App& a = InitApp();
    a.Settings().numUrlThreads.store(2);
    a.Settings().numDownloadThreads.store(2);
    a.StartWorkers();
    const auto live = [&](int n) {
        return WaitFor([&] {
            return a.Workers().LivePageWorkers() == n && a.Workers().LiveDownloadWorkers() == n;
        });
    };
    ASSERT_TRUE(live(2));
    // Nothing in flight: the exit is asked for at once and the workers leave.
    a.Control().SetExitAfterThisDownload(true);
    EXPECT_TRUE(a.State().WorkersStopping());
    ASSERT_TRUE(live(0));
    // Turning the option off again brings the workers back.
    a.Control().SetExitAfterThisDownload(false);
    EXPECT_FALSE(a.State().WorkersStopping());
    EXPECT_TRUE(live(2));
    // Setting "exit after the last download" with nothing left exits at once.
    StartRunLoop();
    a.Control().SetExitAfterLastDownload(true);
    ASSERT_TRUE(JoinRunLoop());
    EXPECT_EQ(a.Workers().LivePageWorkers(), 0);
}

TEST_F(WorkFlowTest, ExitAfterThisDownloadStopsTakingWork) {
    App& a = InitApp();
    HoldHandlers(a);
    a.Settings().numDownloadThreads.store(1);
    QueueFiles(a, 5);
    StartRunLoop();
    ASSERT_TRUE(WaitFor([&] { return held.load() == 1; }));
    a.Control().SetExitAfterThisDownload(true);  // a file is in flight: the worker ends the crawl
    EXPECT_FALSE(a.State().WorkersStopping());
    release.store(true);
    ASSERT_TRUE(JoinRunLoop());
    EXPECT_EQ(held.load(), 1);
    EXPECT_EQ(QueuedFiles(a).size(), 4u);
}

TEST_F(WorkFlowTest, NoPageIsTakenWhileTheDownloadQueueIsFull) {
    App& a = InitApp();
    HoldHandlers(a);
    a.Settings().minDownloadQueue.store(3);
    a.Settings().numDownloadThreads.store(1);
    QueueFiles(a, 4);
    QueuePages(a, 2);
    StartRunLoop();
    // The one download worker holds a file; three stay queued.
    ASSERT_TRUE(WaitFor([&] { return held.load() == 1 && a.Workers().LivePageWorkers() == 1; }));
    EXPECT_FALSE(a.Workers().AllowMorePages());
    EXPECT_EQ(a.Counters().pagesTaken.load(), 0u);
    release.store(true);
    EXPECT_TRUE(WaitFor([&] { return a.Counters().pagesTaken.load() == 2; }));
    StopRunLoop();
}

TEST_F(WorkFlowTest, StopEmptiesTheQueuesAndOffersToDeleteTheStateFile) {
    App& a = InitApp();
    { std::ofstream(a.Paths().stateFile) << "state"; }
    a.State().SetStateLoaded(true);
    port->QueueAnswer(Answer::Yes);
    HoldHandlers(a);
    a.Settings().numDownloadThreads.store(1);
    QueuePages(a, 10);
    QueueFiles(a, 10);
    StartRunLoop();
    ASSERT_TRUE(WaitFor([&] {
        return a.Counters().pagesTaken.load() == 1 && a.Counters().filesTaken.load() == 1;
    }));
    a.Control().Stop(/*clearVisited=*/true);
    release.store(true);
    ASSERT_TRUE(WaitFor([&] { return port->SawStatus("Stopped."); }));
    ASSERT_TRUE(WaitFor([&] { return !a.State().StopRequested(); }));
    { EXPECT_TRUE(!a.Queues().HasQueuedWork() && a.Queues().Visited()->Empty()); }
    const auto questions = port->Questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Do you want to delete the save file?");
    EXPECT_EQ(questions[0].caption, "Question");
    EXPECT_FALSE(std::filesystem::exists(a.Paths().stateFile));
    EXPECT_EQ(a.Counters().pagesTaken.load(), 1u);
    StopRunLoop();
}

TEST(TransferSlotTest, SlotsAreReusedAndShowTheirStatusText) {
    TransferSlotTable table;
    for (int i = 0; i < kTransferSlotCount; ++i)
        EXPECT_EQ(table.Acquire(), i);
    EXPECT_EQ(table.Acquire(), -1);
    table.Release(17);
    EXPECT_EQ(table.Acquire(), 17);
    EXPECT_EQ(table.Acquire(), -1);

    TransferSlot slot;
    EXPECT_EQ(SlotStatusText(slot), "");
    EXPECT_FALSE(SlotBusy(slot));
    slot.SetUrl("http://127.0.0.1/a.jpg");
    EXPECT_TRUE(SlotBusy(slot));
    EXPECT_EQ(SlotStatusText(slot), "http://127.0.0.1/a.jpg (connecting...)");
    slot.status.store(404);
    slot.connected.store(true);
    EXPECT_EQ(SlotStatusText(slot), "http://127.0.0.1/a.jpg (downloading...) - 404");
    slot.status.store(200);
    slot.done.store(10);
    EXPECT_EQ(SlotStatusText(slot), "http://127.0.0.1/a.jpg (10)");
    slot.total.store(99);
    slot.status.store(206);
    EXPECT_EQ(SlotStatusText(slot), "http://127.0.0.1/a.jpg (10 of 99) - 206");
    slot.cancel.store(true);
    EXPECT_FALSE(SlotBusy(slot));
    slot.SetUrl(std::string(300, 'u'));
    EXPECT_EQ(slot.Url().size(), 260u);
}

TEST(CounterTextTest, GroupsThousandsAndMillions) {
    EXPECT_EQ(FormatCounterText(Counter::LinksToGrubble, 1234567), "Links To Grubble: 1234,567");
    EXPECT_EQ(FormatCounterText(Counter::ToDownload, 1000), "To Download: 1,000");
    EXPECT_EQ(FormatCounterText(Counter::ToDownload, 1002003), "To Download: 1,002,003");
    EXPECT_EQ(FormatCounterText(Counter::InProcess, 1500), "In Process: 1500");
    EXPECT_EQ(FormatCounterText(Counter::UrlsScanned, 45), "URLs Scanned: 45");
    EXPECT_EQ(FormatCounterText(Counter::FilesDownloaded, 10000001),
              "Files Downloaded: 10,000,001");
}

}  // namespace
}  // namespace wg::test
