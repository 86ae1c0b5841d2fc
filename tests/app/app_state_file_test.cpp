// Saving and loading the state file through the App.
#include "app/app_fixture.h"
#include "app/app_lists.h"
#include "app/crawl_work.h"
#include "platform/files.h"
#include "store/state_file.h"

namespace wg::test {
namespace {

class StateFileTest : public AppTest {
protected:
    void Fill(App& a) {
        a.Queues().Pages()->PushBack(
            Record("http://h.example/a.html", "http://h.example/", 1, 0, 1));
        a.Queues().Pages()->PushBack(Record("http://h.example/b.html", "", 0, 1, 0));
        a.Queues().Visited()->PushBack(Record("http://h.example/", "", 1, 1, 1));
        a.Queues().Files()->PushBack("http://h.example/f1.zip");
        a.Queues().Files()->PushBack("http://h.example/f2.zip");
    }
    void Empty(App& a) {
        a.Queues().Pages()->Clear();
        a.Queues().Visited()->Clear();
        a.Queues().Files()->Clear();
    }
    static UrlRecordPtr Record(std::string url, std::string base, std::uint8_t all,
                               std::uint8_t within, std::uint8_t third) {
        const bool hasBase = !base.empty();
        return std::make_shared<UrlRecord>(
            UrlRecord{std::move(url), std::move(base), hasBase, all, within, third});
    }
    static std::string Sibling(const App& a, std::string_view name) {
        return (a.Paths().programDir / name).string();
    }
};

TEST_F(StateFileTest, RoundTripKeepsListsFlagsBasesAndHeldFiles) {
    App& a = InitApp();
    Fill(a);
    a.Work().NoteHeldDownload(3, "http://h.example/held.zip");
    a.Work().NoteHeldPage(4, Record("http://h.example/held.html", "", 0, 1, 0));
    ASSERT_TRUE(a.StateFile().Save(false));
    EXPECT_TRUE(port->StatusLine().starts_with("Saved State File at "));
    a.Work().NoteHeldDownload(3, {});
    a.Work().NoteHeldPage(4, nullptr);
    Empty(a);

    a.StateFile().Load(false);
    EXPECT_TRUE(port->SawStatus("Loaded State File."));
    EXPECT_TRUE(a.State().StateLoaded());
    EXPECT_FALSE(a.State().WorkHeld());
    {
        auto lock = a.Queues().Pages();
        RecordList& linksToGrubble = *lock;
        const auto& all = linksToGrubble.Entries();
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[0]->url, "http://h.example/held.html");  // the page being scanned
        EXPECT_EQ(all[0]->withinDomain, 1);
        const std::vector<UrlRecordPtr> pages(all.begin() + 1, all.end());
        EXPECT_EQ(pages[0]->url, "http://h.example/a.html");
        EXPECT_EQ(pages[0]->baseUrl, "http://h.example/");
        EXPECT_TRUE(pages[0]->hasBaseUrl);
        EXPECT_EQ(pages[0]->allLinked, 1);
        EXPECT_EQ(pages[0]->thirdFlag, 1);
        EXPECT_FALSE(pages[1]->hasBaseUrl);
        EXPECT_EQ(pages[1]->withinDomain, 1);
    }
    {
        auto lock = a.Queues().Visited();
        RecordList& visited = *lock;
        ASSERT_EQ(visited.Size(), 1u);
        EXPECT_EQ(visited.Entries()[0]->allLinked, 0);  // visited records keep no flags
    }
    // The file a worker held is saved ahead of the queue.
    EXPECT_EQ(QueuedFiles(a),
              (std::vector<std::string>{"http://h.example/held.zip", "http://h.example/f1.zip",
                                        "http://h.example/f2.zip"}));
}

TEST_F(StateFileTest, HeldPagesAreSavedFirstAndAHeldFileIsNotQueuedAgain) {
    App& a = InitApp();
    Fill(a);
    bool keep = false;
    UrlRecordPtr taken = a.Work().TakeNextPage(5, keep);  // a.html, now being scanned
    ASSERT_TRUE(taken);
    const std::optional<std::string> file = a.Work().TakeNextDownload(6);  // f1.zip
    ASSERT_TRUE(file);
    a.Work().AddFile(*file, false, false);  // found again on another page meanwhile
    EXPECT_EQ(QueuedFiles(a), std::vector<std::string>{"http://h.example/f2.zip"});

    ASSERT_TRUE(a.StateFile().Save(false));
    Empty(a);
    a.StateFile().Load(false);
    auto lock = a.Queues().Pages();
    RecordList& linksToGrubble = *lock;
    ASSERT_EQ(linksToGrubble.Size(), 2u);
    EXPECT_EQ(linksToGrubble.Entries()[0]->url, "http://h.example/a.html");
    EXPECT_EQ(linksToGrubble.Entries()[0]->baseUrl, "http://h.example/");
}

TEST_F(StateFileTest, SaveAsKeepsThePathAndLoadAsTakesTheChosenOne) {
    App& a = InitApp();
    Fill(a);
    EXPECT_FALSE(a.StateFile().SaveAs());  // cancelled
    port->chosenSaveFile = Sibling(a, "copy");
    ASSERT_TRUE(a.StateFile().SaveAs());
    EXPECT_EQ(a.Paths().stateFile, a.Paths().programDir / "Save.dat");
    EXPECT_TRUE(std::filesystem::exists(Sibling(a, "copy.dat")));  // default extension
    EXPECT_FALSE(std::filesystem::exists(a.Paths().stateFile));

    Empty(a);
    port->chosenOpenFile = Sibling(a, "copy.dat");
    ASSERT_TRUE(a.StateFile().LoadAs());
    EXPECT_EQ(a.Paths().stateFile, a.Paths().programDir / "copy.dat");
    EXPECT_EQ(QueuedFiles(a).size(), 2u);
    EXPECT_FALSE(a.State().Paused());  // page taking is given back
}

TEST_F(StateFileTest, LoadFiltersPagesAndDropsFilesAlreadyOnDisk) {
    App& a = InitApp();
    a.Settings().types.Set(TypeKind::ExclusionTypes, "private");
    // A version-1 file written by hand: two flag bytes, 16-bit lengths.
    std::string bytes;
    AppendI32(bytes, 1);
    AppendI32(bytes, 2);
    for (std::string_view url : {"http://h.example/ok.html", "http://h.example/PRIVATE/x.html"}) {
        bytes += std::string("\x01\x00", 2);
        AppendU16(bytes, static_cast<std::uint16_t>(url.size() + 1));
        bytes += std::string(url) + '\0';
        AppendU16(bytes, 0);
    }
    AppendI32(bytes, 0);
    AppendI32(bytes, 2);
    for (std::string_view url : {"http://h.example/there.zip", "http://h.example/missing.zip"}) {
        AppendU16(bytes, static_cast<std::uint16_t>(url.size() + 1));
        bytes += std::string(url) + '\0';
    }
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().stateFile, bytes), 0);
    std::filesystem::create_directories(a.Paths().downloadDir / "h_example");
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().downloadDir / "h_example" / "there.zip", "z"),
              0);

    a.StateFile().Load(false);
    {
        auto lock = a.Queues().Pages();
        RecordList& linksToGrubble = *lock;
        ASSERT_EQ(linksToGrubble.Size(), 1u);
        EXPECT_EQ(linksToGrubble.Entries()[0]->url, "http://h.example/ok.html");
    }
    EXPECT_EQ(QueuedFiles(a), std::vector<std::string>{"http://h.example/missing.zip"});
}

TEST_F(StateFileTest, BackupIsMadeOnceAndNamedAfterWhetherAFileWasLoaded) {
    App& a = InitApp();
    Fill(a);
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().stateFile, "before this run"), 0);
    ASSERT_TRUE(a.StateFile().Save(false));
    EXPECT_EQ(ReadWholeFile(Sibling(a, "Save.bac")), "before this run");
    ASSERT_TRUE(a.StateFile().Save(false));  // the second save makes no copy
    EXPECT_EQ(ReadWholeFile(Sibling(a, "Save.bac")), "before this run");
    EXPECT_FALSE(std::filesystem::exists(Sibling(a, "Save.bak")));

    // A new run that loads the file backs it up under "bak".
    const std::string saved = ReadWholeFile(a.Paths().stateFile);
    app.reset();
    App& b = InitApp();
    b.StateFile().Load(false);
    ASSERT_TRUE(b.StateFile().Save(false));
    EXPECT_EQ(ReadWholeFile(Sibling(b, "Save.bak")), saved);
}

TEST_F(StateFileTest, CorruptFileIsSetAsideAndTheBackupLoaded) {
    App& a = InitApp();
    Fill(a);
    ASSERT_TRUE(a.StateFile().Save(false));
    const std::string good = ReadWholeFile(a.Paths().stateFile);
    Empty(a);
    const std::string corrupt = good.substr(0, good.size() - 3);  // cut inside a record
    ASSERT_EQ(platform::WriteFileAtomically(Sibling(a, "Save.bak"), good), 0);
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().stateFile, corrupt), 0);

    a.StateFile().Load(false);
    EXPECT_EQ(ReadWholeFile(Sibling(a, "Save.bad")), corrupt);
    EXPECT_EQ(ReadWholeFile(a.Paths().stateFile), good);
    EXPECT_FALSE(std::filesystem::exists(Sibling(a, "Save.bak")));
    EXPECT_EQ(QueuedFiles(a).size(), 3u);  // one from the failed read, two from the backup
    EXPECT_TRUE(port->SawStatus("Loaded State File."));

    // Both bad: the second message, and the program stays usable.
    ASSERT_EQ(platform::WriteFileAtomically(Sibling(a, "Save.bak"), corrupt), 0);
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().stateFile, corrupt), 0);
    a.StateFile().Load(false);
    EXPECT_TRUE(
        port->SawStatus("Error Loading State file and Loading Backup. I hope you made a backup!"));
    EXPECT_FALSE(a.State().WorkHeld());
    EXPECT_TRUE(a.StateFile().Save(false));
}

TEST_F(StateFileTest, EmptyListsAskBeforeTheFileIsDeletedAndKeepTheMainSettings) {
    App& a = InitApp();
    a.Options().SaveSettings();
    const std::filesystem::path site = a.Paths().programDir / "h.example.sav";
    a.Paths().stateFile = site;
    a.Paths().settingsFile = a.Paths().programDir / "h.example.ini";
    a.Options().SaveSettings();
    ASSERT_EQ(platform::WriteFileAtomically(site, "old"), 0);

    port->QueueAnswer(Answer::No);
    EXPECT_FALSE(a.StateFile().Save(false));
    EXPECT_EQ(ReadWholeFile(site), "old");

    port->QueueAnswer(Answer::Yes);
    EXPECT_TRUE(a.StateFile().Save(false));
    EXPECT_FALSE(std::filesystem::exists(site));
    EXPECT_FALSE(std::filesystem::exists(a.Paths().programDir / "h.example.ini"));
    EXPECT_TRUE(std::filesystem::exists(a.Paths().programDir / "Grubbler.ini"));
    EXPECT_EQ(a.Paths().stateFile, a.Paths().programDir / "Save.dat");
    EXPECT_FALSE(std::filesystem::exists(a.Paths().stateFile));  // nothing new is written
    EXPECT_EQ(ReadWholeFile(a.Paths().programDir / "load.cfg"),
              "SAVE_FILE=" + (a.Paths().programDir / "Save.dat").string() + "\n");

    // The main settings file is never deleted, even when it is the one in use.
    a.Paths().settingsFile = a.Paths().programDir / "Grubbler.ini";
    ASSERT_EQ(platform::WriteFileAtomically(a.Paths().stateFile, "old"), 0);
    port->QueueAnswer(Answer::Yes);
    EXPECT_TRUE(a.StateFile().Save(false));
    EXPECT_TRUE(std::filesystem::exists(a.Paths().programDir / "Grubbler.ini"));
}

}  // namespace
}  // namespace wg::test
