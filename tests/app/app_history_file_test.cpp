// "History.dta" and "History.bak" through the App.
#include "app/app_fixture.h"
#include "app/crawl_work.h"
#include "app/option_setters.h"
#include "platform/files.h"
#include "store/history_file.h"

namespace wg::test {
namespace {

class HistoryFileTest : public AppTest {
protected:
    static std::string Image(int first, int count) {
        std::string bytes;
        AppendHistoryCount(bytes, count);
        for (int i = first; i < first + count; ++i)
            AppendHistoryUrl(bytes, "http://h.example/f" + std::to_string(i) + ".zip");
        return bytes;
    }
    static std::vector<std::string> History(App& a) {
        std::vector<std::string> out;
        auto lock = a.Queues().History();
        UrlList& downloadHistory = lock->downloaded;
        downloadHistory.ForEach([&](const std::string& u) { out.push_back(u); });
        return out;
    }
};

TEST_F(HistoryFileTest, SavesWithABackupAndReadsBack) {
    App& a = InitApp();
    a.Settings().ignoreList.store(true);
    a.Work().RecordDownloaded("http://h.example/f0.zip");
    a.Work().RecordDownloaded("http://h.example/f1.zip");
    a.Work().SaveHistory();
    EXPECT_EQ(ReadWholeFile(a.Paths().historyFile), Image(0, 2));
    a.Work().RecordDownloaded("http://h.example/f2.zip");
    a.Work().SaveHistory();
    EXPECT_EQ(ReadWholeFile(a.Paths().historyBackup), Image(0, 2));
    EXPECT_EQ(ReadWholeFile(a.Paths().historyFile), Image(0, 3));

    app.reset();
    App& b = InitApp();
    b.Setters().SetIgnoreList(true);
    EXPECT_TRUE(b.State().HistoryLoaded());
    EXPECT_TRUE(b.Work().DownloadedBefore("http://h.example/f2.zip"));

    // Erasing the history and saving leaves an empty file and the old one as
    // the backup.
    port->QueueAnswer(Answer::Yes);
    b.Work().EraseUrlHistory(true);
    b.Work().SaveHistory();
    EXPECT_EQ(ReadWholeFile(b.Paths().historyFile), Image(0, 0));
    EXPECT_EQ(ReadWholeFile(b.Paths().historyBackup), Image(0, 3));
}

TEST_F(HistoryFileTest, KeepsTheNewest65536OfALongerFile) {
    App& a = InitApp();
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().historyFile, Image(0, 70000)), 0);
    a.Setters().SetIgnoreList(true);
    const std::vector<std::string> history = History(a);
    ASSERT_EQ(history.size(), 65536u);
    EXPECT_EQ(history.front(), "http://h.example/f4464.zip");
    EXPECT_EQ(history.back(), "http://h.example/f69999.zip");
}

TEST_F(HistoryFileTest, FallsBackOnTheBackupAndRetriesWhenBothAreMissing) {
    App& a = InitApp();
    a.Setters().SetIgnoreList(true);  // neither file: nothing happens, nothing is shown
    EXPECT_FALSE(a.State().HistoryLoaded());
    EXPECT_TRUE(port->Messages().empty());

    a.Settings().ignoreList.store(false);
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().historyBackup, Image(0, 2)), 0);
    a.Setters().SetIgnoreList(true);  // tried again
    EXPECT_TRUE(a.State().HistoryLoaded());
    EXPECT_EQ(History(a).size(), 2u);
    EXPECT_EQ(ReadWholeFile(a.Paths().historyFile), Image(0, 2));
    EXPECT_FALSE(std::filesystem::exists(a.Paths().historyBackup));
}

TEST_F(HistoryFileTest, RunThatNeverReadTheHistoryLeavesTheFilesAlone) {
    App& a = InitApp();
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().historyFile, Image(0, 5)), 0);
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().historyBackup, Image(0, 4)), 0);
    a.Work().SaveHistory();  // the history check is off: the file was never read
    app.reset();             // the shutdown save too
    EXPECT_EQ(ReadWholeFile(dir.path() / "History.dta"), Image(0, 5));
    EXPECT_EQ(ReadWholeFile(dir.path() / "History.bak"), Image(0, 4));
}

}  // namespace
}  // namespace wg::test
