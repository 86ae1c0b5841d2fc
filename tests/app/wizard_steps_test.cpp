// The wizard's pages without its window: the paths through the pages and
// back, the empty-field messages, page 6's groups, and the answers written
// into the settings and the queues.
#include "app/wizard_steps.h"
#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "settings/type_groups.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

struct PathCase {
    const char* name;
    bool website;
    bool onePage;
    const char* url;
    int page4Radio;  // -1: as the page shows it
    Strings searchWords;
    std::vector<int> pages;  // from the first page of the mode to the last
};

// Goes from page 2 or 3 to page 11 with Next, answering each page.
std::vector<int> WalkForward(App& app, WizardState& s, const PathCase& c) {
    EnterWizardPage(s, c.website ? 2 : 3);
    if (c.website) {
        ChooseSinglePage(s, c.onePage);
    }
    std::vector<int> pages{s.page};
    for (int step = 0; step < 20 && s.page != kWizardLastPage; ++step) {
        WizardPageInput in;
        in.text = s.page == 5 ? "dl" : c.url;
        in.radio = s.page == 4 ? c.page4Radio : 0;
        if (s.page == 8) {
            in.entries = c.searchWords;
        }
        EXPECT_TRUE(CollectWizardStep(app, s, in).accepted) << c.name << " page " << s.page;
        EnterWizardPage(s, NextWizardPage(s));
        pages.push_back(s.page);
    }
    return pages;
}

TEST_F(AppTest, WizardPagesFollowTheModeTheUrlAndTheSearchWordsBothWays) {
    const std::vector<PathCase> cases = {
        {"one page", true, true, "site.example", -1, {"photo"}, {2, 10, 5, 11}},
        {"whole site", true, false, "site.example", -1, {"photo"}, {2, 7, 8, 9, 10, 5, 11}},
        {"short search words", true, false, "site.example", -1, {"ab"}, {2, 7, 8, 10, 5, 11}},
        {"media file", false, false, "h.example/song.mp3", 2, {}, {3, 4, 5, 11}},
        {"files of a site", false, false, "h.example/", 0, {"a"}, {3, 4, 5, 6, 7, 8, 10, 11}},
        {"with search", false, false, "h.example/", 1, {"cats"}, {3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    App& a = InitApp();
    for (const PathCase& c : cases) {
        WizardState s = ReadWizardState(a);
        s.searchType = kSearchInUrl;
        EXPECT_EQ(WalkForward(a, s, c), c.pages) << c.name;
        EXPECT_EQ(NextWizardPage(s), -1) << c.name;
        EXPECT_EQ(WizardQuestion(s.page, s.singleFile), "Miscellaneous Options:");
        if (c.searchWords == Strings{"ab"}) {
            EXPECT_EQ(s.searchType, kNoSearch);
        }
        // Prev retraces the way back to page 1.
        std::vector<int> back;
        while (s.page > 1 && back.size() < 20) {
            EnterWizardPage(s, PrevWizardPage(s));
            back.push_back(s.page);
        }
        std::vector<int> expected(c.pages.rbegin() + 1, c.pages.rend());
        expected.push_back(1);
        EXPECT_EQ(back, expected) << c.name;
    }
}

TEST_F(AppTest, WizardRefusesAnEmptyAddressOrDirectoryAndStays) {
    struct Case {
        int page;
        const char* text;
        const char* message;
    };
    const std::vector<Case> cases = {
        {2, "", "\n    Please enter the web address of the site you wish to search.    \n\n"},
        {3, "  \t ", "\n    Please enter the web address of the site you wish to search.    \n\n"},
        {5, "", "\n   Please enter a directory to download the files to.   \n\n"},
    };
    App& a = InitApp();
    for (const Case& c : cases) {
        WizardState s = ReadWizardState(a);
        const std::string dirBefore = s.directory;
        EnterWizardPage(s, c.page);
        WizardPageInput in;
        in.text = c.text;
        const WizardStep step = CollectWizardStep(a, s, in);
        EXPECT_FALSE(step.accepted) << c.page;
        EXPECT_EQ(step.message, c.message) << c.page;
        EXPECT_EQ(s.page, c.page);
        EXPECT_EQ(s.directory, dirBefore);
        EXPECT_EQ(a.Settings().lastUrlScanned.Get(), "");
    }
}

TEST_F(AppTest, WizardFileTypesPageGroupsAddAndRemoveTheirEntries) {
    App& a = InitApp();
    WizardState s = ReadWizardState(a);
    Strings list = OpenFileTypesPage(s, a.Settings());
    const Strings defaults = ParseTypeList(kDefaultFileTypes).entries;
    const Strings pictures = ParseTypeList(kDefaultPictureTypes).entries;
    const Strings music = ParseTypeList(kDefaultMusicTypes).entries;
    EXPECT_EQ(list, defaults);
    EXPECT_TRUE(s.groups[kBoxWebPages]);

    const auto join = [](Strings x, const Strings& y) {
        x.insert(x.end(), y.begin(), y.end());
        return x;
    };
    struct Step {
        std::size_t box;
        bool ticked;
        Strings list;
        std::array<bool, 4> groups;  // web, movies, music, pictures
    };
    const std::vector<Step> steps = {
        {kBoxPictures, true, pictures, {false, false, false, true}},
        {kBoxMusic, true, join(pictures, music), {false, false, true, true}},
        {kBoxPictures, false, music, {false, false, true, false}},
        {kBoxWebPages, true, join(music, defaults), {true, false, false, false}},
        {kBoxWebPages, false, music, {false, false, false, false}},
    };
    for (const Step& step : steps) {
        ToggleTypeGroup(s, list, step.box, step.ticked, a.Settings());
        EXPECT_EQ(list, step.list) << step.box << step.ticked;
        EXPECT_EQ(s.groups, step.groups) << step.box << step.ticked;
    }

    // The catch-all alone shows an empty list.
    WizardState dot = ReadWizardState(a);
    a.Settings().types.Set(TypeKind::FileTypes, ".");
    EXPECT_TRUE(OpenFileTypesPage(dot, a.Settings()).empty());
    EXPECT_FALSE(dot.groups[kBoxWebPages]);
}

TEST_F(AppTest, WizardChoicesGoIntoTheSettings) {
    App& a = InitApp();
    a.Settings().minFileSize.store(500);
    struct Case {
        bool website;
        std::array<bool, 4> page11;  // cookie, save every 5, third box, remove min size
        int dft;
        std::string_view fileTypes;
        std::string downloadKeywords;
        bool guess;
        bool asIs;
        int minSize;
    };
    // The groups ticked on page 6, and those with web pages.
    const int both = kGroupMovies | kGroupPictures;
    const int all = kGroupWebPages | both;
    const std::vector<Case> cases = {
        {false, {true, true, true, true}, both, ".jpg;.avi", "forum", true, false, 500},
        {true, {true, false, true, false}, all, kDefaultFileTypes, "", false, false, 500},
        {true, {false, false, false, true}, all, kDefaultFileTypes, "", false, true, 0},
    };
    for (const Case& c : cases) {
        WizardState s = ReadWizardState(a);
        s.websiteMode = c.website;
        s.url = "http://host/a/b/?x=1";
        s.directory = (dir.path() / "dl").string();
        s.fileTypes = ".jpg;.avi";
        s.groups = {false, true, false, true};
        s.skipWords = "forum";
        s.searchWords = "cats";
        s.searchType = kSearchOnPage;
        s.saveStructure = 1;
        s.page = kWizardLastPage;
        WizardPageInput in;
        in.checks = c.page11;
        ASSERT_TRUE(CollectWizardStep(a, s, in).accepted);
        a.State().SetStateFileDirty(false);
        ASSERT_TRUE(ApplyWizardChoices(a, s));
        const AppSettings& set = a.Settings();
        EXPECT_EQ(set.dft.load(), c.dft) << c.website;
        EXPECT_EQ(set.types.Text(TypeKind::FileTypes), c.fileTypes);
        EXPECT_EQ(set.types.Text(TypeKind::ExclusionTypes), "forum");
        EXPECT_EQ(set.types.Text(TypeKind::DownloadKeywords), c.downloadKeywords);
        EXPECT_EQ(set.types.Text(TypeKind::SearchWords), "cats");
        EXPECT_EQ(set.searchType.load(), kSearchOnPage);
        EXPECT_EQ(set.downloadDirStructure.load(), 1);
        EXPECT_EQ(set.guessUrls.load(), c.guess);
        EXPECT_EQ(set.sendCookie.load(), c.page11[0]);
        EXPECT_EQ(set.saveEvery5.load(), c.page11[1]);
        EXPECT_EQ(set.downloadAsIs.load(), c.asIs);
        EXPECT_EQ(set.minFileSize.load(), c.minSize);
        EXPECT_EQ(a.Paths().downloadDir, dir.path() / "dl");
        EXPECT_EQ(a.Paths().settingsFile, dir.path() / "host_a_b.ini");
        EXPECT_TRUE(a.State().StateFileDirty());
    }

    // A directory that cannot be used changes nothing else.
    ASSERT_TRUE(WriteWholeFile(dir.path() / "plain", "x"));
    WizardState bad = ReadWizardState(a);
    bad.directory = (dir.path() / "plain" / "below").string();
    bad.saveStructure = 2;
    EXPECT_FALSE(ApplyWizardChoices(a, bad));
    EXPECT_EQ(a.Settings().downloadDirStructure.load(), 1);
    EXPECT_EQ(a.Paths().downloadDir, dir.path() / "dl");

    // "More Options" on the first pages keeps the groups and the file types.
    a.Settings().dft.store(kGroupWebPages | kGroupMusic);
    a.Settings().types.Set(TypeKind::FileTypes, ".zip");
    const std::string settingsBefore = a.Paths().settingsFile.string();
    ASSERT_TRUE(ApplyWizardChoices(a, ReadWizardState(a)));
    EXPECT_EQ(a.Settings().dft.load(), kGroupWebPages | kGroupMusic);
    EXPECT_EQ(a.Settings().types.Text(TypeKind::FileTypes), ".zip");
    EXPECT_EQ(a.Paths().settingsFile.string(), settingsBefore);  // no address to name it after
}

TEST_F(AppTest, GoDigQueuesTheSiteOrTheSingleFile) {
    App& a = InitApp();
    WizardState site = ReadWizardState(a);
    EnterWizardPage(site, 2);
    site.url = "site.example/start";
    ASSERT_TRUE(StartFromWizard(a, site));
    EXPECT_EQ(QueuedPages(a), Strings{"http://site.example/start"});
    {
        auto lock = a.Queues().Pages();
        RecordList& linksToGrubble = *lock;
        const UrlRecordPtr page = linksToGrubble.Front();
        EXPECT_EQ(page->withinDomain, 1);
        EXPECT_EQ(page->allLinked, 0);
        EXPECT_EQ(page->thirdFlag, 1);
    }
    EXPECT_EQ(a.Paths().stateFile, dir.path() / "site.example_start.sav");
    EXPECT_EQ(WizardScope(site), CrawlScope::WithinDomain);

    WizardState file = ReadWizardState(a);
    EnterWizardPage(file, 3);
    file.url = "http://files.example/song.mp3";
    file.singleFile = true;
    ASSERT_TRUE(StartFromWizard(a, file));
    // (The site's start page is a wanted file too, under the default types.)
    EXPECT_EQ(QueuedFiles(a),
              (Strings{"http://site.example/start", "http://files.example/song.mp3"}));
    EXPECT_EQ(QueuedPages(a).size(), 1u);
    // A single file keeps the crawl's state file.
    EXPECT_EQ(a.Paths().stateFile, dir.path() / "site.example_start.sav");
    EXPECT_EQ(WizardScope(file), CrawlScope::FileUrl);
}

TEST(WizardHelp, EveryPageHasItsSectionOnTheHelpPage) {
    const std::string page = ReadWholeFile(std::filesystem::path(WG_SOURCE_DIR) / "docs/help.html");
    WizardState s;
    for (s.page = 0; s.page <= kWizardLastPage; ++s.page) {
        for (const bool website : {false, true}) {
            for (const bool single : {false, true}) {
                s.websiteMode = website;
                s.singleFile = single;
                const std::string anchor = WizardHelpAnchor(s);
                EXPECT_NE(page.find("id=\"" + anchor + "\""), std::string::npos) << anchor;
            }
        }
    }
}

}  // namespace
}  // namespace wg::test
