// The byte layouts of the state file, the download history and the ".dirs"
// list, built byte by byte here and read back.
#include <gtest/gtest.h>

#include "store/dirs_file.h"
#include "store/history_file.h"
#include "store/state_file.h"
#include "store/state_read_back.h"

namespace wg::test {
namespace {

// Little-endian helpers that spell the layouts out independently.
std::string Le(std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}
std::string Z(std::string_view text) {
    return std::string(text) + '\0';
}

// What was read, on one line: each page with its three flags and its base URL
// if it has one, then the visited URLs and the file URLs.
std::string Shown(const StateReadBack& r) {
    std::string s;
    for (const UrlRecord& p : r.pages) {
        s += p.url + " " + std::to_string(p.allLinked) + std::to_string(p.withinDomain) +
             std::to_string(p.thirdFlag) + (p.hasBaseUrl ? " " + p.baseUrl : "") + "; ";
    }
    s += "visited";
    for (const std::string& url : r.visited)
        s += " " + url;
    s += "; files";
    for (const std::string& url : r.files)
        s += " " + url;
    return r.end == StateRead::Ok ? s : s + "; stopped";
}

TEST(StateFileLayout, ReadsEveryVersion) {
    // Version 0: no version word, 32-bit lengths, two flag bytes, no base URL.
    std::string v0 = Le(3, 4);
    v0 += std::string("\x01\x00", 2) + Le(4, 4) + Z("a/1");
    v0 += std::string("\x07\x01", 2) + Le(4, 4) + Z("a/2");  // allLinked 7 reads as 0
    v0 += std::string("\x00\x00", 2) + Le(4, 4) + Z("a/3");
    v0 += Le(1, 4) + std::string("\x01\x01", 2) + Le(4, 4) + Z("v/1");
    v0 += Le(2, 4) + Le(4, 4) + Z("f/1") + Le(4, 4) + Z("f/2");
    EXPECT_EQ(Shown(ReadStateFile(v0)), "a/1 100; a/2 010; a/3 000; visited v/1; files f/1 f/2");

    // Version 1: two flag bytes, 16-bit lengths, base URLs (0 = none),
    // visited records with flags.
    std::string v1 = Le(1, 4) + Le(2, 4);
    v1 += std::string("\x00\x01", 2) + Le(4, 2) + Z("p/1") + Le(6, 2) + Z("base/");
    v1 += std::string("\x01\x00", 2) + Le(4, 2) + Z("p/2") + Le(0, 2);
    v1 += Le(1, 4) + std::string("\x01\x00", 2) + Le(2, 2) + Z("v");
    v1 += Le(0, 4);
    EXPECT_EQ(Shown(ReadStateFile(v1)), "p/1 010 base/; p/2 100; visited v; files");

    // Version 2: one flag byte per page record, none for visited records.
    std::string v2 = Le(2, 4) + Le(1, 4) + "\x05" + Le(4, 2) + Z("p/1") + Le(0, 2);
    v2 += Le(1, 4) + Le(4, 2) + Z("v/1") + Le(1, 4) + Le(4, 2) + Z("f/1");
    EXPECT_EQ(Shown(ReadStateFile(v2)), "p/1 101; visited v/1; files f/1");
}

TEST(StateFileLayout, WritesVersionTwoAndRefusesOverlongRecords) {
    UrlRecord a{"http://h.example/a", "http://h.example/", true, 1, 0, 1};
    UrlRecord b{"http://h.example/b", "", false, 0, 1, 0};
    std::string out;
    AppendStateHeader(out);
    AppendStateCount(out, 2);
    ASSERT_TRUE(AppendStatePageRecord(out, a));
    ASSERT_TRUE(AppendStatePageRecord(out, b));
    AppendStateCount(out, 1);
    ASSERT_TRUE(AppendStateUrl(out, "http://h.example/v"));
    AppendStateCount(out, 1);
    ASSERT_TRUE(AppendStateUrl(out, "http://h.example/f.zip"));
    const std::string expected = Le(2, 4) + Le(2, 4) + "\x05" + Le(19, 2) + Z(a.url) + Le(18, 2) +
                                 Z(a.baseUrl) + "\x02" + Le(19, 2) + Z(b.url) + Le(0, 2) +
                                 Le(1, 4) + Le(19, 2) + Z("http://h.example/v") + Le(1, 4) +
                                 Le(23, 2) + Z("http://h.example/f.zip");
    EXPECT_EQ(out, expected);

    // A record whose text cannot be stored is refused, not cut.
    UrlRecord huge{std::string(70000, 'x'), "", false, 0, 0, 0};
    std::string none;
    EXPECT_FALSE(AppendStatePageRecord(none, huge));
    EXPECT_TRUE(none.empty());
}

TEST(StateFileLayout, TellsCorruptFromEndedAndTooLongBase) {
    // The file ends after the page list: a complete load of that list.
    std::string pagesOnly =
        Le(2, 4) + Le(1, 4) + std::string(1, '\0') + Le(2, 2) + Z("p") + Le(0, 2);
    StateReadBack r = ReadStateFile(pagesOnly);
    EXPECT_EQ(r.end, StateRead::End);
    EXPECT_EQ(r.pages.size(), 1u);

    // Cut inside a record, a zero length, a negative count: corrupt.
    EXPECT_EQ(ReadStateFile(pagesOnly.substr(0, pagesOnly.size() - 1)).end, StateRead::Corrupt);
    EXPECT_EQ(ReadStateFile(Le(2, 4) + Le(1, 4) + std::string(1, '\0') + Le(0, 2)).end,
              StateRead::Corrupt);
    EXPECT_EQ(ReadStateFile(Le(2, 4) + Le(0xFFFFFFFF, 4)).end, StateRead::Corrupt);
    EXPECT_EQ(ReadStateFile(pagesOnly + Le(0xFFFFFFF0u, 4)).end, StateRead::Corrupt);
    EXPECT_EQ(ReadStateFile("").end, StateRead::Corrupt);

    // A base URL beyond 6000 bytes ends the load after the records before it.
    std::string longBase =
        Le(2, 4) + Le(2, 4) + std::string(1, '\0') + Le(2, 2) + Z("p") + Le(0, 2);
    longBase +=
        std::string("\x00", 1) + Le(2, 2) + Z("q") + Le(6001, 2) + Z(std::string(6000, 'b'));
    r = ReadStateFile(longBase);
    EXPECT_EQ(r.end, StateRead::BaseTooLong);
    EXPECT_EQ(r.pages.size(), 1u);

    // A huge count reserves no more than the bytes could hold.
    const std::string hugeCount = Le(2, 4) + Le(0x7FFFFFFF, 4) + std::string(30, '\0');
    StateFileReader reader(hugeCount);
    ASSERT_EQ(reader.ReadHeader(), StateRead::Ok);
    EXPECT_LE(reader.ReserveFor(reader.PageCount()), 10u);
}

TEST(HistoryFileLayout, LengthCountsTheZeroByteAndShortFilesKeepWhatWasRead) {
    std::string out;
    AppendHistoryCount(out, 1);
    AppendHistoryUrl(out, "a");
    EXPECT_EQ(out, Le(1, 4) + Le(2, 4) + Z("a"));

    // A file that ends early keeps what was read; a negative length stops.
    std::string url;
    const std::string cutBytes = Le(3, 4) + Le(3, 4) + Z("u0") + Le(3, 4) + Z("u1") + Le(3, 3);
    HistoryFileReader cut(cutBytes);
    ASSERT_TRUE(cut.ReadCount());
    EXPECT_TRUE(cut.NextUrl(&url));
    EXPECT_TRUE(cut.NextUrl(&url));
    EXPECT_EQ(url, "u1");
    EXPECT_FALSE(cut.NextUrl(&url));
    const std::string negativeBytes = Le(1, 4) + Le(0x80000000u, 4);
    HistoryFileReader negative(negativeBytes);
    ASSERT_TRUE(negative.ReadCount());
    EXPECT_FALSE(negative.NextUrl(&url));
}

TEST(DirsFileLayout, SkipsEmptyEntriesAndRefusesOversizedOnes) {
    const std::vector<std::string> dirs = {"/d/a", "/d/a/b"};
    const std::string encoded = EncodeDirsFile(dirs);
    EXPECT_EQ(encoded, Le(2, 4) + Le(5, 2) + Z("/d/a") + Le(7, 2) + Z("/d/a/b"));
    EXPECT_EQ(DecodeDirsFile(encoded).dirs, dirs);

    const std::string withEmpty = Le(3, 4) + Le(5, 2) + Z("/d/a") + Le(0, 2) + Le(3, 2) + Z("/e");
    DirsFileContent c = DecodeDirsFile(withEmpty);
    EXPECT_EQ(c.dirs, (std::vector<std::string>{"/d/a", "/e"}));
    EXPECT_FALSE(c.refused);

    const std::string oversized =
        Le(2, 4) + Le(3, 2) + Z("/e") + Le(261, 2) + std::string(261, 'x');
    c = DecodeDirsFile(oversized);
    EXPECT_TRUE(c.refused);
    EXPECT_EQ(c.dirs, std::vector<std::string>{"/e"});

    // A full-length entry without its zero byte would not fit with it.
    c = DecodeDirsFile(Le(1, 4) + Le(260, 2) + std::string(260, 'p'));
    EXPECT_TRUE(c.refused);
    EXPECT_TRUE(c.dirs.empty());

    EXPECT_EQ(DecodeDirsFile(Le(0, 4)).dirCount, 0);
    EXPECT_EQ(DecodeDirsFile("").dirCount, 0);
    EXPECT_EQ(DecodeDirsFile(Le(1, 4) + Le(9, 2) + "short").dirs.size(), 0u);
    // A path too long to be read back is not written.
    EXPECT_EQ(EncodeDirsFile({std::string(300, 'p')}), Le(0, 4));
}

}  // namespace
}  // namespace wg::test
