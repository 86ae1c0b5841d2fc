// The " Download Directories" dialog: what "Save" applies (and refuses),
// the sub-directory list it generates, and the runtime detection question.
#include <QCheckBox>
#include <QPushButton>

#include "child_window_fixture.h"
#include "download/directory_search.h"
#include "ui/directories_window.h"

namespace wg::test {
namespace {

using DirectoriesWindowTest = ChildWindowTest;

TEST_F(DirectoriesWindowTest, SaveAppliesGoodDirectoriesAndRefusesBadOnesWithNothingWritten) {
    const std::filesystem::path good = dir / "kept";
    std::filesystem::create_directories(good);
    ASSERT_TRUE(WriteWholeFile(dir / "plain.txt", "x"));
    struct Case {
        const char* name;
        std::string typed;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"existing directory", good.string(), true},
        {"empty row", "", true},
        {"missing directory", (dir / "missing").string(), false},
        {"a file, not a directory", (dir / "plain.txt").string(), false},
        {"5,000 characters", std::string(5000, 'd'), false},
        {"a line break", good.string() + "\nSAVEPATH=/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app->Directories().SetCheckDir("", 2);
        app->Options().SaveSettings();
        const std::string before = SettingsText();
        told.clear();

        auto* dialog = Open<DirectoriesWindow>(mw::kMenuDirectories);
        ASSERT_NE(dialog, nullptr);
        In<QLineEdit>(dialog, dd::kFirstEdit + 2)->setText(QString::fromStdString(c.typed));
        In<QAbstractButton>(dialog, dd::kSave)->click();

        if (c.accepted) {
            EXPECT_TRUE(told.empty());
            EXPECT_TRUE(dialog->Closed());
            EXPECT_EQ(app->Directories().GetCheckDir(2).value_or("?"), c.typed);
            EXPECT_NE(SettingsText().find("CHECK_DIR2=" + c.typed + "\n"), std::string::npos);
        } else {
            ASSERT_EQ(told.size(), 1u);
            EXPECT_NE(told[0].find("Dir 3: "), std::string::npos) << told[0];
            EXPECT_FALSE(dialog->Closed());
            EXPECT_EQ(app->Directories().GetCheckDir(2).value_or("?"), "");
            EXPECT_EQ(SettingsText(), before);
            In<QAbstractButton>(dialog, dd::kCancel)->click();
            EXPECT_TRUE(dialog->Closed());
        }
        window->ProcessMessages();
        EXPECT_EQ(window->findChild<DirectoriesWindow*>(), nullptr);
    }
}

TEST_F(DirectoriesWindowTest, LookInSubdirectoriesGeneratesAndSavesTheList) {
    const std::filesystem::path root = dir / "earlier";
    std::filesystem::create_directories(root / "a" / "b");
    std::filesystem::create_directories(root / "c");
    auto* dialog = Open<DirectoriesWindow>(mw::kMenuDirectories);
    ASSERT_NE(dialog, nullptr);
    In<QLineEdit>(dialog, dd::kFirstEdit)->setText(QString::fromStdString(root.string()));
    auto* look = In<QCheckBox>(dialog, dd::kLookInSubdirs);
    look->setChecked(false);
    look->click();
    EXPECT_TRUE(In(dialog, dd::kSaveSubdirs)->isEnabled());
    In<QAbstractButton>(dialog, dd::kSaveSubdirs)->click();
    In<QAbstractButton>(dialog, dd::kSave)->click();

    ASSERT_TRUE(dialog->Closed());
    EXPECT_TRUE(app->Settings().searchDlSubDirs.load());
    const auto list = app->Directories().SubDirectories().Get();
    ASSERT_TRUE(list);
    const std::set<std::string> listed(list->begin(), list->end());
    EXPECT_EQ(listed, (std::set<std::string>{(root / "a").string(), (root / "a" / "b").string(),
                                             (root / "c").string()}));
    EXPECT_TRUE(std::filesystem::exists(app->Paths().settingsFile.string() + ".dirs"));
}

TEST_F(DirectoriesWindowTest, RuntimeDetectionIsSwitchedOnOnlyWhenTheWarningIsAccepted) {
    for (const Answer reply : {Answer::No, Answer::Yes}) {
        answer = reply;
        asked.clear();
        auto* dialog = Open<DirectoriesWindow>(mw::kMenuDirectories);
        ASSERT_NE(dialog, nullptr);
        auto* detect = In<QCheckBox>(dialog, dd::kRuntimeDetect);
        ASSERT_FALSE(detect->isChecked());
        EXPECT_FALSE(In(dialog, dd::kUpdateDupeData)->isEnabled());
        detect->click();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].rfind("Warning: Depending on the number of files", 0), 0u);
        EXPECT_EQ(detect->isChecked(), reply == Answer::Yes);
        EXPECT_EQ(In(dialog, dd::kUpdateDupeData)->isEnabled(), reply == Answer::Yes);
        In<QAbstractButton>(dialog, dd::kCancel)->click();
        window->ProcessMessages();
        EXPECT_FALSE(app->Settings().runtimeDuplicateDetect.load());
    }
}

TEST_F(DirectoriesWindowTest, ASecondPressBringsTheOpenWindowBackAndExploreOpensTheRow) {
    auto* first = Open<DirectoriesWindow>(mw::kMenuDirectories);
    auto* second = Open<DirectoriesWindow>(mw::kMenuDirectories);
    EXPECT_EQ(first, second);
    EXPECT_EQ(window->findChildren<DirectoriesWindow*>().size(), 1);
    EXPECT_EQ(first->windowTitle(), QStringLiteral(" Download Directories"));

    In<QAbstractButton>(first, dd::kFirstExplore + 4)->click();  // empty: nothing
    In<QLineEdit>(first, dd::kFirstEdit + 4)->setText(QStringLiteral("/tmp"));
    In<QAbstractButton>(first, dd::kFirstExplore + 4)->click();
    chosen = "/srv/chosen";
    In<QAbstractButton>(first, dd::kBrowse[9])->click();
    EXPECT_EQ(opened, (std::vector<std::string>{"/tmp"}));
    EXPECT_EQ(In<QLineEdit>(first, dd::kFirstEdit + 9)->text(), QStringLiteral("/srv/chosen"));
}

}  // namespace
}  // namespace wg::test
