#include "settings/type_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace wg {
namespace {

using Entries = std::vector<std::string>;

TEST(TypeListParse, CatchAllCaseAndEmptyEntries) {
    // Every entry an exclusion: the catch-all is appended.
    EXPECT_EQ(ParseTypeList("!.exe;!.zip").text, "!.exe;!.zip;.");
    EXPECT_EQ(ParseTypeList("!.exe;!.zip;").text, "!.exe;!.zip;.");
    EXPECT_EQ(ParseTypeList("!.exe").entries, (Entries{"!.exe", "."}));
    // One plain entry beside the exclusion: the separators catch up with the '!'s.
    EXPECT_EQ(ParseTypeList("!.exe;.jpg").text, "!.exe;.jpg");
    // The default list already ends with its catch-all and is left alone.
    EXPECT_EQ(ParseTypeList(kDefaultFileTypes).text, kDefaultFileTypes);
    EXPECT_EQ(ParseTypeList(kDefaultFileTypes).entries.size(), 15u);
    // A trailing ';' is not a separator followed by text.
    EXPECT_EQ(ParseTypeList("!.exe;.jpg;").text, "!.exe;.jpg;");
    // '!' inside entries is counted too; a list that already ends with its
    // catch-all keeps one, however often it is read back.
    EXPECT_EQ(ParseTypeList("x!!!;.").text, "x!!!;.");
    EXPECT_EQ(ParseTypeList(ParseTypeList("a!b!c").text).text, "a!b!c;.");
    // A catch-all in the middle moves to the end; no second one is added.
    EXPECT_EQ(ParseTypeList(".jpg;.;.gif").entries, (Entries{".jpg", ".gif", "."}));
    EXPECT_EQ(ParseTypeList(".jpg;.;.gif").text, ".jpg;.gif;.");
    EXPECT_EQ(ParseTypeList(".jpg;.;").text, ".jpg;.");
    EXPECT_EQ(ParseTypeList("!.exe;.;!.zip").text, "!.exe;!.zip;.");
    // Lower case; empty entries are skipped; '*' is an ordinary character.
    EXPECT_EQ(ParseTypeList(".JPG").text, ".jpg");
    EXPECT_EQ(ParseTypeList(";;.A;;.b;").entries, (Entries{".a", ".b"}));
    EXPECT_EQ(ParseTypeList(";;.A;;.b;").text, ";;.a;;.b;");
    EXPECT_TRUE(ParseTypeList("").entries.empty());
    EXPECT_TRUE(ParseTypeList(";").entries.empty());
    EXPECT_EQ(ParseTypeList("*.jp*").entries, (Entries{"*.jp*"}));
}

TEST(TypeListParse, TextIsBoundedAndEntriesFollowTheStoredText) {
    std::string text;
    while (text.size() < 2000)
        text += ".abcdefg;";
    const TypeEntries parsed = ParseTypeList(text);
    ASSERT_EQ(parsed.text.size(), 1023u);
    std::string joined;
    for (const std::string& entry : parsed.entries)
        joined += entry + ';';
    // Every entry comes from the kept 1023 characters, in order.
    EXPECT_EQ(parsed.text.substr(0, joined.size()), joined.substr(0, parsed.text.size()));
    EXPECT_EQ(parsed.entries.size(), 114u);  // 113 whole entries and the cut ".abcde"
    EXPECT_EQ(parsed.entries.back(), ".abcde");
}

TEST(TypeListStore, SetRefusesUnknownKindsAndKeepsOldSnapshotsValid) {
    TypeLists lists;
    EXPECT_FALSE(lists.Set(0, ".x"));
    EXPECT_FALSE(lists.Set(9, ".x"));
    EXPECT_EQ(lists.Text(TypeKind::SiteTypes), kDefaultSiteTypes);

    const TypeSnapshot before = lists.Get(TypeKind::PictureTypes);
    EXPECT_TRUE(lists.Set(6, ".PNG;!.gif"));
    EXPECT_EQ(lists.Text(TypeKind::PictureTypes), ".png;!.gif");
    // The reader's snapshot is untouched by the replacement.
    EXPECT_EQ(before->text, kDefaultPictureTypes);
    EXPECT_EQ(before->entries.size(), 7u);
    // An empty text is a real list with no entries.
    EXPECT_TRUE(lists.Set(TypeKind::PictureTypes, ""));
    EXPECT_TRUE(lists.Get(TypeKind::PictureTypes)->entries.empty());
}

// Readers walk snapshots while the settings thread keeps replacing the list;
// every snapshot must be one whole list. Run under ThreadSanitizer in CI.
TEST(TypeListStore, ReadersSeeWholeListsWhileAnotherThreadReplacesThem) {
    TypeLists lists;
    const std::string a = ".aa;.bb;.cc";
    const std::string b = "!.exe;.dd";
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};

    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const TypeSnapshot snap = lists.Get(TypeKind::FileTypes);
                std::string joined;
                for (const std::string& entry : snap->entries)
                    joined += entry + ';';
                const bool whole = (snap->text == a && joined == a + ";") ||
                                   (snap->text == b && joined == b + ";") ||
                                   snap->text == kDefaultFileTypes;
                bad.fetch_add(whole ? 0 : 1);
            }
        });
    }
    for (int i = 0; i < 2000; ++i)
        lists.Set(TypeKind::FileTypes, (i % 2) == 0 ? a : b);
    stop.store(true);
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(lists.Text(TypeKind::FileTypes), b);
}

}  // namespace
}  // namespace wg
