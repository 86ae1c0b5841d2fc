// The duplicate finder on real directory trees: which pairs it reports and in
// what order, which copy it keeps, what it deletes and what it must leave.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dupes/dupe_finder.h"
#include "dupes/dupe_test_files.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

std::string Flip(std::string s, std::size_t at) {
    s[at] = static_cast<char>(s[at] ^ 0x5A);
    return s;
}

struct Recorder {
    std::vector<std::string> status, counters, results;
    std::function<void()> onPump = [] {};
    std::function<void()> onScanned = [] {};

    DupeFinderEvents Events() {
        DupeFinderEvents e;
        e.status = [this](std::string_view t) { status.emplace_back(t); };
        e.counters = [this](std::string_view t) { counters.emplace_back(t); };
        e.result = [this](std::string_view t) { results.emplace_back(t); };
        e.pump = [this] { onPump(); };
        e.scanned = [this] { onScanned(); };
        return e;
    }
    bool SawStatusStartingWith(const std::string& prefix) const {
        return std::any_of(status.begin(), status.end(),
                           [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }
};

// The lines that comparing every file with every later one in scan order
// gives for these classes of identical files.
std::vector<std::string> ExpectedLines(const DupeFinder& finder,
                                       std::vector<std::vector<fs::path>> classes) {
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < finder.Candidates().size(); ++i) {
        index[finder.Candidates()[i].path] = i;
    }
    for (auto& c : classes) {
        std::sort(c.begin(), c.end(), [&](const fs::path& a, const fs::path& b) {
            return index.at(a.string()) < index.at(b.string());
        });
    }
    std::sort(classes.begin(), classes.end(), [&](const auto& a, const auto& b) {
        return index.at(a[0].string()) < index.at(b[0].string());
    });
    std::vector<std::string> lines;
    for (const auto& c : classes) {
        for (std::size_t k = 1; k < c.size(); ++k) {
            lines.push_back(c[0].string() + " & " + c[k].string() + " are identical");
        }
    }
    return lines;
}

TEST(DupeFinder, GroupedCount) {
    const std::pair<std::uint64_t, const char*> cases[] = {{0, "0"},
                                                           {999, "999"},
                                                           {1000, "1,000"},
                                                           {999999, "999,999"},
                                                           {1000000, "1,000,000"},
                                                           {2500000, "2,500,000"},
                                                           {1002003, "1,002,003"}};
    for (const auto& [n, text] : cases) {
        EXPECT_EQ(GroupedCount(n), text);
    }
}

// A directory of its own, and a finder that reports to the recorder.
class DupeFinderTest : public ::testing::Test {
protected:
    bool Find(bool subdirectories = false) {
        finder.SetSearchSubdirectories(subdirectories);
        return finder.Find(dir.path().string());
    }

    TempDir dir;
    Recorder rec;
    DupeFinder finder{rec.Events()};
};

TEST_F(DupeFinderTest, ThreeCopiesKeepTheFirstScannedAndDeleteTheOthers) {
    const std::string content = PatternBytes(5000, 1);
    WriteWholeFile(dir / "A", content);
    WriteWholeFile(dir / "B", content);
    WriteWholeFile(dir / "C", content);
    WriteWholeFile(dir / "D", PatternBytes(5000, 2));
    const fs::path logPath = dir / "log" / "results.log";
    fs::create_directories(logPath.parent_path());
    std::FILE* log = std::fopen(logPath.c_str(), "w");
    ASSERT_NE(log, nullptr);

    finder.SetResultsLog(log);
    ASSERT_TRUE(Find());
    std::fclose(log);

    const auto expected = ExpectedLines(finder, {{dir / "A", dir / "B", dir / "C"}});
    EXPECT_EQ(rec.results, expected);
    EXPECT_EQ(test::ReadWholeFile(logPath), expected[0] + "\n\r" + expected[1] + "\n\r");
    EXPECT_EQ(finder.DuplicatesFound(), 2);
    EXPECT_EQ(finder.FilesScanned(), 4u);
    ASSERT_FALSE(rec.counters.empty());
    EXPECT_EQ(rec.counters.front(), " Files Scanned: 0");
    EXPECT_NE(std::find(rec.counters.begin(), rec.counters.end(), "Files Scanned: 4"),
              rec.counters.end());
    EXPECT_EQ(rec.counters.back(), "Files Compared: 4 of 4");
    EXPECT_EQ(rec.status.front(), " Searching " + dir.path().string() + "...");
    EXPECT_EQ(rec.status.back(),
              " Search completed. Double click above to open any of the 2 duplicated files.");

    const std::string kept = expected[0].substr(0, expected[0].find(" & "));
    EXPECT_EQ(finder.DeleteDuplicates(), 2);
    EXPECT_EQ(FilesBelow(dir.path()),
              (std::set<std::string>{fs::path(kept).filename().string(), "D", "log/results.log"}));
    EXPECT_EQ(rec.counters.back(), "Duplicates Deleted: 2");
    EXPECT_EQ(rec.status.back(), " Finished Deleting Duplicates.");
    for (const auto& c : finder.Candidates()) {
        if (c.path == kept) {
            EXPECT_EQ(c.state, DupeCandidate::State::Kept);
        } else if (c.path != (dir / "D").string()) {
            EXPECT_EQ(c.state, DupeCandidate::State::Deleted);
        }
    }
}

// The sampled comparison would call all the large ones the same as "base";
// small files are compared whole, a byte short or a last byte off included.
TEST_F(DupeFinderTest, FilesThatDifferAnywhereAreNotReported) {
    const std::string base = PatternBytes(200000, 3);
    WriteWholeFile(dir / "base", base);
    WriteWholeFile(dir / "copy", base);
    WriteWholeFile(dir / "blockTail", Flip(base, 176 + 8192 - 5));
    WriteWholeFile(dir / "pastSample", Flip(base, 196784 + 1000));
    WriteWholeFile(dir / "lastByte", Flip(base, base.size() - 1));
    WriteWholeFile(dir / "middle", Flip(base, 100000));
    WriteWholeFile(dir / "tenMore", base + "0123456789");
    WriteWholeFile(dir / "tenMoreToo", base + "0123456789");
    for (std::size_t size : {50, 176, 177}) {
        const std::string s = PatternBytes(size, static_cast<unsigned>(size));
        const std::string n = std::to_string(size);
        WriteWholeFile(dir / (n + "a"), s);
        WriteWholeFile(dir / (n + "b"), s);
        WriteWholeFile(dir / (n + "x"), Flip(s, size - 1));
    }
    WriteWholeFile(dir / "shorter", PatternBytes(49, 50));  // the 50-byte files less their last

    ASSERT_TRUE(Find());
    EXPECT_EQ(rec.results, ExpectedLines(finder, {{dir / "base", dir / "copy"},
                                                  {dir / "tenMore", dir / "tenMoreToo"},
                                                  {dir / "50a", dir / "50b"},
                                                  {dir / "176a", dir / "176b"},
                                                  {dir / "177a", dir / "177b"}}));
}

TEST_F(DupeFinderTest, KeptFileRemovedOrChangedByHandKeepsItsDuplicates) {
    const std::string x = PatternBytes(3000, 4);
    const std::string y = PatternBytes(3000, 5);
    WriteWholeFile(dir / "x1", x);
    WriteWholeFile(dir / "x2", x);
    WriteWholeFile(dir / "y1", y);
    WriteWholeFile(dir / "y2", y);
    ASSERT_TRUE(Find());
    ASSERT_EQ(finder.DuplicatesFound(), 2);

    std::vector<std::string> kept;
    for (const auto& c : finder.Candidates()) {
        if (c.state == DupeCandidate::State::Kept) {
            kept.push_back(c.path);
        }
    }
    ASSERT_EQ(kept.size(), 2u);
    fs::remove(kept[0]);
    const std::string changed = test::ReadWholeFile(kept[1]);
    WriteWholeFile(kept[1], Flip(changed, 2000));

    EXPECT_EQ(finder.DeleteDuplicates(), 0);
    for (const auto& c : finder.Candidates()) {
        if (c.state == DupeCandidate::State::Duplicate) {
            EXPECT_TRUE(fs::exists(c.path)) << c.path;
        }
    }
    EXPECT_EQ(FilesBelow(dir.path()).size(), 3u);
}

// A link and the file it names are "identical"; whichever is kept, deleting
// the other must not lose the data.
TEST_F(DupeFinderTest, NeverDeletesTheKeptFileThroughALink) {
    const std::string content = PatternBytes(4000, 6);
    WriteWholeFile(dir / "real" / "file", content);
    fs::create_directory_symlink(dir / "real", dir / "alias");
    fs::create_symlink(dir / "real" / "file", dir / "real" / "link");

    ASSERT_TRUE(Find(true));
    ASSERT_GE(finder.DuplicatesFound(), 1);
    finder.DeleteDuplicates();
    EXPECT_EQ(test::ReadWholeFile(dir / "real" / "file"), content);
    for (const auto& e : fs::directory_iterator(dir / "real")) {
        EXPECT_EQ(e.path().string().find(".wg-deleting"), std::string::npos);
    }

    // A link back up the tree is not entered: the walk ends, each file once.
    fs::create_directory_symlink(dir.path(), dir / "real" / "up");
    ASSERT_TRUE(Find(true));
    EXPECT_LE(finder.FilesScanned(), 2u);
}

TEST_F(DupeFinderTest, SubdirectoriesAreSearchedOnlyWhenAsked) {
    const std::string content = PatternBytes(1000, 7);
    WriteWholeFile(dir / "top", content);
    WriteWholeFile(dir / "sub" / "inner", content);
    WriteWholeFile(dir / "sub" / "deeper" / "innermost", content);
    ASSERT_TRUE(Find());
    EXPECT_EQ(finder.FilesScanned(), 1u);
    EXPECT_TRUE(rec.results.empty());
    EXPECT_EQ(rec.status.back(), " Search completed. No duplicated files found.");

    rec.status.clear();
    finder.SetSearchSubdirectories(true);
    ASSERT_TRUE(finder.Find(dir.path().string() + "/"));
    EXPECT_EQ(finder.FilesScanned(), 3u);
    EXPECT_EQ(rec.results, ExpectedLines(finder, {{dir / "top", dir / "sub" / "inner",
                                                   dir / "sub" / "deeper" / "innermost"}}));
    const std::string sub = " Searching " + (dir / "sub").string() + "...";
    const auto at = std::find(rec.status.begin(), rec.status.end(), sub);
    ASSERT_NE(at, rec.status.end());
    EXPECT_NE(
        std::find(at, rec.status.end(), " Searching " + (dir / "sub" / "deeper").string() + "..."),
        rec.status.end());
    // Back in a directory, its own text is shown again.
    EXPECT_NE(std::find(at + 1, rec.status.end(), sub), rec.status.end());
}

TEST_F(DupeFinderTest, SkipsDotNamesAsTheEnumerationRulesSay) {
    const std::string content = PatternBytes(500, 8);
    for (const char* name : {"plain", ".hidden", ".a", "..x", ".git/config", ".d/inside"}) {
        WriteWholeFile(dir / name, content);
    }
    ASSERT_TRUE(Find(true));
    std::vector<std::string> scanned;
    for (const auto& c : finder.Candidates()) {
        scanned.push_back(fs::path(c.path).lexically_relative(dir.path()).string());
    }
    std::sort(scanned.begin(), scanned.end());
    EXPECT_EQ(scanned, (std::vector<std::string>{".git/config", ".hidden", "plain"}));
    EXPECT_EQ(finder.DuplicatesFound(), 2);
}

TEST_F(DupeFinderTest, StopDuringTheScanEndsItWithoutACompare) {
    for (int i = 0; i < 20; ++i) {
        WriteWholeFile(dir / ("f" + std::to_string(i)), "same");
    }
    int pumps = 0;
    rec.onPump = [&] {
        if (++pumps == 5) {
            finder.RequestStop();
        }
    };
    ASSERT_TRUE(Find());
    EXPECT_EQ(finder.FilesScanned(), 5u);
    EXPECT_EQ(finder.Candidates().size(), 5u);
    EXPECT_TRUE(rec.results.empty());
    EXPECT_EQ(rec.status.back(), " Searching " + dir.path().string() + "...");
    EXPECT_FALSE(rec.SawStatusStartingWith(" Search completed"));
    EXPECT_EQ(rec.counters.back(), "Files Scanned: 5");

    // The next search starts afresh.
    rec.onPump = [] {};
    ASSERT_TRUE(Find());
    EXPECT_EQ(finder.FilesScanned(), 20u);
    EXPECT_EQ(finder.DuplicatesFound(), 19);
}

TEST_F(DupeFinderTest, CloseDuringTheCompareCancelsIt) {
    const std::string content = PatternBytes(100000, 9);
    WriteWholeFile(dir / "one", content);
    WriteWholeFile(dir / "two", content);
    bool scanDone = false;
    rec.onScanned = [&] { scanDone = true; };
    rec.onPump = [&] {
        if (scanDone) {
            finder.RequestClose();
        }
    };
    ASSERT_TRUE(Find());
    EXPECT_TRUE(finder.Closing());
    EXPECT_EQ(rec.status.back(), " Compare Cancelled");
    EXPECT_FALSE(rec.SawStatusStartingWith(" Search completed"));
    EXPECT_TRUE(rec.results.empty());
}

TEST(DupeFinder, RootThatCannotBeListedFails) {
    TempDir dir;
    WriteWholeFile(dir / "file", "x");
    DupeFinder finder;
    EXPECT_FALSE(finder.Find((dir / "missing").string()));
    EXPECT_FALSE(finder.Find((dir / "file").string()));
    EXPECT_TRUE(finder.Candidates().empty());
    EXPECT_TRUE(finder.Find(dir.path().string()));
}

// More members than are read side by side: the group is split by digest and
// every class confirmed byte by byte, and deleting works in batches too.
TEST_F(DupeFinderTest, LargeGroupSplitsIntoItsClasses) {
    const std::string p = PatternBytes(3000, 10);
    const std::string q = Flip(p, 2999);
    std::vector<fs::path> classP, classQ;
    for (int i = 0; i < 70; ++i) {
        classP.push_back(dir / ("p" + std::to_string(i)));
        WriteWholeFile(classP.back(), p);
    }
    for (int i = 0; i < 5; ++i) {
        classQ.push_back(dir / ("q" + std::to_string(i)));
        WriteWholeFile(classQ.back(), q);
    }
    for (int i = 0; i < 3; ++i) {
        WriteWholeFile(dir / ("single" + std::to_string(i)), Flip(p, 1000 + i));
    }
    ASSERT_TRUE(Find());
    EXPECT_EQ(rec.results, ExpectedLines(finder, {classP, classQ}));
    EXPECT_EQ(rec.counters.back(), "Files Compared: 78 of 78");

    EXPECT_EQ(finder.DeleteDuplicates(), 73);
    EXPECT_EQ(FilesBelow(dir.path()).size(), 5u);
}

// With few descriptors left, a group is read in smaller batches instead of
// losing the files that could not be opened.
TEST_F(DupeFinderTest, ShortOfDescriptorsStillFindsEveryCopy) {
    const std::string content = PatternBytes(2000, 11);
    std::vector<fs::path> copies;
    for (int i = 0; i < 40; ++i) {
        copies.push_back(dir / ("c" + std::to_string(i)));
        WriteWholeFile(copies.back(), content);
    }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const auto used =
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(used + 12);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const bool listed = Find();
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(listed);
    EXPECT_EQ(rec.results, ExpectedLines(finder, {copies}));
}

}  // namespace
}  // namespace wg::test
