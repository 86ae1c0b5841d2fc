// The duplication data of the App: the runtime check of finished downloads
// (deleting only a byte-identical copy of a file still on disk), the list's
// limit and index, "Dupe.bin" / "Dupe.dat" on disk, the build and the update.
#include "app/app_fixture.h"
#include "app/option_setters.h"
#include "download/directory_search.h"
#include "dupes/dupe_data.h"
#include "dupes/dupe_service.h"
#include "dupes/dupe_test_files.h"
#include "platform/files.h"
#include "util/log_file.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

std::vector<DupeRecord> StoredRecords(const fs::path& file) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(file, &bytes));
    return DecodeDupeFile(bytes).records;
}

class DupeRuntimeTest : public AppTest {
protected:
    App& Start() {
        App& a = InitApp();
        a.Paths().downloadDir = dir.path() / "dl";
        fs::create_directories(a.Paths().downloadDir);
        a.Settings().runtimeDuplicateDetect.store(true);
        a.Settings().logDebug.store(true);
        return a;
    }
    fs::path Dl(const std::string& relative) const { return app->Paths().downloadDir / relative; }
    bool Check(const fs::path& path) { return app->Dupes().CheckDownload(path.string()); }
    std::size_t Records() {
        std::size_t size = 0;
        app->Dupes().WithData([&](DupeData& data, bool&) { size = data.Size(); });
        return size;
    }
    std::string DebugText() {
        const std::string path = DebugLogFile().Path();
        DebugLogFile().Close();
        std::string text;
        (void)platform::ReadWholeFile(path, &text);
        return text;
    }
};

TEST_F(DupeRuntimeTest, OnlyAByteIdenticalKeptFileMakesADuplicate) {
    Start();
    const std::string x = PatternBytes(5000, 1);
    WriteWholeFile(Dl("a.jpg"), x);
    EXPECT_FALSE(Check(Dl("a.jpg")));

    // The same content under another name goes, naming the kept file.
    WriteWholeFile(Dl("b.jpg"), x);
    EXPECT_TRUE(Check(Dl("b.jpg")));
    EXPECT_FALSE(fs::exists(Dl("b.jpg")));
    EXPECT_NE(DebugText().find("Dupe Deleted: " + Dl("b.jpg").string() + " - kept a.jpg"),
              std::string::npos);

    // Another ending keeps both; the same name in the same place is the file
    // fetched again and is recorded again.
    WriteWholeFile(Dl("c.png"), x);
    EXPECT_FALSE(Check(Dl("c.png")));
    const std::size_t before = Records();
    WriteWholeFile(Dl("a.jpg"), x);
    EXPECT_FALSE(Check(Dl("a.jpg")));
    EXPECT_EQ(Records(), before + 1);

    // Equal fingerprints, different bytes: the last 32 bytes of a block are
    // not summed, so only the byte comparison tells these apart.
    std::string y = PatternBytes(2000, 2);
    WriteWholeFile(Dl("y1.gif"), y);
    EXPECT_FALSE(Check(Dl("y1.gif")));
    y[1995] = static_cast<char>(y[1995] ^ 0x5A);
    ASSERT_EQ(BytesFingerprint(y), BytesFingerprint(PatternBytes(2000, 2)));
    WriteWholeFile(Dl("y2.gif"), y);
    EXPECT_FALSE(Check(Dl("y2.gif")));
    EXPECT_TRUE(fs::exists(Dl("y2.gif")));

    // The kept file gone from disk: the fresh copy stays.
    fs::remove(Dl("c.png"));
    WriteWholeFile(Dl("d.png"), x);
    EXPECT_FALSE(Check(Dl("d.png")));
    EXPECT_TRUE(fs::exists(Dl("d.png")));

    // An empty file is always removed.
    WriteWholeFile(Dl("empty.jpg"), "");
    EXPECT_TRUE(Check(Dl("empty.jpg")));
    EXPECT_FALSE(fs::exists(Dl("empty.jpg")));
    EXPECT_NE(DebugText().find("Failed to read file: " + Dl("empty.jpg").string()),
              std::string::npos);
}

TEST_F(DupeRuntimeTest, RecordsNameTheDirectoryWhereTheFileStands) {
    App& a = Start();
    const std::string x = PatternBytes(3000, 3);
    WriteWholeFile(Dl("host/p/a.jpg"), x);
    EXPECT_FALSE(Check(Dl("host/p/a.jpg")));
    a.Dupes().WithData([&](DupeData& data, bool&) {
        ASSERT_EQ(data.Size(), 1u);
        EXPECT_TRUE(SameDupeDirectory(data.At(0).dir, Dl("host/p").string()));
    });
    // The same name fetched again into the same sub-directory is kept ...
    EXPECT_FALSE(Check(Dl("host/p/a.jpg")));
    // ... the same name and bytes in another directory is a copy.
    WriteWholeFile(Dl("host/q/a.jpg"), x);
    EXPECT_TRUE(Check(Dl("host/q/a.jpg")));
    EXPECT_TRUE(fs::exists(Dl("host/p/a.jpg")));
}

TEST_F(DupeRuntimeTest, NothingIsJudgedWhileOffOrHeld) {
    App& a = Start();
    WriteWholeFile(Dl("a.jpg"), PatternBytes(100, 4));
    WriteWholeFile(Dl("b.jpg"), PatternBytes(100, 4));
    WriteWholeFile(Dl("e.jpg"), "");
    a.Settings().runtimeDuplicateDetect.store(false);
    EXPECT_FALSE(Check(Dl("e.jpg")));
    a.Settings().runtimeDuplicateDetect.store(true);
    a.State().SetWorkHeld(true);
    EXPECT_FALSE(Check(Dl("e.jpg")));
    a.State().SetWorkHeld(false);
    EXPECT_FALSE(Check(Dl("missing.jpg")));
    EXPECT_TRUE(fs::exists(Dl("e.jpg")));
    EXPECT_EQ(Records(), 0u);

    // Turning detection on or off asks for a rebuild; setting it again does not.
    a.Setters().SetRuntimeDuplicateDetect(false);
    EXPECT_TRUE(a.Dupes().TakeRebuild());
    a.Setters().SetRuntimeDuplicateDetect(false);
    EXPECT_FALSE(a.Dupes().RebuildWanted());
}

TEST(DupeData, LimitDropsTheOldestAndTheIndexFollows) {
    DupeData data;
    const Fingerprint p{1, 2, 3};
    const Fingerprint q{1, 2, 4};
    for (int i = 0; i < 5; ++i) {
        data.Append({"f" + std::to_string(i), "", i % 2 == 0 ? p : q}, 3);
    }
    ASSERT_EQ(data.Size(), 3u);
    EXPECT_EQ(data.At(0).name, "f2");
    const std::vector<std::size_t> withP = data.WithPrint(p);
    ASSERT_EQ(withP.size(), 2u);  // f4 then f2; f0 went with the limit
    EXPECT_EQ(data.At(withP[0]).name, "f4");
    EXPECT_EQ(data.At(withP[1]).name, "f2");
    EXPECT_TRUE(data.WithPrint({9, 9, 9}).empty());
    int ticks = 0;
    for (int i = 0; i < 9000; ++i) {
        data.Append({"g", "", {0, 0, static_cast<std::uint32_t>(i)}});
    }
    data.Clear([&] { ++ticks; });
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(data.Empty());
    EXPECT_TRUE(data.WithPrint(p).empty());
}

TEST_F(DupeRuntimeTest, StoredRecordsAreReadBeforeTheFirstCheckAndKeptBySaving) {
    App& a = Start();
    const std::string x = PatternBytes(4000, 5);
    WriteWholeFile(dir.path() / "old/kept.jpg", x);
    const std::vector<DupeRecord> stored{
        {"kept.jpg", (dir.path() / "old").string(), *BytesFingerprint(x)},
        {"other.bin", "/nowhere", {7, 7, 7}}};
    ASSERT_EQ(platform::WriteFileAtomically(dir.path() / "Dupe.bin", EncodeDupeBin(stored)), 0);

    // No state file was loaded: the first check reads "Dupe.bin" itself.
    WriteWholeFile(Dl("copy.jpg"), x);
    EXPECT_TRUE(Check(Dl("copy.jpg")));
    WriteWholeFile(Dl("new.jpg"), PatternBytes(4000, 6));
    EXPECT_FALSE(Check(Dl("new.jpg")));
    a.Dupes().Save();
    const std::vector<DupeRecord> saved = StoredRecords(dir.path() / "Dupe.bin");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[1], stored[1]);
    EXPECT_EQ(saved[2].name, "new.jpg");
}

TEST_F(DupeRuntimeTest, StateFileSaveAndLoadCarryTheList) {
    App& a = Start();
    WriteWholeFile(Dl("a.jpg"), PatternBytes(3000, 13));
    EXPECT_FALSE(Check(Dl("a.jpg")));
    ASSERT_TRUE(a.StateFile().Save(false));
    EXPECT_EQ(StoredRecords(dir.path() / "Dupe.bin").size(), 1u);
    a.Dupes().Release();
    EXPECT_EQ(Records(), 0u);
    a.StateFile().Load(false);
    EXPECT_EQ(Records(), 1u);
    EXPECT_FALSE(a.State().WorkHeld());
}

TEST_F(DupeRuntimeTest, SavingBeforeAnyCheckKeepsTheStoredRecords) {
    App& a = Start();
    const std::vector<DupeRecord> stored{{"a.jpg", "/d", {1, 2, 3}}};
    ASSERT_EQ(platform::WriteFileAtomically(dir.path() / "Dupe.bin", EncodeDupeBin(stored)), 0);
    a.Dupes().WithData([](DupeData&, bool& exists) { exists = true; });
    a.Dupes().Save();
    EXPECT_EQ(StoredRecords(dir.path() / "Dupe.bin"), stored);
}

TEST_F(DupeRuntimeTest, OlderFileIsMigratedAndErasedOnRequest) {
    App& a = Start();
    WriteWholeFile(dir.path() / "Dupe.dat",
                   DatFile({"C:\\Grub\\pics\\a.jpg", "noslash.gif"}, 10, 20, 30));
    a.Dupes().Load();
    EXPECT_FALSE(fs::exists(dir.path() / "Dupe.dat"));
    EXPECT_FALSE(a.State().WorkHeld());
    EXPECT_TRUE(port->SawStatus("Loading Duplication Data..."));
    EXPECT_EQ(port->StatusLine(), "Ready.");
    EXPECT_EQ(Records(), 2u);  // how the paths split: DupeFileLayout.BinRoundTripAndDatMigration
    a.Dupes().Save();
    std::string bin;
    ASSERT_TRUE(platform::ReadWholeFile(dir.path() / "Dupe.bin", &bin));
    EXPECT_TRUE(DecodeDupeFile(bin).currentFormat);
    EXPECT_EQ(DecodeDupeFile(bin).records.size(), 2u);

    // Loading again replaces the records rather than adding to them.
    a.Dupes().Load();
    EXPECT_TRUE(port->SawStatus("Removing old Duplication Data..."));
    EXPECT_EQ(Records(), 2u);

    port->QueueAnswer(Answer::No);
    a.Dupes().Erase();
    EXPECT_EQ(port->StatusLine(), "'Erase of duplicate file data aborted.");
    EXPECT_TRUE(fs::exists(dir.path() / "Dupe.bin"));
    port->QueueAnswer(Answer::Yes);
    a.Dupes().Erase();
    EXPECT_FALSE(fs::exists(dir.path() / "Dupe.bin"));
    EXPECT_EQ(Records(), 0u);
    EXPECT_EQ(port->StatusLine(), "Duplication Data' list removed.");
}

TEST_F(DupeRuntimeTest, BuildRecordsTheDirectoriesAndUpdateAddsOnlyNewNames) {
    App& a = Start();
    a.Directories().SetCheckDir(a.Paths().downloadDir.string(), 0);
    WriteWholeFile(Dl("a.jpg"), PatternBytes(1500, 7));
    WriteWholeFile(Dl("b.jpg"), PatternBytes(1500, 8));
    WriteWholeFile(Dl(".x"), PatternBytes(10, 9));   // two characters from a dot: skipped
    WriteWholeFile(Dl("..y"), PatternBytes(10, 9));  // begins with "..": skipped
    WriteWholeFile(Dl("z.txt"), "");                 // nothing to fingerprint
    WriteWholeFile(Dl("sub/c.jpg"), PatternBytes(1500, 10));
    a.Dupes().Build();
    EXPECT_EQ(port->StatusLine(), "Processed 2 files.");
    EXPECT_EQ(StoredRecords(dir.path() / "Dupe.bin").size(), 2u);

    // With the sub-directory list the sub-directories come first.
    a.Settings().searchDlSubDirs.store(true);
    a.Directories().SubDirectories().Publish({Dl("sub").string()});
    a.Dupes().MarkRebuild();
    ASSERT_TRUE(a.Dupes().StartBuild());
    a.Dupes().JoinThread();
    EXPECT_FALSE(a.Dupes().RebuildWanted());
    EXPECT_EQ(port->StatusLine(), "Processed 3 files.");
    a.Dupes().WithData([](DupeData& data, bool&) {
        ASSERT_EQ(data.Size(), 3u);
        EXPECT_EQ(data.At(0).name, "c.jpg");
    });

    // The update moves a known name to where it now stands and adds new
    // names; every file seen counts.
    fs::rename(Dl("sub/c.jpg"), Dl("c.jpg"));
    WriteWholeFile(Dl("d.jpg"), PatternBytes(1500, 11));
    port->QueueAnswer(Answer::No);
    EXPECT_FALSE(a.Dupes().StartUpdate());
    port->QueueAnswer(Answer::Yes);
    ASSERT_TRUE(a.Dupes().StartUpdate());
    a.Dupes().JoinThread();
    EXPECT_EQ(port->StatusLine(), "Processed 5 files.");  // the empty z.txt too
    EXPECT_TRUE(port->SawStatus("Saving New Dupe List..."));
    const std::vector<DupeRecord> saved = StoredRecords(dir.path() / "Dupe.bin");
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[0].name, "c.jpg");
    EXPECT_EQ(saved[0].dir, a.Paths().downloadDir.string());
    EXPECT_EQ(saved[3].name, "d.jpg");
}

using DupeDownloadTest = NetworkAppTest;

TEST_F(DupeDownloadTest, SecondDownloadOfTheSameBytesIsNotKept) {
    App& a = InitApp();
    a.Settings().runtimeDuplicateDetect.store(true);
    const std::string bytes = PatternBytes(6000, 12);
    server.Route("/p/one.jpg", Reply::Ok(bytes, "image/jpeg"));
    server.Route("/q/two.jpg", Reply::Ok(bytes, "image/jpeg"));
    ASSERT_TRUE(a.Fetcher().DownloadOne(slot, server.Url("p/one.jpg")));
    (void)a.Fetcher().DownloadOne(slot, server.Url("q/two.jpg"));
    EXPECT_TRUE(fs::exists(a.Paths().downloadDir / "127_0_0_1/p/one.jpg"));
    EXPECT_FALSE(fs::exists(a.Paths().downloadDir / "127_0_0_1/q/two.jpg"));
    EXPECT_EQ(a.Counters().filesDownloaded.load(), 1u);
}

}  // namespace
}  // namespace wg::test
