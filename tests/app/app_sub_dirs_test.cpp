#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_fixture.h"
#include "download/directory_search.h"
#include "download/save_names.h"
#include "store/dirs_file.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

const std::string kUrl = "http://www.example.com/pics/2008/photo.jpg";
const std::string kRelative = "www_example_com/pics/2008/photo.jpg";

class AppSubDirsTest : public AppTest {
protected:
    // An App downloading into root/dl, with root as check directory 0.
    App& InitWithTree() {
        App& a = InitApp();
        root = dir / "root";
        for (const char* d : {"dl/a/b", "other/deep", ".hidden", ".x", "..y"})
            fs::create_directories(root / d);
        WriteWholeFile(root / "file.txt", "x");
        a.Options().SetSaveDirectory((root / "dl").string());
        a.Directories().SetCheckDir(root.string(), 0);
        a.Settings().downloadDirStructure.store(0);
        return a;
    }

    std::vector<std::string> SortedList() {
        const PublishedList::Snapshot list = app->Directories().SubDirectories().Get();
        std::vector<std::string> sorted = list ? *list : std::vector<std::string>{};
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    std::string P(const std::string& relative) const { return (root / relative).string(); }

    bool Found() {
        return FindOnDisk(kUrl, SaveNameOptionsFrom(app->Settings()),
                          app->Directories().DiskSearchFor());
    }

    fs::path root;
};

TEST_F(AppSubDirsTest, WalkListsEveryDirectoryBelowTheCheckDirsButTheDownloadDirectory) {
    App& a = InitWithTree();
    a.Settings().saveDlSubDirs.store(false);
    a.Settings().saveDlSubDirsFile.Set("stale.dirs");
    int progressCalls = 0;
    // The callback lets the window run commands, which may touch the list.
    a.Directories().GenerateSubDirs([&] {
        if (++progressCalls == 1) {
            EXPECT_TRUE(a.Directories().SaveSubDirFile());
        }
    });

    const std::vector<std::string> expected = {P(".hidden"), P("dl/a"), P("dl/a/b"), P("other"),
                                               P("other/deep")};
    EXPECT_EQ(SortedList(), expected);
    EXPECT_GE(progressCalls, 9) << "every entry, files and skipped names too";
    EXPECT_TRUE(a.Settings().searchDlSubDirs.load());
    EXPECT_EQ(a.Settings().saveDlSubDirsFile.Get(), "") << "generated at run time: no file named";
    const std::string ini = ReadWholeFile(a.Paths().settingsFile);
    EXPECT_NE(ini.find("\nSEARCH_DLSUB_DIRS=1\nSAVE_DLSUB_DIRS=0\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("SAVE_DLSUB_DIRS_FN"), std::string::npos);

    // A second run rebuilds the list instead of adding to it; a check
    // directory written with a final separator gives the same paths.
    a.Directories().SetCheckDir(root.string() + "/", 0);
    a.Directories().GenerateSubDirs();
    EXPECT_EQ(SortedList(), expected);

    // With no check directory left the next run leaves the list empty, and
    // an empty ".dirs" file is named nowhere, neither after saving nor loading.
    a.Directories().SetCheckDir("", 0);
    a.Settings().saveDlSubDirs.store(true);
    a.Directories().GenerateSubDirs();
    EXPECT_TRUE(SortedList().empty());
    const std::string dirsFile = a.Paths().settingsFile.string() + ".dirs";
    EXPECT_EQ(ReadWholeFile(dirsFile), std::string(4, '\0'));
    EXPECT_EQ(a.Settings().saveDlSubDirsFile.Get(), "");
    EXPECT_EQ(ReadWholeFile(a.Paths().settingsFile).find("SAVE_DLSUB_DIRS_FN"), std::string::npos);
    a.Settings().saveDlSubDirsFile.Set(dirsFile);
    EXPECT_TRUE(a.Directories().LoadSubDirFile());
    EXPECT_EQ(a.Settings().saveDlSubDirsFile.Get(), "");
}

TEST_F(AppSubDirsTest, CheckDirCountIsNeverLoweredAndEmptyEntriesAreSkipped) {
    App& a = InitApp();
    a.Settings().downloadDirStructure.store(0);
    const fs::path first = dir / "c0";
    const fs::path second = dir / "c1";
    WriteWholeFile(second / kRelative, "x");

    a.Directories().SetCheckDir("", 4);
    EXPECT_EQ(a.Settings().checkDirCount.load(), 0) << "an empty text does not count";
    a.Directories().SetCheckDir(first.string(), 0);
    a.Directories().SetCheckDir(second.string(), 1);
    EXPECT_EQ(a.Settings().checkDirCount.load(), 2);
    EXPECT_TRUE(Found());

    a.Directories().SetCheckDir("", 1);
    EXPECT_EQ(a.Settings().checkDirCount.load(), 2);
    EXPECT_EQ(a.Directories().GetCheckDir(1), std::optional<std::string>(""));
    EXPECT_FALSE(Found());

    // Entry 0 emptied, the file now under entry 1: the search passes the gap.
    a.Directories().SetCheckDir("", 0);
    a.Directories().SetCheckDir(second.string(), 1);
    EXPECT_EQ(a.Settings().checkDirCount.load(), 2);
    EXPECT_TRUE(Found());

    a.Directories().SetCheckDir(std::string(400, 'd'), 9);
    EXPECT_EQ(a.Directories().GetCheckDir(9)->size(), 259u);
    EXPECT_EQ(a.Settings().checkDirCount.load(), 10);
    EXPECT_FALSE(a.Directories().GetCheckDir(10).has_value());
    EXPECT_FALSE(a.Directories().GetCheckDir(-1).has_value());
}

TEST_F(AppSubDirsTest, DirsFileRoundTripsAndIsReadWithTheSettings) {
    App& a = InitWithTree();
    a.Settings().saveDlSubDirs.store(true);
    a.Directories().GenerateSubDirs();
    const std::string dirsFile = a.Paths().settingsFile.string() + ".dirs";
    EXPECT_EQ(a.Settings().saveDlSubDirsFile.Get(), dirsFile);
    const std::vector<std::string> generated = SortedList();
    ASSERT_EQ(generated.size(), 5u);
    EXPECT_NE(ReadWholeFile(a.Paths().settingsFile).find("\nSAVE_DLSUB_DIRS_FN=" + dirsFile + "\n"),
              std::string::npos);

    a.Directories().ClearSubDirs();
    EXPECT_TRUE(a.Directories().LoadSubDirFile());
    EXPECT_EQ(SortedList(), generated);
    EXPECT_FALSE(a.Settings().searchDlSubDirs.load()) << "loading leaves the switch alone";

    // Reading the settings file loads the list it names, entries of length 0
    // passed over.
    std::vector<std::string> stored = {P("other"), P("dl/a")};
    std::string bytes = EncodeDirsFile(stored);
    bytes[0] = 3;
    bytes.insert(4, std::string(2, '\0'));
    std::ofstream(dirsFile, std::ios::binary) << bytes;
    a.Directories().ClearSubDirs();
    ASSERT_TRUE(a.Options().LoadSettings());
    EXPECT_EQ(*a.Directories().SubDirectories().Get(), stored);
    EXPECT_TRUE(a.Settings().searchDlSubDirs.load());

    // A file that cannot be read or written is reported; the list stays.
    a.Settings().saveDlSubDirsFile.Set((dir / "missing.dirs").string());
    EXPECT_FALSE(a.Directories().LoadSubDirFile());
    a.Paths().settingsFile = dir / "no" / "such" / "Grubbler.ini";
    EXPECT_FALSE(a.Directories().SaveSubDirFile());
    const std::vector<std::string> messages = port->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("Failed to load sub-directory file"), std::string::npos);
    EXPECT_NE(messages[1].find("no/such/Grubbler.ini.dirs"), std::string::npos);
    EXPECT_EQ(messages[1].rfind("System Error: ", 0), 0u) << messages[1];
    EXPECT_EQ(*a.Directories().SubDirectories().Get(), stored);
}

TEST_F(AppSubDirsTest, GenerateAtRunTimeBuildsTheListWhenTheSettingsAreRead) {
    const fs::path check = dir / "check";
    fs::create_directories(check / "sub");
    std::ofstream(dir / "Grubbler.ini") << "SEARCH_DLSUB_DIRS=1\nSAVE_DLSUB_DIRS=0\n"
                                        << "CHECK_DIR0=" << check.string() << "\n";
    std::ofstream(dir / "load.cfg") << "SAVE_FILE=" << (dir / "site.sav").string() << "\n";
    App& a = InitApp();
    EXPECT_EQ(*a.Directories().SubDirectories().Get(),
              std::vector<std::string>{(check / "sub").string()});
    EXPECT_EQ(a.Paths().stateFile, dir / "site.sav") << "the pointer file is not overwritten";

    fs::create_directories(check / "new");
    ASSERT_TRUE(a.Options().LoadSettings());
    EXPECT_EQ(a.Directories().SubDirectories().Get()->size(), 2u) << "every read rebuilds the list";
    EXPECT_TRUE(port->SawStatus("Creating Download Sub-directoy List."));
}

TEST_F(AppSubDirsTest, FindOnDiskUsesTheListAlsoWhileItIsRebuilt) {
    App& a = InitWithTree();
    WriteWholeFile(root / "other" / "deep" / kRelative, "x");
    a.Settings().saveDlSubDirs.store(false);
    EXPECT_FALSE(Found()) << "the check directory itself does not hold it";
    a.Directories().GenerateSubDirs();
    EXPECT_TRUE(Found());
    a.Settings().searchDlSubDirs.store(false);
    EXPECT_FALSE(Found());
    a.Directories().ClearSubDirs();
    a.Settings().searchDlSubDirs.store(true);
    EXPECT_FALSE(Found());

    // Another thread keeps searching while the list is rebuilt again and again.
    for (int i = 0; i < 20; ++i)
        fs::create_directories(root / ("wide" + std::to_string(i)) / "x");
    a.Directories().GenerateSubDirs();

    std::atomic<bool> done{false};
    int misses = 0;
    int searches = 0;
    std::thread reader([&] {
        while (!done.load() || searches < 50) {
            misses += Found() ? 0 : 1;
            ++searches;
        }
    });
    for (int i = 0; i < 10; ++i)
        a.Directories().GenerateSubDirs();
    done.store(true);
    reader.join();
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(SortedList().size(), 48u);  // with the three holding the file
}

}  // namespace
}  // namespace wg::test
