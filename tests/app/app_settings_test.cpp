#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app_fixture.h"
#include "app/option_setters.h"
#include "platform/files.h"
#include "util/url_error_log.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

// A scripted port that also answers the file choosers.
class ChooserPort : public ScriptedPort {
public:
    std::string answer;
    std::vector<std::string> asked;  // "title|filter|start directory"

    std::string ChooseOpenFile(std::string_view t, std::string_view f,
                               std::string_view d) override {
        return ChooseSaveFile(t, f, d);
    }
    std::string ChooseSaveFile(std::string_view t, std::string_view f,
                               std::string_view d) override {
        asked.push_back(std::string(t) + "|" + std::string(f) + "|" + std::string(d));
        return answer;
    }
};

class AppSettingsCommandsTest : public AppTest {
protected:
    App& InitWithChooser() {
        auto own = std::make_unique<ChooserPort>();
        chooser = own.get();
        MakeApp(true, std::move(own));
        return Initialise();
    }

    ChooserPort* chooser = nullptr;
};

TEST_F(AppSettingsCommandsTest, StartUpReadsTheFileAndSaveWritesBothFiles) {
    const fs::path downloads = dir / "dl" / "sub";
    std::ofstream(dir / "Grubbler.ini")
        << "SAVEPATH=" << downloads.string() << "\r\nVERBOSE=0\r\nLOG_URL_ERRORS=1\r\n"
        << "IGNORE_LIST=1\r\n";
    App& a = InitApp();
    const auto shown = port->StatusHistory();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& line) {
        return line.starts_with("Loaded Settings:  ");
    }));
    EXPECT_EQ(a.Paths().downloadDir, downloads);
    EXPECT_TRUE(fs::is_directory(downloads)) << "a missing download directory is created";
    EXPECT_EQ(fs::current_path(), downloads);
    EXPECT_FALSE(a.Settings().verbose.load());
    EXPECT_TRUE(a.UrlErrors().IsOpen()) << "LOG_URL_ERRORS goes through its setter";
    EXPECT_TRUE(a.Settings().ignoreList.load());

    a.Options().SaveSettings();
    EXPECT_EQ(port->StatusLine(), "Saved Settings");
    const std::string written = ReadWholeFile(dir / "Grubbler.ini");
    EXPECT_EQ(written.rfind("SAVEPATH=" + downloads.string() + "\nNUM_DOWNLOAD_THREADS=3\n", 0), 0u)
        << written;
    EXPECT_NE(written.find("\nVERBOSE=0\nLOG_URL_ERRORS=1\n"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir / "load.cfg"), "SAVE_FILE=" + a.Paths().stateFile.string() + "\n");

    a.State().SetWorkHeld(true);
    a.Options().SaveSettings();
    EXPECT_EQ(port->StatusLine(), "Saved Settings.  Loading...");

    // A settings file that cannot be created is reported; load.cfg stays as it was.
    a.Paths().stateFile = dir / "other.sav";
    a.Paths().settingsFile = dir / "missing" / "Grubbler.ini";
    a.Options().SaveSettings();
    EXPECT_EQ(port->StatusLine(), "Error Saving Settings to " + a.Paths().settingsFile.string());
    EXPECT_EQ(ReadWholeFile(dir / "load.cfg").find("other.sav"), std::string::npos);
}

TEST_F(AppSettingsCommandsTest, OptionsAsChooseTheSettingsFile) {
    App& a = InitWithChooser();
    const std::string home = a.Paths().programDir.string();

    chooser->answer = (a.Paths().programDir / "site").string();
    a.Settings().sendCookie.store(true);
    a.Options().SaveOptionsAs();
    EXPECT_EQ(chooser->asked.back(), "Save As|INI Files (*.ini)|" + home);
    EXPECT_EQ(a.Paths().settingsFile, a.Paths().programDir / "site.ini") << "extension added";
    EXPECT_NE(ReadWholeFile(a.Paths().programDir / "site.ini").find("\nSEND_COOKIE=1\n"),
              std::string::npos);

    a.Settings().sendCookie.store(false);
    chooser->answer = (a.Paths().programDir / "site.ini").string();
    a.Options().LoadOptionsAs();
    EXPECT_EQ(chooser->asked.back(), "Load As|INI Files (*.ini)|" + home);
    EXPECT_TRUE(a.Settings().sendCookie.load());
    EXPECT_EQ(port->StatusLine(), "Loaded Options.");

    chooser->answer = (a.Paths().programDir / "none" / "x.ini").string();
    a.Options().LoadOptionsAs();
    EXPECT_EQ(port->StatusLine(), "Error Loading Options.");
    // Cancelled: nothing changes.
    chooser->answer.clear();
    const fs::path before = a.Paths().settingsFile;
    a.Options().SaveOptionsAs();
    a.Options().LoadOptionsAs();
    EXPECT_EQ(a.Paths().settingsFile, before);
    EXPECT_EQ(port->StatusLine(), "Error Loading Options.");
}

TEST_F(AppSettingsCommandsTest, SaveDirectoryRemembersEarlierOnes) {
    App& a = InitApp();
    const std::string first = a.Paths().downloadDir.string();
    const std::string second = (dir / "second").string();
    const std::string third = (dir / "third" / "deep").string();

    a.Options().SetSaveDirectory(second);
    EXPECT_TRUE(a.Options().EarlierDownloadDirs().empty())
        << "only while sub-directories are searched";
    EXPECT_EQ(a.Paths().downloadDir, second);
    EXPECT_EQ(port->StatusLine(), "Save directory updated.");

    a.Settings().searchDlSubDirs.store(true);
    a.Options().SetSaveDirectory(third);
    a.Options().SetSaveDirectory(third);
    a.Options().SetSaveDirectory(first);
    a.Options().SetSaveDirectory(third);
    a.Options().SetSaveDirectory("");
    EXPECT_EQ(a.Paths().downloadDir, third) << "an empty text is no directory";
    EXPECT_EQ(a.Options().EarlierDownloadDirs(), (std::vector<std::string>{second, third, first}));
    EXPECT_TRUE(fs::is_directory(third));
}

TEST_F(AppSettingsCommandsTest, SaveDirectoryThatCannotBeUsedIsRefused) {
    App& a = InitApp();
    const fs::path before = a.Paths().downloadDir;
    std::ofstream(dir / "a-file") << "x";
    for (const fs::path& bad : {fs::path("/proc/webgrubbler-x"), dir / "a-file" / "below"}) {
        SCOPED_TRACE(bad.string());
        const std::size_t toldBefore = port->Messages().size();
        EXPECT_FALSE(a.Options().SetSaveDirectory(bad.string()));
        EXPECT_EQ(a.Paths().downloadDir, before);
        std::vector<std::string> told = port->Messages();
        ASSERT_EQ(told.size(), toldBefore + 1);
        told.erase(told.begin(), told.begin() + static_cast<std::ptrdiff_t>(toldBefore));
        EXPECT_EQ(told[0].rfind("Download Directory: Cannot use \"" + bad.string() + "\"", 0), 0u)
            << told[0];
        EXPECT_NE(told[0].find("The downloads stay in \"" + before.string() + "\""),
                  std::string::npos);
    }
    // A relative name is taken below the program directory.
    EXPECT_TRUE(a.Options().SetSaveDirectory("mirrors/one"));
    EXPECT_EQ(a.Paths().downloadDir, dir / "mirrors" / "one");
}

TEST_F(AppSettingsCommandsTest, ExitChoicesForThisRunDoNotReachTheSettingsFile) {
    for (const bool userChoice : {false, true}) {
        SCOPED_TRACE(userChoice);
        app.reset();  // one engine at a time
        App& a = InitApp();
        a.Settings().alwaysSave.store(userChoice);
        a.Options().SetAlwaysSaveForThisRun(!userChoice);
        a.Options().SetAlwaysSaveForThisRun(false);  // a second change keeps the user's first value
        a.Options().SaveSettingsAtExit();
        std::ifstream in(a.Paths().settingsFile);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find(userChoice ? "ALWAYS_SAVE=1" : "ALWAYS_SAVE=0"), std::string::npos);
        EXPECT_FALSE(a.Settings().alwaysSave.load()) << "the run goes on with its own choice";
    }
}

TEST_F(AppSettingsCommandsTest, ResetRestoresDefaults) {
    App& a = InitApp();
    a.Setters().SetUrlErrorLogging(true);
    a.Settings().priority.store(-2);
    a.Settings().minDownloadQueue.store(7);
    (void)platform::SetCurrentDirectory(a.Paths().programDir);

    a.Options().ResetOptions();
    EXPECT_FALSE(a.UrlErrors().IsOpen());
    EXPECT_EQ(a.Paths().downloadDir, a.Paths().programDir) << "the current directory";

    a.Options().ResetAdvancedOptions();
    EXPECT_EQ(a.Settings().numDownloadThreads.load(), 2);
    EXPECT_EQ(a.Settings().priority.load(), 0);
    EXPECT_EQ(a.Settings().minDownloadQueue.load(), 50);
}

// Overrides of the command line act on their own key only, however the key
// names nest ("FILE_TYPES" ends "MOVIE_FILE_TYPES").
TEST_F(AppSettingsCommandsTest, OverridesChangeTheirOwnKeyOnly) {
    App& a = InitApp();
    const std::string fileTypes = a.Settings().types.Text(TypeKind::FileTypes);
    a.Options().ApplySettingOverrides({"MOVIE_FILE_TYPES=.zzz", "NUM_URL_THREADS=4",
                                       "SAVE_DLSUB_DIRS=0", "USER_AGENT=x NUM_DOWNLOAD_THREADS=9"});
    EXPECT_EQ(a.Settings().types.Text(TypeKind::MovieTypes), ".zzz");
    EXPECT_EQ(a.Settings().types.Text(TypeKind::FileTypes), fileTypes);
    EXPECT_EQ(a.Settings().numUrlThreads.load(), 4);
    EXPECT_FALSE(a.Settings().saveDlSubDirs.load());
    EXPECT_EQ(a.Settings().userAgent.Get(), "x NUM_DOWNLOAD_THREADS=9");
    EXPECT_NE(a.Settings().numDownloadThreads.load(), 9);
}

}  // namespace
}  // namespace wg::test
