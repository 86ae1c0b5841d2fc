// " Options" and " Advanced Options" over a real App, opened from the main
// window: what they show, what "Save" refuses and applies, their enable
// rules, "Defaults", and the queue questions of changed keyword lists.

#include <QUrl>

#include "app/app_lists.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"
#include "child_window_fixture.h"
#include "settings/settings_file.h"
#include "ui/options_window.h"

namespace wg::test {
namespace {

class OptionsWindowTest : public ChildWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ChildWindowTest::SetUp());
        app->Options().SaveSettings();
    }

    OptionsWindow* OpenOptions() {
        Click(mw::kOptions);
        return window->findChild<OptionsWindow*>(DialogWindow::IdName(ow::kOptionsDialog));
    }
    AdvancedOptionsWindow* OpenAdvanced() {
        Item(mw::kMenuAdvanced)->trigger();
        return window->findChild<AdvancedOptionsWindow*>(DialogWindow::IdName(ow::kAdvancedDialog));
    }
    std::string SettingsFile() const { return ReadWholeFile(app->Paths().settingsFile); }
    std::string SettingsText() const { return FormatSettings(app->Settings(), app->Paths()); }
};

TEST_F(OptionsWindowTest, TheDialogsShowTheSettingsTheyOpenWith) {
    AppSettings& s = app->Settings();
    s.maxFileSize.store(5000);
    s.guessUrls.store(true);
    s.logUrlErrors.store(true);
    s.searchType.store(kSearchInUrl);
    s.downloadDirStructure.store(2);
    s.dft.store(kGroupMovies | kGroupMusic);
    s.types.Set(TypeKind::ExclusionTypes, "forum;login");
    s.numUrlThreads.store(4);
    s.priority.store(-2);
    s.redirDefaultType.store(0);
    s.showLastImage.store(false);
    app->Paths().settingsFile = dir.path() / "site.ini";

    OptionsWindow* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->windowTitle(), QStringLiteral(" Options: site.ini"));
    const std::vector<std::pair<int, QString>> texts = {
        {ow::kMinFileSize, ""},
        {ow::kMaxFileSize, "5000"},
        {ow::kSkipKeywords, "forum;login"},
        {ow::kDownloadDir, QString::fromStdString(app->Paths().downloadDir.string())},
        {ow::kSearchWords, "."}};
    for (const auto& [id, text] : texts) {
        EXPECT_EQ(Edit(options, id)->text(), text) << id;
    }
    // {id, checked, enabled}
    const std::vector<std::tuple<int, bool, bool>> boxes = {
        {ow::kLogUrlErrors, false, false}, {ow::kNoGuessAfterQuery, false, true},
        {ow::kGuessUrls, true, true},      {ow::kSearchInUrl, true, true},
        {ow::kNoSearch, false, true},      {ow::kNoSubDirs, true, true},
        {ow::kWebPages, false, true},      {ow::kMovies, true, true},
        {ow::kMusic, true, true},          {ow::kVerbose, true, true}};
    for (const auto& [id, checked, enabled] : boxes) {
        EXPECT_EQ(Button(options, id)->isChecked(), checked) << id;
        EXPECT_EQ(Button(options, id)->isEnabled(), enabled) << id;
    }

    AdvancedOptionsWindow* advanced = OpenAdvanced();
    ASSERT_NE(advanced, nullptr);
    EXPECT_EQ(advanced->windowTitle(), QStringLiteral(" Advanced Options: site.ini"));
    EXPECT_EQ(Edit(advanced, ow::kUrlThreads)->text(), QStringLiteral("4"));
    EXPECT_EQ(Edit(advanced, ow::kDownloadThreads)->text(), QStringLiteral("3"));
    EXPECT_EQ(Edit(advanced, ow::kUserAgent)->text().toStdString(), kDefaultUserAgent);
    const std::vector<std::tuple<int, bool, bool>> advancedBoxes = {
        {ow::kPriorityLow, true, true},    {ow::kPriorityNormal, false, true},
        {ow::kRedirPhp, true, true},       {ow::kRedirAsp, false, true},
        {ow::kShowLastImage, false, true}, {ow::kResizeLastImage, true, false},
        {ow::kLogUrls, false, true},       {ow::kNoDownload, false, false},
        {ow::kShowExitingMsgs, true, true}};
    for (const auto& [id, checked, enabled] : advancedBoxes) {
        EXPECT_EQ(Button(advanced, id)->isChecked(), checked) << id;
        EXPECT_EQ(Button(advanced, id)->isEnabled(), enabled) << id;
    }
}

TEST_F(OptionsWindowTest, BadInputIsRefusedWithNothingAppliedOrWritten) {
    ASSERT_TRUE(WriteWholeFile(dir.path() / "plain-file", "x"));
    struct Case {
        bool advanced;
        int field;
        std::string text;
        std::string told;  // part of the message
    };
    const std::vector<Case> cases = {
        {false, ow::kMinFileSize, "12abc", "Min. File Size: takes a whole number of bytes"},
        {false, ow::kMinFileSize, "-5", "from 0 to 2147483647, not '-5'"},
        {false, ow::kMaxFileSize, "abc", "Max. File Size: takes a whole number"},
        {false, ow::kMaxFileSize, "99999999999", "Max. File Size:"},
        {false, ow::kSkipKeywords, std::string(5000, 'k'),
         "Keywords In URL To Skip: takes at most 1023 characters, not 5000."},
        {false, ow::kFileTypes, std::string(5000, 'f'), "Download Files Types: takes at most"},
        {false, ow::kDownloadDir, (dir.path() / "plain-file" / "below").string(), "Cannot use \""},
        {true, ow::kUrlThreads, "0",
         "Num. URL Download Threads: takes a whole number from 1 to 32"},
        {true, ow::kDownloadThreads, "999", "from 1 to 32, not '999'"},
        {true, ow::kDownloadThreads, "three", "Num. File Download Threads:"},
        {true, ow::kMinDownloads, "0", "Min. Downloads (below which search for more):"},
        {true, ow::kUserAgent, std::string(300, 'a'), "User-Agent: takes at most 259"},
    };
    const std::string settingsBefore = SettingsText();
    const std::string fileBefore = SettingsFile();
    for (const Case& c : cases) {
        told.clear();
        QWidget* dialog = c.advanced ? static_cast<QWidget*>(OpenAdvanced())
                                     : static_cast<QWidget*>(OpenOptions());
        ASSERT_NE(dialog, nullptr);
        // A good change beside the bad one is not applied either.
        Click(dialog, c.advanced ? ow::kLogDebug : ow::kVerbose);
        Edit(dialog, c.field)->setText(QString::fromStdString(c.text));
        Click(dialog, ow::kSave);
        Settle();
        ASSERT_EQ(told.size(), 1u) << c.text;
        EXPECT_NE(told[0].find(c.told), std::string::npos) << told[0];
        EXPECT_EQ(SettingsText(), settingsBefore) << c.text;
        EXPECT_EQ(SettingsFile(), fileBefore) << c.text;
        // The dialog stays open with the field to mend.
        ASSERT_NE(window->findChild<DialogWindow*>(
                      DialogWindow::IdName(c.advanced ? ow::kAdvancedDialog : ow::kOptionsDialog)),
                  nullptr);
        Click(dialog, ow::kCancel);
        Settle();
    }
    // A maximum not above the minimum.
    told.clear();
    OptionsWindow* options = OpenOptions();
    Edit(options, ow::kMinFileSize)->setText(QStringLiteral("20"));
    Edit(options, ow::kMaxFileSize)->setText(QStringLiteral("10"));
    Click(options, ow::kSave);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Max. File Size: must be larger than the minimum size (20)"),
              std::string::npos);
    EXPECT_EQ(SettingsFile(), fileBefore);
}

TEST_F(OptionsWindowTest, SaveAppliesAndWritesTheChanges) {
    OptionsWindow* options = OpenOptions();
    Edit(options, ow::kMinFileSize)->setText(QStringLiteral(" 100 "));
    Edit(options, ow::kMaxFileSize)->setText(QStringLiteral("5000"));
    Edit(options, ow::kSiteTypes)->clear();  // empty keeps the list
    Edit(options, ow::kSearchWords)->setText(QStringLiteral("photo*"));
    Edit(options, ow::kFileTypes)->setText(QStringLiteral("*.jpg"));
    Click(options, ow::kSiteDir);
    Click(options, ow::kSendCookies);
    Click(options, ow::kSearchOnPage);
    Click(options, ow::kSave);
    Settle();
    EXPECT_EQ(window->findChild<OptionsWindow*>(), nullptr);
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Warning: Wild cards (like *) are not supported.",
                        "Warning: * is not support. To download all file types that\nstart "
                        "with, for example, .sw, just enter .sw"}));
    const AppSettings& s = app->Settings();
    EXPECT_EQ(s.minFileSize.load(), 100);
    EXPECT_EQ(s.maxFileSize.load(), 5000);
    EXPECT_EQ(s.types.Text(TypeKind::SiteTypes), kDefaultSiteTypes);
    EXPECT_EQ(s.types.Text(TypeKind::FileTypes), "*.jpg");
    EXPECT_EQ(s.downloadDirStructure.load(), 1);
    EXPECT_EQ(s.searchType.load(), kSearchOnPage);
    const std::string file = SettingsFile();
    for (const char* line : {"MIN_FILE_SIZE=100\n", "MAX_FILE_SIZE=5000\n", "SEND_COOKIE=1\n",
                             "URL_SEARCH_WORDS=photo*\n", "FILE_TYPES=*.jpg\n", "SEARCH_TYPE=2\n",
                             "DOWNLOAD_DIR_STRUCTURE=1\n"}) {
        EXPECT_NE(file.find(line), std::string::npos) << line;
    }

    // A cleared minimum stores 0.
    options = OpenOptions();
    Edit(options, ow::kMinFileSize)->clear();
    Click(options, ow::kSave);
    EXPECT_EQ(s.minFileSize.load(), 0);
    Settle();

    // "~/..." is the home folder, as in the main window's field.
    const std::filesystem::path home = dir.path() / "home";
    std::filesystem::create_directories(home / "dl");
    const QByteArray homeBefore = qgetenv("HOME");
    qputenv("HOME", home.string().c_str());
    options = OpenOptions();
    Edit(options, ow::kDownloadDir)->setText(QStringLiteral(" ~/dl "));
    Click(options, ow::kSave);
    qputenv("HOME", homeBefore);
    EXPECT_EQ(app->Paths().downloadDir, home / "dl");
    Settle();

    // The advanced values, while workers run: more start at once, fewer
    // wait for the next start with the notice.
    app->StartWorkers();
    told.clear();
    AdvancedOptionsWindow* advanced = OpenAdvanced();
    Edit(advanced, ow::kUrlThreads)->setText(QStringLiteral("3"));
    Edit(advanced, ow::kUserAgent)->setText(QStringLiteral("Grubbler-Test"));
    Click(advanced, ow::kNoDownload);  // disabled: Log Valid URLs is off
    Click(advanced, ow::kLogUrls);
    Click(advanced, ow::kNoDownload);
    Click(advanced, ow::kLogUrls);  // off again: NO_DOWNLOAD is stored as 0
    Click(advanced, ow::kPriorityLow);
    Click(advanced, ow::kRedirJsp);
    Click(advanced, ow::kSave);
    Settle();
    EXPECT_TRUE(WaitFor([&] { return app->Workers().LivePageWorkers() == 3; }));
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(s.userAgent.Get(), "Grubbler-Test");
    EXPECT_EQ(s.priority.load(), -2);
    EXPECT_FALSE(s.noDownload.load());
    for (const char* line : {"NUM_URL_THREADS=3\n", "USER_AGENT=Grubbler-Test\n", "PRIORITY=-2\n",
                             "REDIR_DEFAULT_TYPE=2\n", "NO_DOWNLOAD=0\n"}) {
        EXPECT_NE(SettingsFile().find(line), std::string::npos) << line;
    }

    advanced = OpenAdvanced();
    Edit(advanced, ow::kUrlThreads)->setText(QStringLiteral("2"));
    Click(advanced, ow::kSave);
    Settle();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Notice: The change in the number of URL processing threads will\nnot take effect "
              "until Web Grubbler is restarted");
    EXPECT_EQ(app->Workers().LivePageWorkers(), 3);
    EXPECT_EQ(s.numUrlThreads.load(), 2);
}

TEST_F(OptionsWindowTest, ClicksFollowTheEnableAndGroupRules) {
    OptionsWindow* options = OpenOptions();
    Click(options, ow::kLogUrlErrors);
    Click(options, ow::kGuessUrls);
    EXPECT_FALSE(Button(options, ow::kLogUrlErrors)->isChecked());
    EXPECT_FALSE(Button(options, ow::kLogUrlErrors)->isEnabled());
    EXPECT_TRUE(Button(options, ow::kNoGuessAfterQuery)->isEnabled());
    Click(options, ow::kGuessUrls);
    EXPECT_TRUE(Button(options, ow::kLogUrlErrors)->isEnabled());
    EXPECT_FALSE(Button(options, ow::kNoGuessAfterQuery)->isEnabled());

    // Each radio group holds one choice.
    Click(options, ow::kSearchInUrl);
    Click(options, ow::kNoSearch);
    EXPECT_FALSE(Button(options, ow::kSearchInUrl)->isChecked());
    EXPECT_TRUE(Button(options, ow::kMirrorDirs)->isChecked());

    // The type boxes compose the file types as the main window's do.
    const AppSettings& s = app->Settings();
    Click(options, ow::kWebPages);
    Click(options, ow::kMovies);
    EXPECT_EQ(Edit(options, ow::kFileTypes)->text().toStdString(),
              s.types.Text(TypeKind::MovieTypes));
    Click(options, ow::kSave);
    EXPECT_EQ(s.dft.load(), kGroupMovies);
    EXPECT_EQ(s.types.Text(TypeKind::FileTypes), s.types.Text(TypeKind::MovieTypes));
}

TEST_F(OptionsWindowTest, DefaultsResetAtOnceAndCancelKeepsTheReset) {
    AppSettings& s = app->Settings();
    s.minFileSize.store(77);
    s.guessUrls.store(true);
    s.types.Set(TypeKind::SiteTypes, ".only");
    s.numDownloadThreads.store(5);
    s.singleRedirectParam.store(false);
    const std::string file = SettingsFile();

    OptionsWindow* options = OpenOptions();
    Click(options, ow::kDefaults);
    EXPECT_EQ(Edit(options, ow::kMinFileSize)->text(), QString());
    EXPECT_EQ(Edit(options, ow::kSiteTypes)->text().toStdString(), kDefaultSiteTypes);
    EXPECT_FALSE(Button(options, ow::kGuessUrls)->isChecked());
    EXPECT_TRUE(Button(options, ow::kWebPages)->isChecked());
    Click(options, ow::kCancel);
    EXPECT_EQ(s.minFileSize.load(), 0);
    EXPECT_EQ(s.types.Text(TypeKind::SiteTypes), kDefaultSiteTypes);

    AdvancedOptionsWindow* advanced = OpenAdvanced();
    Click(advanced, ow::kDefaults);
    EXPECT_EQ(Edit(advanced, ow::kDownloadThreads)->text(), QStringLiteral("2"));
    EXPECT_TRUE(Button(advanced, ow::kSingleRedirectParam)->isChecked());
    Click(advanced, ow::kCancel);
    EXPECT_EQ(s.numDownloadThreads.load(), 2);
    EXPECT_EQ(SettingsFile(), file) << "Defaults writes nothing";
}

TEST_F(OptionsWindowTest, ChangedKeywordListsAskAboutTheQueues) {
    (void)app->Work().AddSite("http://127.0.0.1:9/forum/a.html", 1, 0, 0, false);
    (void)app->Work().AddSite("http://127.0.0.1:9/b.html", 1, 0, 0, false);
    app->Work().AddFile("http://127.0.0.1:9/big.zip", true, false);
    struct Case {
        int field;
        std::string text;
        std::string question;  // empty: none
    };
    const std::vector<Case> cases = {
        {ow::kSiteTypes, ".htm;.php", ""},
        {ow::kSkipKeywords, "forum",
         "Question: Apply new 'Keywords in URL To Skip' to current 'To Grubble' list?"},
        {ow::kSkipKeywords, "forum", ""},  // unchanged
        {ow::kDownloadKeywords, "zip",
         "Question: Apply new 'Keywords in Download To Skip' to current download list?"},
    };
    answer = Answer::Yes;
    for (const Case& c : cases) {
        asked.clear();
        OptionsWindow* options = OpenOptions();
        Edit(options, c.field)->setText(QString::fromStdString(c.text));
        Click(options, ow::kSave);
        Settle();
        EXPECT_EQ(asked, c.question.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{c.question})
            << c.text;
    }
    EXPECT_EQ(QueuedPages(*app), Strings{"http://127.0.0.1:9/b.html"});
}

TEST_F(OptionsWindowTest, OneDialogOfEachKindWithHelpAndLoadedSettings) {
    OptionsWindow* options = OpenOptions();
    EXPECT_EQ(OpenOptions(), options);
    Click(options, ow::kAdvanced);
    AdvancedOptionsWindow* advanced =
        window->findChild<AdvancedOptionsWindow*>(DialogWindow::IdName(ow::kAdvancedDialog));
    ASSERT_NE(advanced, nullptr);
    EXPECT_EQ(OpenAdvanced(), advanced);
    EXPECT_EQ(window->findChildren<AdvancedOptionsWindow*>().size(), 1);

    const QString help = QUrl::fromLocalFile(QStringLiteral(WG_HELP_FILE)).toString();
    Click(options, ow::kHelp);
    Click(advanced, ow::kHelp);
    EXPECT_EQ(opened,
              (std::vector<std::string>{(help + "#2").toStdString(), (help + "#3").toStdString()}));

    // "Load As" in the advanced dialog: both open dialogs show the file at
    // once, also when the same file is loaded again.
    const auto other = dir.path() / "other.ini";
    ASSERT_TRUE(WriteWholeFile(other, "MIN_FILE_SIZE=123\nNUM_URL_THREADS=7\n"));
    chosen = other.string();
    Click(advanced, ow::kLoadAs);
    EXPECT_EQ(Edit(advanced, ow::kUrlThreads)->text(), QStringLiteral("7"));
    EXPECT_EQ(advanced->windowTitle(), QStringLiteral(" Advanced Options: other.ini"));
    EXPECT_EQ(Edit(options, ow::kMinFileSize)->text(), QStringLiteral("123"));
    EXPECT_EQ(options->windowTitle(), QStringLiteral(" Options: other.ini"));
    ASSERT_TRUE(WriteWholeFile(other, "MIN_FILE_SIZE=456\n"));
    Click(advanced, ow::kLoadAs);
    EXPECT_EQ(Edit(options, ow::kMinFileSize)->text(), QStringLiteral("456"));
    Click(advanced, ow::kCancel);

    // The main window's "Load Options As" refills an open dialog too.
    ASSERT_TRUE(WriteWholeFile(dir.path() / "third.ini", "MIN_FILE_SIZE=9\n"));
    chosen = (dir.path() / "third.ini").string();
    Item(mw::kMenuLoadOptionsAs)->trigger();
    EXPECT_EQ(Edit(options, ow::kMinFileSize)->text(), QStringLiteral("9"));

    // "Save Options As", from the menu or from Advanced, retitles both.
    advanced = OpenAdvanced();
    chosen = (dir.path() / "fourth.ini").string();
    Item(mw::kMenuSaveOptionsAs)->trigger();
    EXPECT_EQ(options->windowTitle(), QStringLiteral(" Options: fourth.ini"));
    EXPECT_EQ(advanced->windowTitle(), QStringLiteral(" Advanced Options: fourth.ini"));
    chosen = (dir.path() / "fifth.ini").string();
    Click(advanced, ow::kSaveAs);
    EXPECT_EQ(options->windowTitle(), QStringLiteral(" Options: fifth.ini"));
    EXPECT_EQ(advanced->windowTitle(), QStringLiteral(" Advanced Options: fifth.ini"));
}

}  // namespace
}  // namespace wg::test
