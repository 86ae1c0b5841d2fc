#include <atomic>
#include <thread>

#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/crawl_work.h"

namespace wg::test {
namespace {

TEST_F(AppTest, AddSiteShapesRefusesAndShowsUnfilteredUrls) {
    App& a = InitApp();
    EXPECT_EQ(a.Work().AddSite("http://h/pic.gif", 0, 1, 0, false), nullptr);
    EXPECT_EQ(a.Work().AddSite("http://h/x;//--", 0, 1, 0, false), nullptr);
    ASSERT_NE(a.Work().AddSite("  http://h/a.htm target=_blank", 0, 1, 0, false), nullptr);
    EXPECT_EQ(port->StatusLine(), "Added site:  Following links within this domain only.");
    ASSERT_NE(a.Work().AddSite("http://h/b.htm\n TARGET=", 0, 0, 0, false), nullptr);
    EXPECT_EQ(port->StatusLine(), "Added single page to fetch.");
    ASSERT_NE(a.Work().AddSite("http://h/d.php?x>", 1, 1, 0, false), nullptr);
    EXPECT_EQ(port->StatusLine(), "Added site:  Following ALL links.");
    EXPECT_EQ(a.Work().AddSite("http://h/a.htm", 0, 1, 0, false), nullptr) << "already queued";
    ASSERT_NE(a.Work().AddSite("http%3A%2F%2Fh/e%20f.htm?q=%41", 0, 1, 0, false), nullptr);
    EXPECT_EQ(QueuedPages(a), (Strings{"http://h/a.htm", "http://h/b.htm", "http://h/d.php?x>",
                                       "http://h/e f.htm?q=%41"}));
    EXPECT_EQ(port->CounterText(Counter::LinksToGrubble), "Links To Grubble: 4");
    // The base URL is set before the record is queued.
    const std::string base = "http://h/dir/";
    ASSERT_NE(a.Work().AddSite("http://h/dir/app.js", 1, 0, 7, true, &base), nullptr);
    {
        auto lock = a.Queues().Pages();
        RecordList& linksToGrubble = *lock;
        EXPECT_TRUE(linksToGrubble.Entries().back()->hasBaseUrl);
        EXPECT_EQ(linksToGrubble.Entries().back()->baseUrl, base);
    }
    a.State().SetStopAddingLinks(true);
    EXPECT_EQ(a.Work().AddSite("http://h/z.htm", 0, 1, 0, false), nullptr);
}

TEST_F(AppTest, FilteredAddsOfScopedCrawlsApplyTheWordListsAndTheVisitedTest) {
    App& a = InitApp();
    a.Settings().searchType.store(kSearchInUrl);
    a.Settings().types.Set(TypeKind::SearchWords, "!forum;photo");
    EXPECT_EQ(a.Work().AddSite("http://h/forum/photo.htm", 0, 1, 0, true), nullptr);
    EXPECT_EQ(a.RejectReason().Get(), "Site contains no Search Words.");
    EXPECT_NE(a.Work().AddSite("http://h/photo.htm", 0, 1, 0, true), nullptr);
    EXPECT_EQ(a.RejectReason().Get(), "") << "a queued page clears the reason";

    a.Settings().searchType.store(kNoSearch);
    a.Settings().types.Set(TypeKind::ExclusionTypes, "logout");
    EXPECT_EQ(a.Work().AddSite("http://h/LogOut.htm", 1, 0, 0, true), nullptr);
    EXPECT_EQ(a.RejectReason().Get(), "Site contains Skip Word.");

    // A page this crawl visited itself is refused without a word; one an
    // earlier crawl left in the history is explained.
    a.Work().RecordVisited(Rec("http://h/seen.htm"), false);
    EXPECT_EQ(a.Work().AddSite("http://h/seen.htm", 0, 1, 0, true), nullptr);
    EXPECT_EQ(a.RejectReason().Get(), "Site contains Skip Word.");
    a.Counters().earlierVisits.store(1);
    EXPECT_EQ(a.Work().AddSite("http://h/seen.htm", 0, 1, 0, true), nullptr);
    EXPECT_EQ(a.RejectReason().Get(),
              "URL has been processed before. See Files menu 'Erase URL History'.");
    // Typed start pages and pages of an "Only This Web Page" crawl are not filtered.
    EXPECT_NE(a.Work().AddSite("http://h/seen.htm", 0, 1, 0, false), nullptr);
    EXPECT_NE(a.Work().AddSite("http://h/LogOut2.htm", 0, 0, 0, true), nullptr);
    a.Work().SetRejectReason(std::string(400, 'r'));
    EXPECT_EQ(a.RejectReason().Get().size(), 255u);
}

TEST_F(AppTest, SingleRedirectParameterKeyMakesDuplicates) {
    App& a = InitApp();
    a.Settings().singleRedirectParam.store(true);
    ASSERT_NE(a.Work().AddSite("http://h/p.php?a=1&c=3", 0, 1, 0, true), nullptr);
    EXPECT_EQ(a.Work().AddSite("http://h/p.php?a=1&b=2", 0, 1, 0, true), nullptr);
    // Another value of the first parameter is another page, even when one
    // value begins with the other.
    EXPECT_NE(a.Work().AddSite("http://h/p.php?a=10&b=2", 0, 1, 0, true), nullptr);
    EXPECT_NE(a.Work().AddSite("http://h/p.php?a=1", 0, 1, 0, true), nullptr);
    a.Settings().singleRedirectParam.store(false);
    EXPECT_NE(a.Work().AddSite("http://h/p.php?a=1&b=2", 0, 1, 0, true), nullptr);
}

TEST_F(AppTest, AddFileKeywordWalkFileTypesHistoryAndShaping) {
    App& a = InitApp();
    a.Settings().types.Set(TypeKind::DownloadKeywords, "!movie;trailer");
    a.Work().AddFile("http://h/movie-trailer.avi", false, false);
    a.Work().AddFile("http://h/other.avi", false, false);
    a.Work().AddFile("http://h/movie.avi", false, false);
    a.Work().AddFile("http://h/trailer.avi", true, false);  // a user's own file skips the keywords
    EXPECT_EQ(QueuedFiles(a), (Strings{"http://h/movie.avi", "http://h/trailer.avi"}));

    a.Settings().types.Set(TypeKind::DownloadKeywords, "");
    a.Work().AddFile(" http://h/file.zip/ ", false, false);
    a.Work().AddFile("http://h/x.jpg)", false, false);
    a.Work().AddFile("http://h/y.png>", false, false);
    a.Work().AddFileIfWanted("http://h/setup.exe", "", true);
    EXPECT_EQ(a.RejectReason().Get(), "File not in Download File Types. See options.");
    a.Work().AddFileIfWanted("http://h/photo.jpg", "", true);
    EXPECT_EQ(QueuedFiles(a),
              (Strings{"http://h/movie.avi", "http://h/trailer.avi", "http://h/file.zip",
                       "http://h/x.jpg", "http://h/y.png", "http://h/photo.jpg"}));
    EXPECT_EQ(port->CounterText(Counter::ToDownload), "To Download: 6");

    // Files downloaded before, and files already on disk, are left out.
    a.Settings().ignoreList.store(true);
    a.Work().RecordDownloaded("http://h/old.jpg");
    a.Work().AddFile("http://h/old.jpg", false, false);
    a.Hooks().alreadyOnDisk = [](const std::string& url) { return url == "http://h/disk.jpg"; };
    a.Work().AddFile("http://h/disk.jpg", false, false);
    a.Work().AddFile("http://h/disk.jpg", false, true);  // file-URL mode fetches it again
    EXPECT_EQ(QueuedFiles(a).back(), "http://h/disk.jpg");
    a.State().BeginStop(false);
    a.Work().AddFile("http://h/late.jpg", false, false);
    EXPECT_EQ(QueuedFiles(a).size(), 7u);
}

TEST_F(AppTest, HistoryLimitsAndTheLengthRule) {
    App& a = InitApp();
    for (int i = 0; i <= 65536; ++i)
        a.Work().RecordVisited(Rec("http://h/p" + std::to_string(i)), false);
    {
        auto lock = a.Queues().Visited();
        RecordList& visited = *lock;
        EXPECT_EQ(visited.Size(), 65536u);
        EXPECT_FALSE(visited.ContainsUrl("http://h/p0")) << "the oldest went, index too";
        EXPECT_TRUE(visited.IndexMatches());
    }
    EXPECT_TRUE(a.Work().UrlInHistory("  http://h/p65536 "));
    EXPECT_TRUE(a.Work().UrlInHistory("http:%2F%2Fh/p77"));

    // This run's downloads (no history check, web pages wanted): 32768 at most.
    for (int i = 0; i <= 32768; ++i)
        a.Work().RecordDownloaded("http://h/f" + std::to_string(i));
    EXPECT_FALSE(a.Work().DownloadedBefore("http://h/f0"));
    EXPECT_TRUE(a.Work().DownloadedBefore("http://h/f1"));
    a.Work().RecordDownloaded("http://h/" + std::string(767 - 9, 'x'));
    a.Work().RecordDownloaded("http://h/" + std::string(768 - 9, 'y'));
    EXPECT_TRUE(a.Work().DownloadedBefore("http://h/" + std::string(767 - 9, 'x')));
    EXPECT_FALSE(a.Work().DownloadedBefore("http://h/" + std::string(768 - 9, 'y')));
    a.Work().ClearRunDownloads();
    EXPECT_FALSE(a.Work().DownloadedBefore("http://h/f1"));

    // The download history when it is checked: 65536 at most.
    a.Settings().ignoreList.store(true);
    for (int i = 0; i <= 65536; ++i)
        a.Work().RecordDownloaded("http://h/g" + std::to_string(i));
    EXPECT_FALSE(a.Work().DownloadedBefore("http://h/g0"));
    EXPECT_TRUE(a.Work().DownloadedBefore("http://h/g65536"));
    auto lock = a.Queues().History();
    UrlList& downloadHistory = lock->downloaded;
    EXPECT_EQ(downloadHistory.Size(), 65536u);
    EXPECT_TRUE(downloadHistory.IndexMatches());
}

TEST_F(AppTest, EraseUrlHistoryAsksAndWaitsForBusySlots) {
    App& a = InitApp();
    a.Work().RecordVisited(Rec("http://h/v"), false);
    port->QueueAnswer(Answer::No);
    a.Work().EraseUrlHistory(true);
    EXPECT_EQ(port->StatusLine(), "Erase action aborted.");
    EXPECT_TRUE(a.Work().UrlInHistory("http://h/v"));

    // A transfer is in flight: the history is cleared only after it ends.
    const int slot = a.Slots().Acquire();
    a.Slots()[slot].SetUrl("http://h/busy.jpg");
    a.Counters().inProcessCount.store(1);
    a.Settings().ignoreList.store(true);
    a.Work().RecordDownloaded("http://h/done.jpg");
    port->QueueAnswer(Answer::Yes);
    std::thread finisher([&] {
        WaitFor([&] {
            return port->SawStatus(
                "Waiting for current downloads to finish before clearing URL history...");
        });
        EXPECT_TRUE(a.Work().UrlInHistory("http://h/v")) << "not cleared while the slot is busy";
        a.Slots()[slot].cancel.store(true);
    });
    a.Work().EraseUrlHistory(false);
    finisher.join();
    EXPECT_EQ(port->StatusLine(), "URL history erased.");
    EXPECT_FALSE(a.Work().UrlInHistory("http://h/v"));
    EXPECT_FALSE(a.Work().DownloadedBefore("http://h/done.jpg"));
    const auto questions = port->Questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].caption, "Warning");
    EXPECT_EQ(questions[1].text,
              " Found this URL in my history list of URLs scanned. \n\n Do you want to erase the "
              "history of URLs scanned? ");
    a.Slots().Release(slot);
}

TEST_F(AppTest, GuessingWalksTheDigits) {
    App& a = InitApp();
    UrlRecordPtr r = Rec("http://h/dir/p19%35.htm?n=3");
    r->withinDomain = 1;
    a.Work().GuessUrls(*r, true);
    // The '3' of "%35" is part of an escape and stays; the '5' after it does not.
    EXPECT_EQ(QueuedPages(a),
              (Strings{"http://h/dir/p29%35.htm?n=3", "http://h/dir/p20%35.htm?n=3",
                       "http://h/dir/p19%36.htm?n=3", "http://h/dir/p19%35.htm?n=4"}));
    a.Settings().noGuessAfterQuery.store(true);
    a.Work().GuessFileUrls("http://h/img/a5.jpg?v=1");
    EXPECT_EQ(QueuedFiles(a), (Strings{"http://h/img/a6.jpg?v=1", "http://h/img/a4.jpg?v=1"}));
    a.Work().GuessFileUrls("http://127.0.0.1/b9.jpg");
    EXPECT_EQ(QueuedFiles(a).back(), "http://127.0.0.1/b7.jpg") << "the host's digits are kept";
}

TEST_F(AppTest, TakingRemovingAndEmptying) {
    App& a = InitApp();
    a.Work().AddSite("http://h/1", 0, 1, 0, true);
    UrlRecordPtr second = a.Work().AddSite("http://h/2", 0, 1, 0, true);
    a.Work().AddFile("http://h/a.jpg", true, false);
    a.Work().AddFile("http://h/b.jpg", true, false);
    EXPECT_TRUE(a.Work().RemovePage(second.get()));
    EXPECT_TRUE(a.Work().UrlInHistory("http://h/2")) << "a removed page counts as visited";
    const int slot = a.Slots().Acquire();
    bool keep = true;
    UrlRecordPtr first = a.Work().TakeNextPage(slot, keep);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(keep);
    EXPECT_EQ(a.Slots()[slot].Url(), "http://h/1");
    EXPECT_EQ(a.Counters().pagesTaken.load(), 2u);

    EXPECT_TRUE(a.Work().RemoveDownload("http://h/a.jpg", false));
    a.Work().EmptyDownloads();
    EXPECT_TRUE(QueuedFiles(a).empty());
    EXPECT_EQ(port->CounterText(Counter::ToDownload), "To Download: 0");
    a.State().SetPaused(true);
    a.Work().AddFile("http://h/c.jpg", true, false);
    EXPECT_EQ(a.Work().TakeNextDownload(slot), std::nullopt) << "nothing is taken while paused";
    a.Slots().Release(slot);
}

TEST_F(AppTest, KeywordPurgesAskThenRemove) {
    App& a = InitApp();
    a.Work().AddSite("http://h/keep.htm", 0, 1, 0, true);
    a.Work().AddSite("http://h/Logout.htm", 0, 1, 0, true);
    a.Work().AddFile("http://h/movie.avi", true, false);
    a.Work().AddFile("http://h/photo.jpg", true, false);

    a.Settings().types.Set(TypeKind::ExclusionTypes, "logout");
    port->QueueAnswer(Answer::Yes);
    a.Work().ApplySkipKeywordsToQueue();
    EXPECT_EQ(QueuedPages(a), (Strings{"http://h/keep.htm"}));
    EXPECT_TRUE(a.Work().UrlInHistory("http://h/Logout.htm"));

    // A list of required words only: its appended catch-all is no keyword.
    a.Settings().types.Set(TypeKind::DownloadKeywords, "!photo");
    port->QueueAnswer(Answer::Yes);
    a.Work().ApplyDownloadKeywordsToQueue();
    EXPECT_EQ(QueuedFiles(a).size(), 2u);
    a.Settings().types.Set(TypeKind::DownloadKeywords, "movie");
    port->QueueAnswer(Answer::No);
    a.Work().ApplyDownloadKeywordsToQueue();
    EXPECT_EQ(QueuedFiles(a).size(), 2u);
    port->QueueAnswer(Answer::Yes);
    a.Work().ApplyDownloadKeywordsToQueue();
    EXPECT_EQ(QueuedFiles(a), (Strings{"http://h/photo.jpg"}));

    a.Settings().types.Set(TypeKind::SearchWords, "photo");
    a.Work().ApplySearchWordsToQueue();  // not " In URL": no question
    a.Settings().searchType.store(kSearchInUrl);
    port->QueueAnswer(Answer::Yes);
    a.Work().ApplySearchWordsToQueue();
    EXPECT_TRUE(QueuedPages(a).empty());
    const auto questions = port->Questions();
    ASSERT_EQ(questions.size(), 5u);
    EXPECT_EQ(questions[0].text,
              "Apply new 'Keywords in URL To Skip' to current 'To Grubble' list?");
    EXPECT_EQ(questions[1].text,
              "Apply new 'Keywords in Download To Skip' to current download list?");
    EXPECT_EQ(questions[4].text, "Apply new 'Search Words' to current site list?");
}

TEST_F(AppTest, ConcurrentAddsTakesAndRemovesKeepIndexesExact) {
    App& a = InitApp(false);
    a.Settings().singleRedirectParam.store(true);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&a, t] {
            for (int i = 0; i < 3000; ++i) {
                const std::string n = std::to_string((i * 7 + t) % 1500);
                a.Work().AddSite("http://h/p.php?id=" + n + "&t=" + std::to_string(t), 0, 1, 0,
                                 true);
                a.Work().AddFile("http://h/f" + n + ".jpg", false, false);
            }
        });
    }
    threads.emplace_back([&a, &stop] {
        const int slot = a.Slots().Acquire();
        while (!stop.load()) {
            bool keep = false;
            (void)a.Work().TakeNextPage(slot, keep);
            (void)a.Work().TakeNextDownload(slot);
            a.Work().RemoveDownload("http://h/f3.jpg", true);
        }
        a.Slots().Release(slot);
    });
    for (std::size_t t = 0; t < 3; ++t)
        threads[t].join();
    stop.store(true);
    threads.back().join();
    EXPECT_TRUE(a.Queues().Pages()->IndexMatches());
    EXPECT_TRUE(a.Queues().Files()->IndexMatches());
    EXPECT_TRUE(a.Queues().Visited()->IndexMatches());
    EXPECT_TRUE(a.Queues().History()->thisRun.IndexMatches());
}

}  // namespace
}  // namespace wg::test
