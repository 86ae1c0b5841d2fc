// The " Find Duplicate Files" dialog over a temporary tree with known
// duplicates: the search runs beside the window, lists the pairs, and
// "Delete Duplicates" removes the later copies only when the user says Yes.
#include <QCheckBox>
#include <QListWidget>
#include <QTreeWidget>

#include "child_window_fixture.h"
#include "ui/find_duplicates_window.h"

namespace wg::test {
namespace {

class FindDuplicatesWindowTest : public ChildWindowTest {
protected:
    void SetUp() override {
        ChildWindowTest::SetUp();
        base = dir / "tree";
        const std::string big(70000, 'b');
        ASSERT_TRUE(WriteWholeFile(base / "one.bin", big));
        ASSERT_TRUE(WriteWholeFile(base / "sub" / "two.bin", big));
        ASSERT_TRUE(WriteWholeFile(base / "sub" / "deep" / "three.bin", big));
        ASSERT_TRUE(WriteWholeFile(base / "a.txt", "small and equal"));
        ASSERT_TRUE(WriteWholeFile(base / "sub" / "b.txt", "small and equal"));
        ASSERT_TRUE(WriteWholeFile(base / "other.bin", big.substr(1) + "c"));
        finder = Open<FindDuplicatesWindow>(mw::kMenuFindDuplicates);
        ASSERT_NE(finder, nullptr);
        In<QLineEdit>(finder, fd::kBaseDir)->setText(QString::fromStdString(base.string()));
        In<QCheckBox>(finder, fd::kSearchSubdirs)->setChecked(true);
    }

    void Click(int id) { In<QAbstractButton>(finder, id)->click(); }
    bool WaitIdle() {
        return QTest::qWaitFor([this] { return !finder->Searching(); }, 20000) &&
               QTest::qWaitFor([this] { return In(finder, fd::kFind)->isEnabled(); }, 2000);
    }
    // The result lines as (kept, duplicate) pairs.
    std::vector<std::pair<std::string, std::string>> Pairs() {
        std::vector<std::pair<std::string, std::string>> pairs;
        auto* list = In<QListWidget>(finder, fd::kResults);
        for (int i = 0; i < list->count(); ++i) {
            const std::string line = list->item(i)->text().toStdString();
            const std::size_t amp = line.find(" & ");
            const std::size_t end = line.rfind(" are identical");
            if (amp != std::string::npos && end != std::string::npos) {
                pairs.emplace_back(line.substr(0, amp), line.substr(amp + 3, end - amp - 3));
            }
        }
        return pairs;
    }
    std::string Status() { return In<QLabel>(finder, fd::kStatus)->text().toStdString(); }

    std::filesystem::path base;
    FindDuplicatesWindow* finder = nullptr;
};

TEST_F(FindDuplicatesWindowTest, FindListsThePairsAndDeleteRemovesTheCopiesOnlyOnYes) {
    for (const Answer reply : {Answer::No, Answer::Yes}) {
        SCOPED_TRACE(reply == Answer::Yes ? "Yes" : "No");
        Click(fd::kClear);  // with subdirectories searched, earlier lines would stay
        Click(fd::kFind);
        EXPECT_FALSE(In(finder, fd::kTree)->isVisible());
        ASSERT_TRUE(WaitIdle());

        const auto pairs = Pairs();
        ASSERT_EQ(pairs.size(), 3u);
        std::set<std::string> kept;
        std::set<std::string> copies;
        for (const auto& [k, d] : pairs) {
            kept.insert(k);
            copies.insert(d);
        }
        EXPECT_EQ(kept.size(), 2u);  // one file of each class is kept
        std::set<std::string> all = kept;
        all.insert(copies.begin(), copies.end());
        EXPECT_EQ(all, (std::set<std::string>{
                           (base / "one.bin").string(), (base / "sub/two.bin").string(),
                           (base / "sub/deep/three.bin").string(), (base / "a.txt").string(),
                           (base / "sub/b.txt").string()}));
        EXPECT_NE(Status().find("Double click above to open any of the 3 duplicated files"),
                  std::string::npos)
            << Status();
        ASSERT_TRUE(In(finder, fd::kDeleteDuplicates)->isEnabled());
        EXPECT_FALSE(In(finder, fd::kStop)->isEnabled());

        answer = reply;
        asked.clear();
        Click(fd::kDeleteDuplicates);
        ASSERT_EQ(asked.size(), 1u);
        ASSERT_TRUE(WaitIdle());
        for (const std::string& path : kept) {
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
        }
        for (const std::string& path : copies) {
            EXPECT_EQ(std::filesystem::exists(path), reply == Answer::No) << path;
        }
        EXPECT_TRUE(std::filesystem::exists(base / "other.bin"));
        if (reply == Answer::Yes) {
            EXPECT_EQ(Status(), " Finished Deleting Duplicates.");
            EXPECT_FALSE(In(finder, fd::kDeleteDuplicates)->isEnabled());
        }
    }
}

TEST_F(FindDuplicatesWindowTest, StopLeavesTheWindowUsableAndDoubleClickOpensBothFiles) {
    Click(fd::kFind);
    Click(fd::kStop);
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(In(finder, fd::kStop)->isEnabled());
    EXPECT_FALSE(finder->Closed());

    Click(fd::kClear);
    Click(fd::kFind);
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(Pairs().size(), 3u);
    auto* list = In<QListWidget>(finder, fd::kResults);
    QListWidgetItem* item = list->item(list->count() - 1);
    emit list->itemDoubleClicked(item);
    const auto pair = Pairs().back();
    EXPECT_EQ(opened, (std::vector<std::string>{pair.first, pair.second}));
}

TEST_F(FindDuplicatesWindowTest, CloseDuringASearchEndsTheWindowWhenTheSearchReturns) {
    Click(fd::kFind);
    Click(fd::kClose);
    ASSERT_TRUE(QTest::qWaitFor([this] { return finder->Closed(); }, 20000));
    EXPECT_FALSE(finder->Searching());
    window->ProcessMessages();
    EXPECT_EQ(window->findChild<FindDuplicatesWindow*>(), nullptr);
}

TEST_F(FindDuplicatesWindowTest, ABadBaseDirectoryStartsNothingAndWritesNoSettings) {
    app->Options().SaveSettings();
    const std::string before = SettingsText();
    for (const std::string& typed :
         {(dir / "missing").string(), std::string(5000, 'x'), (base / "a.txt").string()}) {
        In<QLineEdit>(finder, fd::kBaseDir)->setText(QString::fromStdString(typed));
        Click(fd::kFind);
        EXPECT_FALSE(finder->Searching());
        EXPECT_EQ(Status().rfind(" Cannot search", 0), 0u) << Status();
        EXPECT_TRUE(In(finder, fd::kFind)->isEnabled());
    }
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(FindDuplicatesWindowTest, TheTreeNarrowsTheSearchToTheSelectedDirectory) {
    Click(fd::kSet);
    auto* tree = In<QTreeWidget>(finder, fd::kTree);
    const auto found = tree->findItems(QStringLiteral("deep"), Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0]->parent()->text(0), QStringLiteral("sub"));
    EXPECT_EQ(In<QLabel>(finder, fd::kCounters)->text(), QStringLiteral("Files Found: 6"));
    tree->setCurrentItem(found[0]->parent());
    Click(fd::kFind);
    ASSERT_TRUE(WaitIdle());
    const auto pairs = Pairs();
    ASSERT_EQ(pairs.size(), 1u);  // sub/two.bin & sub/deep/three.bin in either order
    EXPECT_NE(pairs[0].first.find("/sub/"), std::string::npos);
}

}  // namespace
}  // namespace wg::test
