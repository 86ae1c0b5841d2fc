// " Web Grubbler Wizard" over a real App: opened from the main window's
// menu, driven page by page to "Go Dig" in website and file mode, and closed
// in each way at start-up. Each page is kept as a picture in the build's
// Testing/wizard-screenshots folder.

#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <filesystem>

#include "app/app_lists.h"
#include "child_window_fixture.h"
#include "settings/type_groups.h"
#include "ui/wizard_window.h"

namespace wg::test {
namespace {

class WizardWindowTest : public ChildWindowTest {
protected:
    WizardWindow* OpenWizard() {
        wizard = Open<WizardWindow>(mw::kMenuWizard);
        return wizard;
    }
    void Click(int id) { In<QAbstractButton>(wizard, id)->click(); }
    void Type(int id, const char* text) { In<QLineEdit>(wizard, id)->setText(text); }
    std::string Question() { return In<QLabel>(wizard, wz::kQuestion)->text().toStdString(); }
    std::string Label(int id) { return In<QAbstractButton>(wizard, id)->text().toStdString(); }
    bool Visible(int id) { return In(wizard, id)->isVisible(); }
    Strings List() {
        Strings entries;
        auto* list = In<QListWidget>(wizard, wz::kList);
        for (int i = 0; i < list->count(); ++i) {
            entries.push_back(list->item(i)->text().toStdString());
        }
        return entries;
    }
    void Shot(const std::string& name) {
        const std::filesystem::path shots =
            std::filesystem::path(WG_BUILD_DIR) / "Testing" / "wizard-screenshots";
        std::filesystem::create_directories(shots);
        EXPECT_TRUE(
            wizard->grab().save(QString::fromStdString((shots / (name + ".png")).string())));
    }
    bool ScopeChecked(int id) { return In<QAbstractButton>(window.get(), id)->isChecked(); }

    WizardWindow* wizard = nullptr;
};

// A new user's way: from the welcome page through every website page to
// "Go Dig", without another window touched on the way. (The crawl that Go Dig
// starts runs to its end in tests/x11/crawl_test.cpp, X11FirstRun.)
TEST_F(WizardWindowTest, WebsiteModeFromTheWelcomePageToGoDig) {
    const std::string site = "127.0.0.1:9";

    ASSERT_NE(OpenWizard(), nullptr);
    EXPECT_EQ(wizard->windowTitle(), QStringLiteral(" Web Grubbler Wizard"));
    EXPECT_EQ(Question(), "Welcome to Web Grubbler. Please select an option below:");
    EXPECT_FALSE(In(wizard, wz::kBig1)->isEnabled());  // no state file to load
    EXPECT_FALSE(In(wizard, wz::kPrev)->isEnabled());
    EXPECT_FALSE(In(wizard, wz::kNext)->isEnabled());
    Shot("page00-welcome");
    Click(wz::kBig2);  // "Wizard View"
    EXPECT_EQ(Question(), "Select a download option below:");
    EXPECT_EQ(Label(wz::kBig1), "Download Web Page(s)");
    Shot("page01-option");
    Click(wz::kBig1);
    EXPECT_EQ(Question(), "Enter Website Address below:");

    Click(wz::kNext);  // no address yet
    EXPECT_EQ(told, Strings{"Error: \n    Please enter the web address of the site you wish to "
                            "search.    \n\n"});
    EXPECT_EQ(Question(), "Enter Website Address below:");
    Type(wz::kEdit, (site + "/site/").c_str());
    Click(wz::kEntireSite);
    Shot("page02-website");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "To Skip URLS containing Keywords Enter Word(s) Below:");
    EXPECT_FALSE(Visible(wz::kWebPages));
    Type(wz::kEntry, "logout");
    Click(wz::kAdd);
    EXPECT_EQ(List(), Strings{"logout"});
    Shot("page07-skip-words");
    // More Options applies the list and shows it again at once: a Next while
    // the Options dialog is still open keeps the word.
    Click(wz::kMoreOptions);
    EXPECT_EQ(List(), Strings{"logout"});
    EXPECT_EQ(app->Settings().types.Text(TypeKind::ExclusionTypes), "logout");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "To Search By Keywords Within URLs Enter Word(s) Below:");
    EXPECT_EQ(app->Settings().types.Text(TypeKind::ExclusionTypes), "logout");
    EXPECT_EQ(List(), Strings{"."});
    Shot("page08-search-words");
    Click(wz::kRemoveAll);
    Click(wz::kNext);  // no search words: page 9 is skipped
    EXPECT_EQ(Question(), "Select How To Save Your Downloads:");
    Click(wz::kRadio2);  // "Directory Named After Website"
    Shot("page10-save");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Select Where To Download The Files On Your Computer:");
    Shot("page05-directory");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Miscellaneous Options:");
    EXPECT_EQ(Label(wz::kNext), "Go Dig");
    EXPECT_EQ(Label(wz::kCheck3), "Modify HTML for offline viewing");
    EXPECT_FALSE(Visible(wz::kCheck4));  // no minimum file size to remove
    Click(wz::kCheck3);                  // untick: pages are saved as they are
    Shot("page11-misc-website");
    Click(wz::kNext);

    EXPECT_TRUE(wizard->Closed());
    Settle();
    EXPECT_EQ(window->findChild<WizardWindow*>(), nullptr);
    EXPECT_EQ(QueuedPages(*app), Strings{"http://" + site + "/site/"});
    EXPECT_TRUE(ScopeChecked(mw::kWithinDomain));
    EXPECT_EQ(app->Settings().downloadDirStructure.load(), 1);
    EXPECT_TRUE(app->Settings().downloadAsIs.load());
    EXPECT_EQ(app->Paths().settingsFile.filename(), site + "_site.ini");
}

TEST_F(WizardWindowTest, FileModeWithAMediaUrlThenBackToAllItsPages) {
    ASSERT_NE(OpenWizard(), nullptr);
    Click(wz::kBig2);
    Click(wz::kBig2);  // "Download File(s)"
    EXPECT_EQ(Question(), "Enter Download URL below:");
    Type(wz::kEdit, "127.0.0.1:9/f/song.mp3");
    Shot("page03-file-url");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Select How To Download:");
    EXPECT_TRUE(In<QAbstractButton>(wizard, wz::kRadio3)->isChecked());  // a media file
    Shot("page04-how");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Select Where To Download The File On Your Computer:");
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Miscellaneous Options:");
    EXPECT_EQ(Label(wz::kCheck3), "Guess URLs");
    Shot("page11-misc-file");

    Click(wz::kPrev);
    Click(wz::kPrev);
    EXPECT_EQ(Question(), "Select How To Download:");
    Click(wz::kRadio2);  // follow all links: no longer one file
    Click(wz::kNext);
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Enter File Types To Download:");
    EXPECT_TRUE(In<QAbstractButton>(wizard, wz::kWebPages)->isChecked());
    EXPECT_EQ(List(), ParseTypeList(kDefaultFileTypes).entries);
    Click(wz::kMusic);
    EXPECT_FALSE(In<QAbstractButton>(wizard, wz::kWebPages)->isChecked());
    EXPECT_EQ(List(), ParseTypeList(kDefaultMusicTypes).entries);
    Shot("page06-file-types");
    Click(wz::kNext);
    Click(wz::kNext);
    Click(wz::kRemoveAll);
    Type(wz::kEntry, "live");
    Click(wz::kAdd);
    Click(wz::kNext);
    EXPECT_EQ(Question(), "Select How To Search Below:");
    Click(wz::kRadio1);  // "In URL"
    Shot("page09-search");
    Click(wz::kNext);
    Click(wz::kNext);
    Click(wz::kCheck3);  // "Guess URLs"
    Click(wz::kNext);

    EXPECT_TRUE(wizard->Closed());
    Settle();
    ASSERT_EQ(QueuedPages(*app), Strings{"http://127.0.0.1:9/f/song.mp3"});
    EXPECT_TRUE(ScopeChecked(mw::kAllLinked));
    const AppSettings& s = app->Settings();
    EXPECT_EQ(s.dft.load(), kGroupMusic);
    EXPECT_EQ(s.types.Text(TypeKind::FileTypes), kDefaultMusicTypes);
    EXPECT_EQ(s.types.Text(TypeKind::SearchWords), "live");
    EXPECT_EQ(s.searchType.load(), kSearchInUrl);
    EXPECT_TRUE(s.guessUrls.load());
}

TEST_F(WizardWindowTest, EachWayOfClosingItAtStartUp) {
    ASSERT_TRUE(WriteWholeFile(app->Paths().stateFile, ""));
    struct Case {
        const char* name;
        std::vector<int> clicks;  // 0: the close box
        bool exit;
        bool load;
    };
    const std::vector<Case> cases = {
        {"Cancel on the welcome page", {wz::kCancel}, true, false},
        {"close box on the welcome page", {0}, true, false},
        {"Classic View", {wz::kBig3}, false, false},
        {"Load", {wz::kBig1}, false, true},
        {"Load on the second page", {wz::kBig2, wz::kBig3}, false, true},
        {"Cancel on a later page", {wz::kBig2, wz::kBig1, wz::kCancel}, false, false},
    };
    for (const Case& c : cases) {
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* shown = qobject_cast<WizardWindow*>(top);
                if (shown == nullptr || !shown->isVisible()) {
                    continue;
                }
                for (const int id : c.clicks) {
                    if (id == 0) {
                        shown->close();
                    } else {
                        In<QAbstractButton>(shown, id)->click();
                    }
                }
                if (!shown->Closed()) {
                    ADD_FAILURE() << c.name << ": still open";
                    shown->close();
                }
            }
        });
        const WizardOutcome outcome = RunStartupWizard(*app, *port);
        EXPECT_EQ(outcome.exitRequested, c.exit) << c.name;
        EXPECT_EQ(outcome.loadState, c.load) << c.name;
    }
}

}  // namespace
}  // namespace wg::test
