// Fingerprints of files of every interesting length, checked against sums
// worked out here word by word, and the "Dupe.bin" / "Dupe.dat" layouts.
#include <gtest/gtest.h>

#include <filesystem>

#include "dupes/dupe_file.h"
#include "dupes/dupe_test_files.h"
#include "dupes/fingerprint.h"
#include "platform/files.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

std::uint32_t WordAt(const std::string& s, std::size_t at) {
    std::uint32_t w = 0;
    for (int k = 3; k >= 0; --k) {
        w = (w << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
    }
    return w;
}

// Which words count, said per byte offset: a word of the head counts when it
// lies whole within the first 1024 bytes; a word at offset o of a later
// block of length m counts when o + 4 <= m - 32; a block shorter than 32
// bytes ends the file for the sums.
Fingerprint Reference(const std::string& s) {
    Fingerprint f;
    const std::size_t head = std::min<std::size_t>(s.size(), 1024);
    for (std::size_t o = 0; o + 4 <= head; o += 4) {
        f.headSum += WordAt(s, o);
    }
    f.bodySum = f.headSum;
    f.size = static_cast<std::uint32_t>(head);
    for (std::size_t start = 1024; start < s.size(); start += 4096) {
        const std::size_t m = std::min<std::size_t>(4096, s.size() - start);
        f.size += static_cast<std::uint32_t>(m);
        if (m < 32) {
            break;
        }
        for (std::size_t o = 0; o + 4 + 32 <= m; o += 4) {
            f.bodySum += WordAt(s, start + o);
        }
    }
    return f;
}

TEST(Fingerprint, MatchesTheWordRuleAtEveryBoundary) {
    TempDir dir;
    for (std::size_t size :
         {1u, 3u, 4u, 1023u, 1024u, 1025u, 1024u + 31u, 1024u + 32u, 1024u + 40u, 5000u,
          4096u + 1024u, 4096u + 1025u, 3u * 4096u + 1024u + 100u, 200000u}) {
        SCOPED_TRACE(size);
        const std::string bytes = PatternBytes(size, 1);
        const std::filesystem::path path = dir.path() / "f.bin";
        WriteWholeFile(path, bytes);
        platform::FilePtr file = platform::OpenFile(path, "rb");
        ASSERT_TRUE(file);
        const std::optional<Fingerprint> fromFile = FileFingerprint(file.get());
        ASSERT_TRUE(fromFile);
        EXPECT_EQ(*fromFile, Reference(bytes));
        EXPECT_EQ(BytesFingerprint(bytes), fromFile);
        if (size <= 1024) {
            EXPECT_EQ(fromFile->bodySum, fromFile->headSum);
        }
    }
    // Worked by hand: one byte sums nothing; two words sum into both.
    EXPECT_EQ(BytesFingerprint("\x07"), (Fingerprint{0, 0, 1}));
    EXPECT_EQ(BytesFingerprint(std::string("\x01\0\0\0\x02\0\0\0", 8)), (Fingerprint{3, 3, 8}));
    EXPECT_FALSE(BytesFingerprint(""));
}

TEST(DupeFileLayout, BinRoundTripAndDatMigration) {
    const std::vector<DupeRecord> records = {
        {"a.jpg", "/home/u/Downloads", {1, 2, 3}},
        {"b.png", "", {0xFFFFFFFF, 5, 6}},
    };
    const std::string bin = I32(-1) + I32(2) + Sized("a.jpg") + Sized("/home/u/Downloads") +
                            I32(1) + I32(2) + I32(3) + Sized("b.png") + Sized("") +
                            I32(0xFFFFFFFF) + I32(5) + I32(6);
    EXPECT_EQ(EncodeDupeBin(records), bin);
    DupeFileContent read = DecodeDupeFile(bin);
    EXPECT_TRUE(read.currentFormat);
    EXPECT_EQ(read.records, records);

    // The older file: full paths split into names and directories that end in
    // their separator.
    read = DecodeDupeFile(DatFile({"C:\\grab\\pics\\x.gif", "/srv/y.zip", "bare.txt"}, 7, 8, 9));
    EXPECT_FALSE(read.currentFormat);
    EXPECT_EQ(read.records, (std::vector<DupeRecord>{{"x.gif", "C:\\grab\\pics\\", {7, 8, 9}},
                                                     {"y.zip", "/srv/", {7, 8, 9}},
                                                     {"bare.txt", "", {7, 8, 9}}}));
    EXPECT_EQ(DecodeDupeFile(EncodeDupeBin(read.records)).records, read.records);
}

TEST(DupeFileLayout, RefusesTextsLongerThanTheirFields) {
    // The second record's name is beyond 256 bytes.
    const std::string bin = I32(-1) + I32(3) + Sized("a") + Sized("") + std::string(12, '\0') +
                            I32(300) + std::string(300, 'n');
    DupeFileContent read = DecodeDupeFile(bin);
    EXPECT_TRUE(read.stoppedEarly);
    EXPECT_EQ(read.records.size(), 1u);
    // A full-length name without its zero byte would not fit with it.
    EXPECT_TRUE(DecodeDupeFile(I32(-1) + I32(1) + I32(256) + std::string(256, 'n')).stoppedEarly);
    // Negative and cut lengths stop too; nothing too long is written.
    EXPECT_TRUE(DecodeDupeFile(I32(-1) + I32(1) + I32(-5)).stoppedEarly);
    EXPECT_TRUE(DecodeDupeFile(bin.substr(0, bin.size() - 1)).stoppedEarly);
    const std::string none = EncodeDupeBin({{std::string(256, 'x'), "", {}}});
    EXPECT_EQ(DecodeDupeFile(none).count, 0);
}

}  // namespace
}  // namespace wg::test
