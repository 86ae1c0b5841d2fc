// The queue viewers and the In Process list opened from the main window over
// a real App (no workers): paging with entries taken meanwhile, search and
// its deletion, selection, the questions, and what the window does with them.

#include <QTreeWidget>

#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/crawl_work.h"
#include "child_window_fixture.h"
#include "net/transfer_slots.h"
#include "support/http_test_server.h"
#include "ui/queue_viewer.h"
#include "util/timing.h"

namespace wg::test {
namespace {

std::string FileUrl(int n) {
    return "http://h.test/f" + std::to_string(n) + ".jpg";
}

std::vector<std::string> FileUrls(int from, int to) {
    std::vector<std::string> urls;
    for (int n = from; n <= to; ++n) {
        urls.push_back(FileUrl(n));
    }
    return urls;
}

class QueueViewerTest : public ChildWindowTest {
protected:
    void QueueFiles(const std::vector<std::string>& urls) {
        for (const std::string& url : urls) {
            app->Queues().Files()->PushBack(url);
        }
    }
    // Download workers take `count` files, as they would between two pages.
    void WorkersTake(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(app->Work().TakeNextDownload(kTransferSlotCount - 1).has_value());
        }
        app->Slots()[kTransferSlotCount - 1].SetUrl("");
    }

    // A button of the main window, or a menu item (4xxxx).
    QueueViewer* Open(int id, ListKind kind) {
        if (id >= mw::kMenuExplore) {
            window->Action(id)->trigger();
        } else {
            Button(window.get(), id)->click();
        }
        QueueViewer* viewer = window->Viewer(kind);
        EXPECT_NE(viewer, nullptr);
        return viewer;
    }
    static QTreeWidget* Tree(QueueViewer* v) {
        return v->findChild<QTreeWidget*>(DialogWindow::IdName(qv::kTree));
    }
};

TEST_F(QueueViewerTest, PagesByTwentyAndFollowsEntriesTakenMeanwhile) {
    QueueFiles(FileUrls(1, 45));
    QueueViewer* v = Open(mw::kViewToDownload, ListKind::Downloads);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->windowTitle(), QStringLiteral(" Files To Download Queue"));
    EXPECT_EQ(v->ShownTexts(), FileUrls(1, 20));
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  20   (of  45)"));
    EXPECT_FALSE(Button(v, qv::kPrev)->isEnabled());

    struct Step {
        int button;
        int first, last;  // entry numbers shown
        const char* start;
        const char* range;
    };
    for (const Step& step : {Step{qv::kJumpToEnd, 26, 45, "26", "  to  45   (of  45)"},
                             Step{qv::kPrev, 6, 25, "6", "  to  25   (of  45)"},
                             Step{qv::kJumpToBeginning, 1, 20, "1", "  to  20   (of  45)"},
                             Step{qv::kNext, 21, 40, "21", "  to  40   (of  45)"},
                             Step{qv::kReload, 21, 40, "21", "  to  40   (of  45)"}}) {
        Button(v, step.button)->click();
        EXPECT_EQ(v->ShownTexts(), FileUrls(step.first, step.last)) << step.button;
        EXPECT_EQ(TextOf(v, qv::kStart), QString::fromLatin1(step.start)) << step.button;
        EXPECT_EQ(TextOf(v, qv::kRange), QString::fromLatin1(step.range)) << step.button;
    }

    // Workers take 5 files: the next page still starts after f40, now at
    // position 36, and the timer's refresh moves the numbers of the shown page.
    Button(v, qv::kJumpToBeginning)->click();
    WorkersTake(5);
    v->Refresh();
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  15   (of  40)"));
    Button(v, qv::kNext)->click();
    EXPECT_EQ(v->ShownTexts(), FileUrls(21, 40));
    EXPECT_EQ(TextOf(v, qv::kStart), QStringLiteral("16"));
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  35   (of  40)"));

    // A number typed into the start edit; one beyond the queue shows the last page.
    for (const auto& [typed, first] : {std::pair{"30", 35}, std::pair{"999", 26}}) {
        QLineEdit* start = Edit(v, qv::kStart);
        start->setText(QString::fromLatin1(typed));
        QTest::keyClick(start, Qt::Key_Return);
        EXPECT_EQ(v->ShownTexts(), FileUrls(first, first + std::min(19, 45 - first))) << typed;
    }

    // An entry queued twice is shown once; a second press brings the same window.
    QueueFiles({FileUrl(99), FileUrl(99)});
    Button(v, qv::kJumpToEnd)->click();
    EXPECT_EQ(v->ShownTexts().back(), FileUrl(99));
    EXPECT_EQ(v->ShownTexts().size(), 19u);
    Button(window.get(), mw::kViewToDownload)->click();
    EXPECT_EQ(window->Viewer(ListKind::Downloads), v);
}

TEST_F(QueueViewerTest, SearchShowsMatchesAndDeleteAllFoundRemovesExactlyThose) {
    QueueFiles({FileUrl(1), "http://h.test/Movie1.avi", FileUrl(2), "http://h.test/a/MOVIE2.mpg",
                FileUrl(3), "http://h.test/movie3.mov", FileUrl(4)});
    QueueViewer* v = Open(mw::kMenuViewToDownload, ListKind::Downloads);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Button(v, qv::kDeleteAllFound)->text(), QStringLiteral("Delete All"));
    QLineEdit* search = Edit(v, qv::kSearchText);
    search->setText(QStringLiteral("MoViE"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_EQ(v->ShownTexts(),
              (std::vector<std::string>{"http://h.test/Movie1.avi", "http://h.test/a/MOVIE2.mpg",
                                        "http://h.test/movie3.mov"}));
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  7   (of  7)"));
    EXPECT_EQ(Button(v, qv::kDeleteAllFound)->text(), QStringLiteral("Delete All Found"));

    Button(v, qv::kDeleteAllFound)->click();
    EXPECT_EQ(port->StatusText(), "3 search terms found and deleted.");
    EXPECT_EQ(QueuedFiles(*app), FileUrls(1, 4));
    EXPECT_EQ(v->ShownTexts(), FileUrls(1, 4));
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_EQ(Button(v, qv::kDeleteAllFound)->text(), QStringLiteral("Delete All"));
    EXPECT_TRUE(asked.empty());

    // The terms are remembered: Down steps to older ones, Up back.
    search->setText(QStringLiteral("f3"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_EQ(v->ShownTexts(), (std::vector<std::string>{FileUrl(3)}));
    search->clear();
    for (const auto& [key, expected] :
         {std::pair{Qt::Key_Down, "f3"}, std::pair{Qt::Key_Down, "MoViE"},
          std::pair{Qt::Key_Up, "f3"}}) {
        QTest::keyClick(search, key);
        EXPECT_EQ(search->text(), QString::fromLatin1(expected));
    }
}

TEST_F(QueueViewerTest, DeleteSelectedAndSelectAllRemoveTheCheckedEntries) {
    QueueFiles(FileUrls(1, 25));
    QueueViewer* v = Open(mw::kViewToDownload, ListKind::Downloads);
    ASSERT_NE(v, nullptr);
    Tree(v)->topLevelItem(1)->setCheckState(0, Qt::Checked);
    Tree(v)->topLevelItem(2)->setCheckState(0, Qt::Checked);
    QTest::keyClick(Tree(v), Qt::Key_D, Qt::ControlModifier);
    std::vector<std::string> rest = FileUrls(4, 25);
    rest.insert(rest.begin(), FileUrl(1));
    EXPECT_EQ(QueuedFiles(*app), rest);
    // The page is full again, from the same start.
    EXPECT_EQ(v->ShownTexts(), std::vector<std::string>(rest.begin(), rest.begin() + 20));
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  20   (of  23)"));

    QTest::keyClick(Tree(v), Qt::Key_A, Qt::ControlModifier);
    Button(v, qv::kDeleteSelected)->click();
    EXPECT_EQ(QueuedFiles(*app), FileUrls(23, 25));
    EXPECT_EQ(v->ShownTexts(), FileUrls(23, 25));
}

TEST_F(QueueViewerTest, DeleteAllAsksFirst) {
    QueueFiles(FileUrls(1, 5));
    QueueViewer* v = Open(mw::kViewToDownload, ListKind::Downloads);
    ASSERT_NE(v, nullptr);
    for (const Answer given : {Answer::No, Answer::Yes}) {
        answer = given;
        Button(v, qv::kDeleteAllFound)->click();
    }
    const std::string question =
        "Warning: Are you sure you want to remove ALL entries in the download queue?";
    EXPECT_EQ(asked, (std::vector<std::string>{question, question}));
    EXPECT_TRUE(QueuedFiles(*app).empty());
    EXPECT_TRUE(v->ShownTexts().empty());
}

TEST_F(QueueViewerTest, PageViewerDeletesFoundPagesIntoTheVisitedList) {
    for (const char* url :
         {"http://h.test/a.html", "http://h.test/skip/b.html", "http://h.test/skip/c.html"}) {
        app->Queues().Pages()->PushBack(Rec(url));
    }
    QueueViewer* v = Open(mw::kViewToGrubble, ListKind::Pages);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->windowTitle(), QStringLiteral(" Web Pages To Grubble Queue"));
    EXPECT_EQ(TextOf(v, qv::kRange), QStringLiteral("  to  3  (of  3)"));
    EXPECT_EQ(Button(v, qv::kDeleteAllFound)->text(), QStringLiteral("Delete All Found"));
    Edit(v, qv::kSearchText)->setText(QStringLiteral("/SKIP/"));
    Button(v, qv::kDeleteAllFound)->click();
    EXPECT_EQ(port->StatusText(), "2 search terms found and deleted.");
    EXPECT_EQ(v->ShownTexts(), (std::vector<std::string>{"http://h.test/a.html"}));
    EXPECT_TRUE(app->Queues().Visited()->ContainsUrl("http://h.test/skip/c.html"));
}

TEST_F(QueueViewerTest, WindowCommandsPauseOpenAndClose) {
    QueueFiles(FileUrls(1, 3));
    QueueViewer* v = Open(mw::kViewToDownload, ListKind::Downloads);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(port->QueueViewerOpen());  // the periodic save waits

    // Pause from the viewer pauses the crawl; both windows say so.
    Button(v, qv::kPause)->click();
    EXPECT_TRUE(app->State().Paused());
    EXPECT_EQ(Button(v, qv::kPause)->text(), QStringLiteral("Unpause"));
    EXPECT_EQ(Button(window.get(), mw::kPause)->text(), QStringLiteral("Unpause"));

    // A right click opens the entry under the mouse.
    QTreeWidget* tree = Tree(v);
    emit tree->customContextMenuRequested(tree->visualItemRect(tree->topLevelItem(1)).center());
    EXPECT_EQ(opened, (std::vector<std::string>{FileUrl(2)}));

    // An emptied queue empties the viewer.
    app->Work().EmptyDownloads();
    EXPECT_TRUE(v->ShownTexts().empty());

    // Esc closes it; the window's pump forgets it and the save may run again.
    QTest::keyClick(tree, Qt::Key_Escape);
    EXPECT_TRUE(v->Closed());
    window->ProcessMessages();
    EXPECT_EQ(window->Viewer(ListKind::Downloads), nullptr);
    EXPECT_FALSE(port->QueueViewerOpen());
}

TEST_F(QueueViewerTest, InProcessListShowsTheBusySlots) {
    TransferSlot& slot = app->Slots()[kTransferSlotCount - 2];
    slot.ResetForItem();
    slot.SetUrl("http://h.test/big.zip");
    slot.connected.store(true);
    slot.total.store(1000);
    slot.done.store(250);
    QueueViewer* v = Open(mw::kViewInProcess, ListKind::InProcess);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->windowTitle(), QStringLiteral(" In Process List: 1"));
    EXPECT_EQ(v->ShownTexts(), (std::vector<std::string>{"http://h.test/big.zip (250 of 1000)"}));
    for (int id : {qv::kStart, qv::kSearchText, qv::kSearch, qv::kPrev, qv::kNext}) {
        EXPECT_FALSE(v->Control(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(port->QueueViewerOpen());  // not a queue: the save goes on
    slot.SetUrl("");
    v->Refresh();
    EXPECT_EQ(v->windowTitle(), QStringLiteral(" In Process List: 0"));
    EXPECT_TRUE(v->ShownTexts().empty());
}

TEST_F(QueueViewerTest, InProcessListFollowsARealTransfer) {
    app->SetTimings(FastAppTiming());
    {
        HttpTestServer server;
        ASSERT_TRUE(server.Running());
        Reply reply = Reply::Ok(std::string(20000, 'z'), "application/zip");
        reply.stallAfter = 1000;  // the transfer stays in process
        server.Route("/big.zip", reply);
        app->UseNetworkWorkers();
        app->StartWorkers();
        QueueViewer* v = Open(mw::kMenuViewInProcess, ListKind::InProcess);
        ASSERT_NE(v, nullptr);
        CrawlRequest request;
        request.address = server.Url("/big.zip");
        request.scope = CrawlScope::FileUrl;
        ASSERT_TRUE(app->StartCrawl(request));
        const std::string expected = request.address + " (1000 of 20000)";
        const bool seen = RunUntil([&] {
            v->Refresh();
            return v->ShownTexts() == std::vector<std::string>{expected};
        });
        EXPECT_TRUE(seen) << (v->ShownTexts().empty() ? "" : v->ShownTexts().front());
        EXPECT_EQ(v->windowTitle(), QStringLiteral(" In Process List: 1"));
        EndRunningApp();
    }
}

}  // namespace
}  // namespace wg::test
