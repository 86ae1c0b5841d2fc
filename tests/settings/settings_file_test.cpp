#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_dirs.h"
#include "util/text.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

struct RecordingHooks : SettingsHooks {
    std::vector<std::string> calls;
    void EnterSaveDirectory(const fs::path& dir) override {
        calls.push_back("enter " + dir.string());
    }
    void SetUrlErrorLogging(bool on) override { calls.push_back(on ? "log on" : "log off"); }
    void SetIgnoreList(bool on) override { calls.push_back(on ? "ignore on" : "ignore off"); }
    void LoadSubDirList() override { calls.push_back("load dirs"); }
    void BuildSubDirList() override { calls.push_back("build dirs"); }
    void ShowStatus(std::string_view text) override {
        calls.push_back("status " + std::string(text));
    }
};

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() {
        paths.downloadDir = "/grub/Downloads";
        paths.stateFile = "/grub/Save.dat";
        paths.settingsFile = dir / "Grubbler.ini";
        paths.pointerFile = dir / "load.cfg";
    }
    void Parse(std::string_view text) { ParseSettings(text, s, paths, hooks); }
    std::string Text() const { return FormatSettings(s, paths); }

    TempDir dir;
    AppSettings s;
    AppPaths paths;
    RecordingHooks hooks;
};

const char* const kStartText =
    "SAVEPATH=/grub/Downloads\nNUM_DOWNLOAD_THREADS=3\nNUM_URL_THREADS=1\n"
    "SITE_TYPES=.htm;.phtm;.asp;.php;.cgi;.cfm;/?;.shtm;.jsp;.pl;.stm;.xml;.jhtm;.dll;.xhtm;.rss\n"
    "FILE_TYPES=!.bat;!.btm;!.cmd;!.com;!.cpl;!.dll;!.exe;!.lnk;!.msi;!.pif;!.prf;!.reg;!.scr;"
    "!.vbs;.\nEXCLUSION_TYPES=\nDOWNLOAD_KEYWORDS=\nMIN_FILE_SIZE=0\nMAX_FILE_SIZE=0\n"
    "DOWNLOAD_DIR_STRUCTURE=0\nVERBOSE=1\nLOG_URL_ERRORS=0\nSEARCH_SUB_DIRS=1\n"
    "SEARCH_DLSUB_DIRS=0\nSAVE_DLSUB_DIRS=1\nRUNTIME_DUPLICATE_DETECT=0\nSEND_COOKIE=0\n"
    "LAST_URL_SCANNED=\nSHOW_EXITING_MSGS=1\nLOGDEBUG=0\nRESIZE_LAST_IMAGE=1\n"
    "SHOW_LAST_IMAGE=1\nSTART_CLASSIC=0\nSINGLE_REDIRECT_PARAM=0\nAUTO_UPDATES_PARAM=0\n"
    "GUESS_URLS=0\nALWAYS_SAVE=0\nALWAYS_LOAD=0\nSAVE_EVERY_5=0\nIGNORE_LIST=0\n"
    "URL_ESCAPE_FILENAMES=0\nMOVIE_FILE_TYPES=.asf;.avi;.moov;.mov;.mpg;.mpeg;.qt;.wmv\n"
    "MUSIC_FILE_TYPES=.aac;.ac;.aiff;.au;.kar;.m4a;.midi;.mp3;.mp4;.ogg;.ra;.rm;.wav\n"
    "PICTURES_FILE_TYPES=.bmp;.gif;.jpeg;.jpg;.png;.tga;.tiff\nURL_SEARCH_WORDS=.\n"
    "SEARCH_TYPE=0\nPRIORITY=0\nDFT=1\nREDIR_DEFAULT_TYPE=1\nMIN_DOWNLOAD_QUEUE=50\n"
    "USER_AGENT=Mozilla/3.0 (compatible; MSIE 5.0; Windows NT 5.1)\nCHECK_DIR0=\nCHECK_DIR1=\n"
    "CHECK_DIR2=\nCHECK_DIR3=\nCHECK_DIR4=\nCHECK_DIR5=\nCHECK_DIR6=\nCHECK_DIR7=\n"
    "CHECK_DIR8=\nCHECK_DIR9=\nLOGURLS=0\nNO_DOWNLOAD=0\nDOWNLOAD_AS_IS=0\n"
    "HEADER_TIMEOUT=60\nMIN_BODY_RATE=0\n";

TEST(SettingsFileValue, FirstOccurrenceLineRulesAndNumbers) {
    std::string v;
    // The first occurrence wins, even inside a longer key.
    EXPECT_TRUE(GetSettingValue("PICTURES_FILE_TYPES=.png\nFILE_TYPES=.jpg\n", "FILE_TYPES", v));
    EXPECT_EQ(v, ".png");
    // Spaces and '=' after the key are skipped; nothing else is trimmed.
    EXPECT_TRUE(GetSettingValue("KEY = =  a b \nX", "KEY", v));
    EXPECT_EQ(v, "a b ");
    // Of CR LF the CR is not taken.
    EXPECT_TRUE(GetSettingValue("KEY=C:\\data\\new\r\nNEXT=1", "KEY", v));
    EXPECT_EQ(v, "C:\\data\\new");
    // The byte 255, the end of the text and the maximum stop the copy.
    EXPECT_TRUE(GetSettingValue("KEY=ab\xff", "KEY", v));
    EXPECT_EQ(v, "ab");
    EXPECT_TRUE(GetSettingValue("KEY=abcdef", "KEY", v, 3));
    EXPECT_EQ(v, "abc");
    // Case matters; a missing key empties the output.
    v = "old";
    EXPECT_FALSE(GetSettingValue("key=1", "KEY", v));
    EXPECT_EQ(v, "");

    EXPECT_EQ(ParseSettingNumber("abc"), 0);
    EXPECT_EQ(ParseSettingNumber("-12x"), -12);
    EXPECT_EQ(ParseSettingNumber("4 5"), 4);
    EXPECT_EQ(ParseSettingNumber("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseSettingNumber("-99999999999999999999"), INT_MIN);
}

TEST_F(SettingsFileTest, StartValuesAreWrittenExactly) {
    EXPECT_EQ(Text(), kStartText);
    // A file with only VERBOSE leaves everything else.
    Parse("VERBOSE=0\n");
    std::string expected = kStartText;
    EXPECT_EQ(Text(), expected.replace(expected.find("VERBOSE=1"), 9, "VERBOSE=0"));
    EXPECT_TRUE(hooks.calls.empty());
    // A zero page-thread count and an empty sub-directory file name write no line;
    // a named one follows SAVE_DLSUB_DIRS.
    s.numUrlThreads.store(0);
    s.saveDlSubDirsFile.Set("/grub/Grubbler.ini.dirs");
    const std::string text = Text();
    EXPECT_EQ(text.find("NUM_URL_THREADS"), std::string::npos);
    EXPECT_NE(text.find("SAVE_DLSUB_DIRS=1\nRUNTIME_DUPLICATE_DETECT=0\n"
                        "SAVE_DLSUB_DIRS_FN=/grub/Grubbler.ini.dirs\nSEND_COOKIE=0\n"),
              std::string::npos);
}

TEST_F(SettingsFileTest, KeyRules) {
    s.types.Set(TypeKind::ExclusionTypes, "ads");
    s.types.Set(TypeKind::MovieTypes, ".MKV");
    s.checkDirs[7].Set("/old");
    Parse(
        "MAX_FILE_SIZE=abc\nMIN_FILE_SIZE=-5\nNUM_URL_THREADS=0\nNUM_DOWNLOAD_THREADS=40\n"
        "PICTURES_FILE_TYPES=.png\nFILE_TYPES=.jpg\nNO_DOWNLOAD=1\nSAVEWEBPAGES=0\n"
        "CHECK_DIR2=/a\nCHECK_DIR4=\nSAVEPATH=C:\\data\\new\nMIN_DOWNLOAD_QUEUE=0\nVERBOSE");
    EXPECT_EQ(s.maxFileSize.load(), 0);
    EXPECT_EQ(s.minFileSize.load(), -5);
    EXPECT_EQ(s.numUrlThreads.load(), 1) << "0 keeps the current count";
    EXPECT_EQ(s.numDownloadThreads.load(), 40) << "no cap when read";
    EXPECT_EQ(s.types.Text(TypeKind::FileTypes), ".png") << "first occurrence wins";
    EXPECT_EQ(s.types.Text(TypeKind::ExclusionTypes), "") << "missing keyword list is emptied";
    EXPECT_EQ(s.types.Text(TypeKind::MovieTypes), ".mkv") << "missing list keeps its text";
    EXPECT_FALSE(s.noDownload.load()) << "NO_DOWNLOAD needs LOGURLS";
    EXPECT_EQ(s.dft.load(), 0);
    EXPECT_EQ(s.minDownloadQueue.load(), 0);
    EXPECT_EQ(s.checkDirs[2].Get(), "/a");
    EXPECT_EQ(s.checkDirs[7].Get(), "") << "missing check directory is emptied";
    EXPECT_EQ(s.checkDirCount.load(), 5);
    EXPECT_FALSE(s.verbose.load()) << "a key at the very end has an empty value";
    EXPECT_EQ(paths.downloadDir.string(), "C:\\data\\new");
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"enter C:\\data\\new"});

    Parse("LOGURLS=0\nNO_DOWNLOAD=1\nDFT=6\nSAVEWEBPAGES=0\n");
    EXPECT_TRUE(s.noDownload.load());
    EXPECT_EQ(s.dft.load(), 6);
    Parse("SAVEWEBPAGES=1\n");
    EXPECT_EQ(s.dft.load(), 6);
}

TEST_F(SettingsFileTest, SideEffectsRunThroughHooksInOrder) {
    Parse(
        "IGNORE_LIST=1\nLOG_URL_ERRORS=1\nSEARCH_DLSUB_DIRS=1\nSAVE_DLSUB_DIRS=0\n"
        "SAVE_DLSUB_DIRS_FN=/grub/x.dirs\nSAVEPATH=/d\n");
    EXPECT_EQ(s.saveDlSubDirsFile.Get(), "/grub/x.dirs");
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"enter /d", "log on", "ignore on", "load dirs",
                                                     "status Creating Download Sub-directoy List.",
                                                     "build dirs", "status Loaded Options Data."}));
    // An empty file name neither replaces the old one nor loads anything.
    hooks.calls.clear();
    Parse("SAVE_DLSUB_DIRS=1\nSAVE_DLSUB_DIRS_FN=\nSAVEPATH=\n");
    EXPECT_EQ(s.saveDlSubDirsFile.Get(), "/grub/x.dirs");
    EXPECT_TRUE(hooks.calls.empty());
    EXPECT_EQ(paths.downloadDir, "/d");
}

TEST_F(SettingsFileTest, CaFileIsWrittenLastWhenSetAndReadBack) {
    s.caFile.Set("/etc/private-ca.pem");
    const std::string text = Text();
    EXPECT_TRUE(text.ends_with("\nMIN_BODY_RATE=0\nCA_FILE=/etc/private-ca.pem\n")) << text;
    AppSettings read;
    ParseSettings(text, read, paths, hooks);
    EXPECT_EQ(read.caFile.Get(), "/etc/private-ca.pem");
}

TEST_F(SettingsFileTest, EveryKeySurvivesARoundTripAlsoWithCrLf) {
    // Every value changed from its start value: flags flipped, numbers and texts altered.
    std::string written;
    std::string crlf;
    std::istringstream in(kStartText);
    for (std::string line; std::getline(in, line);) {
        const std::string key = line.substr(0, line.find('='));
        std::string value = line.substr(key.size() + 1);
        if (key == "NUM_URL_THREADS" || key == "NUM_DOWNLOAD_THREADS") {
            value = "7";
        } else if (value.empty()) {
            value = "/x" + ToLowerAscii(key);
        } else if (value == "0" || value == "1") {
            value = value == "0" ? "1" : "0";
        } else if (value.find_first_not_of("0123456789") == std::string::npos) {
            value = std::to_string(std::stoi(value) + 2);
        } else {
            value = "/x" + value;
        }
        written += key + "=" + value + "\n";
        crlf += key + "=" + value + "\r\n";
    }
    for (const std::string& text : {written, crlf}) {
        AppSettings read;
        AppPaths readPaths;
        RecordingHooks readHooks;
        ParseSettings(text, read, readPaths, readHooks);
        EXPECT_EQ(FormatSettings(read, readPaths), written);
        EXPECT_EQ(read.checkDirCount.load(), 10);
    }
}

TEST_F(SettingsFileTest, LoadFallsBackToTheOldNameAndSavesTheNewOne) {
    EXPECT_FALSE(LoadSettingsFile(s, paths, hooks)) << "no file at all";
    WriteWholeFile(dir / "Gleanix.ini", "VERBOSE=0\r\n");
    EXPECT_TRUE(LoadSettingsFile(s, paths, hooks));
    EXPECT_FALSE(s.verbose.load());
    ASSERT_EQ(SaveSettingsFile(s, paths), 0);
    EXPECT_EQ(ReadWholeFile(dir / "Grubbler.ini"), Text());
    ASSERT_EQ(SaveStatePointerFile(paths), 0);
    EXPECT_EQ(ReadWholeFile(dir / "load.cfg"), "SAVE_FILE=/grub/Save.dat\n");
    // Written through a temporary file that does not stay behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);

    // The new name wins over the old one from now on.
    s.verbose.store(true);
    EXPECT_TRUE(LoadSettingsFile(s, paths, hooks));
    EXPECT_FALSE(s.verbose.load());

    // A file that cannot be created is reported and creates nothing.
    paths.settingsFile = dir / "missing" / "Grubbler.ini";
    EXPECT_NE(SaveSettingsFile(s, paths), 0);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(SettingsFileTest, PointerFileNamesTheStateFile) {
    WriteWholeFile(dir / "load.cfg", "SAVE_FILE=/sites/example.sav\r\n");
    EXPECT_FALSE(LoadSettingsFile(s, paths, hooks));
    EXPECT_EQ(paths.stateFile, "/sites/example.sav");
    WriteWholeFile(dir / "load.cfg", "SAVE_FILE=\n");
    LoadSettingsFile(s, paths, hooks);
    EXPECT_EQ(paths.stateFile, "/sites/example.sav") << "an empty name is ignored";
    WriteWholeFile(dir / "load.cfg", "SAVE_FILE=/" + std::string(400, 'x') + "\n");
    LoadSettingsFile(s, paths, hooks);
    EXPECT_EQ(paths.stateFile.string().size(), 259u);
}

TEST_F(SettingsFileTest, LongFileKeepsItsLastKeys) {
    s.types.Set(TypeKind::ExclusionTypes, std::string(1000, 'e'));
    for (auto& checkDir : s.checkDirs)
        checkDir.Set("/" + std::string(250, 'c'));
    s.logUrls.store(true);
    s.noDownload.store(true);
    s.downloadAsIs.store(true);
    const std::string text = Text();
    ASSERT_GT(text.size(), 4096u);
    WriteWholeFile(dir / "Grubbler.ini", text);

    AppSettings read;
    EXPECT_TRUE(LoadSettingsFile(read, paths, hooks));
    EXPECT_EQ(FormatSettings(read, paths), text);
}

TEST_F(SettingsFileTest, DefaultsResetTheirColumnsOnly) {
    CurrentDirGuard cwd;
    fs::current_path(dir.path());
    s.types.Set(TypeKind::FileTypes, ".zip");
    s.types.Set(TypeKind::SearchWords, "cats");
    s.types.Set(TypeKind::MovieTypes, ".mkv");
    s.noGuessAfterQuery.store(true);
    s.dft.store(8);
    s.searchSubDirs.store(false);  // not reset
    s.numDownloadThreads.store(9);
    s.userAgent.Set("x");

    ResetOptions(s, paths);
    EXPECT_EQ(paths.downloadDir, fs::current_path());
    EXPECT_EQ(s.types.Text(TypeKind::FileTypes), kDefaultFileTypes);
    EXPECT_EQ(s.types.Text(TypeKind::SearchWords), "");
    EXPECT_EQ(s.types.Text(TypeKind::MovieTypes), ".mkv");
    EXPECT_FALSE(s.noGuessAfterQuery.load());
    EXPECT_EQ(s.dft.load(), 1);
    EXPECT_FALSE(s.searchSubDirs.load());
    EXPECT_EQ(s.numDownloadThreads.load(), 9) << "an Advanced value";

    ResetAdvancedOptions(s);
    EXPECT_EQ(s.userAgent.Get(), kDefaultUserAgent);
    EXPECT_FALSE(s.searchSubDirs.load());
}

}  // namespace
}  // namespace wg::test
