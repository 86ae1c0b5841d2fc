#include "util/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/clock.h"

namespace wg {
namespace {

TEST(TextFindNoCase, ReturnsEndOfFirstMatch) {
    EXPECT_EQ(StrFindNoCase("<A HREF=x>", "href", false), 7u);  // the '='
    EXPECT_EQ(StrFindNoCase("<a href=x>", "HREF", false), 7u);  // needle lowercased
    EXPECT_EQ(FindNoCase("xaaab", "aab", false), 5u);           // partial match at 1 skipped
    EXPECT_EQ(FindNoCase("abab", "ab", true), 2u);              // first match wins

    std::string longText(1100, 'x');
    longText += "aaab";
    EXPECT_EQ(FindNoCase(longText, "aab", false), longText.size());
    EXPECT_EQ(FindNoCaseLower(longText, "aab"), longText.size());
}

TEST(TextFindNoCase, FoldsOnlyAsciiCapitalsOfTheHaystack) {
    // A needle flagged lowercase is used as given: capitals in it never match.
    EXPECT_EQ(FindNoCase("href", "HREF", true), kNotFound);
    EXPECT_EQ(FindNoCaseLower("HREF", "href"), 4u);
    // Bytes of 128 and above are compared unchanged (no Latin-1 folding).
    EXPECT_EQ(FindNoCase("caf\xC9", "caf\xE9", false), kNotFound);
    EXPECT_EQ(FindNoCase("CAF\xC9", "caf\xC9", false), 4u);
    // '@' (64) and '[' (91) sit beside 'A'..'Z' and are not folded.
    EXPECT_EQ(FindNoCase("@[", "`{", true), kNotFound);
}

TEST(TextFindNoCase, NoneForEmptyLongOrOutOfRangeNeedles) {
    EXPECT_EQ(FindNoCase("abc", "", false), kNotFound);
    EXPECT_EQ(FindNoCase("ab", "abc", false), kNotFound);
    EXPECT_EQ(StrFindNoCase(nullptr, "a", false), kNotFound);
    // Only the given length is searched.
    const std::string_view text = "abcHREF";
    EXPECT_EQ(FindNoCase(text.substr(0, 6), "href", false), kNotFound);
    EXPECT_EQ(FindNoCase(text.substr(0, 7), "href", false), 7u);
    // A needle of any length is accepted, also when it is to be lowercased.
    const std::string needle(300, 'Q');
    EXPECT_EQ(FindNoCase("z" + std::string(300, 'q'), needle, false), 301u);
}

TEST(TextBounded, CopyRules) {
    char buf[16];
    CopyBounded(buf, 5, "abcdefgh");
    EXPECT_STREQ(buf, "abcd");
    CopyBounded(buf, 16, "abc");
    EXPECT_STREQ(buf, "abc");
    std::strcpy(buf, "keep");
    CopyBounded(buf, 0, "xyz");  // no room: nothing is written
    EXPECT_STREQ(buf, "keep");

    CopyBoundedN(buf, 16, "abcdef", 0);
    EXPECT_STREQ(buf, "");
    CopyBoundedN(buf, 16, "abcdef", 3);
    EXPECT_STREQ(buf, "abc");
    CopyBoundedN(buf, 3, "abcdef", 5);
    EXPECT_STREQ(buf, "ab");
    const char unterminated[3] = {'x', 'y', 'z'};
    CopyBoundedN(buf, 16, unterminated, 2);  // reads no further than the count
    EXPECT_STREQ(buf, "xy");
}

TEST(TextBounded, AppendNeverShortensTheDestination) {
    char buf[16];
    std::strcpy(buf, "abcdefgh");
    AppendBounded(buf, 10, "xyz");
    EXPECT_STREQ(buf, "abcdefghx");
    AppendBounded(buf, 10, "q");  // already 9 characters
    EXPECT_STREQ(buf, "abcdefghx");
    std::strcpy(buf, "abcdefghijkl");
    AppendBounded(buf, 10, "q");  // longer than the capacity already
    EXPECT_STREQ(buf, "abcdefghijkl");
    std::strcpy(buf, "ab");
    AppendBoundedN(buf, 16, "cdef", 2);
    EXPECT_STREQ(buf, "abcd");
    AppendBoundedN(buf, 6, "efgh", 3);
    EXPECT_STREQ(buf, "abcde");
}

TEST(TextBounded, StringFormsHoldWhatTheBufferHolds) {
    const char* sources[] = {"", "a", "abcdefgh", "abcdefghijklmnop"};
    const char* starts[] = {"", "xy", "xyzuvw"};
    for (const char* source : sources) {
        for (std::size_t cap = 0; cap <= 12; ++cap) {
            for (std::size_t count = 0; count <= 10; count += 3) {
                SCOPED_TRACE(std::string(source) + " cap " + std::to_string(cap) + " count " +
                             std::to_string(count));
                char buf[32] = "";
                CopyBounded(buf, cap, source);
                EXPECT_EQ(CopyBounded(source, cap), std::string(buf));
                std::memset(buf, 0, sizeof buf);
                CopyBoundedN(buf, cap, source, count);
                EXPECT_EQ(CopyBoundedN(source, cap, count), std::string(buf));
                for (const char* start : starts) {
                    std::strcpy(buf, start);
                    std::string s = start;
                    AppendBounded(buf, cap, source);
                    AppendBounded(s, cap, source);
                    EXPECT_EQ(s, std::string(buf));
                    std::strcpy(buf, start);
                    s = start;
                    AppendBoundedN(buf, cap, source, count);
                    AppendBoundedN(s, cap, source, count);
                    EXPECT_EQ(s, std::string(buf));
                }
            }
        }
    }
    // A zero byte ends the source as it would end a buffer's text.
    EXPECT_EQ(CopyBounded(std::string_view("ab\0cd", 5), 10), "ab");
}

TEST(TextTrim, OnlySpacesAreTrimmed) {
    char a[] = "  a b  ";
    EXPECT_STREQ(TrimSpaces(a), "a b");
    char b[] = "\ta ";
    EXPECT_STREQ(TrimSpaces(b), "\ta");
    char c[] = "   ";
    EXPECT_STREQ(TrimSpaces(c), "");
    char d[] = "x\r\n";
    EXPECT_STREQ(TrimSpaces(d), "x\r\n");
    EXPECT_EQ(TrimSpaces(std::string_view("  a b  ")), "a b");
    EXPECT_EQ(TrimSpaces(std::string_view("\ta ")), "\ta");
    EXPECT_EQ(TrimSpaces(std::string_view("   ")), "");
}

TEST(TextFormEncode, EncodesAndStopsAtTheBound) {
    char buf[300];
    EXPECT_TRUE(UrlFormEncode("a b/c~", buf, 260));
    EXPECT_STREQ(buf, "a+b%2Fc%7E");
    EXPECT_FALSE(UrlFormEncode("a b/c~", buf, 6));
    EXPECT_STREQ(buf, "a+b");
    EXPECT_TRUE(UrlFormEncode("\xE9-._Az09\x01", buf, 260));
    EXPECT_STREQ(buf, "%E9-._Az09%01");
    // The bound is checked after the last byte too.
    EXPECT_FALSE(UrlFormEncode("abc", buf, 6));
    EXPECT_STREQ(buf, "abc");
    EXPECT_TRUE(UrlFormEncode("ab", buf, 6));

    // Tiny capacities never write past the buffer; the string form agrees.
    for (std::size_t cap = 1; cap <= 14; ++cap) {
        SCOPED_TRACE(cap);
        char small[20];
        std::memset(small, '#', sizeof small);
        const bool whole = UrlFormEncode("/a /", small, cap);
        EXPECT_EQ(small[cap], '#');
        EXPECT_LT(std::strlen(small), cap);
        std::string out;
        EXPECT_EQ(UrlFormEncode("/a /", out, cap), whole);
        EXPECT_EQ(out, std::string(small));
    }
}

TEST(TextReplace, CharactersAndTexts) {
    char path[32] = "C:\\a\\b";
    ReplaceCharWithText(path, std::strlen(path), sizeof path, '\\', "\\\\");
    EXPECT_STREQ(path, "C:\\\\a\\\\b");

    char cut[8] = "a/b/c";  // "a//b//c" has 7 characters: fits exactly
    ReplaceCharWithText(cut, 5, 8, '/', "//");
    EXPECT_STREQ(cut, "a//b//c");
    char cut2[7] = "a/b/c";
    ReplaceCharWithText(cut2, 5, 7, '/', "//");
    EXPECT_STREQ(cut2, "a//b//");

    char firstOnly[16] = "a/b/c";  // only the first 2 bytes are looked at
    ReplaceCharWithText(firstOnly, 2, 16, '/', "XY");
    EXPECT_STREQ(firstOnly, "aXYb/c");
    char inPlace[16] = "a/b/c";
    ReplaceCharWithText(inPlace, 5, 16, '/', "-");
    EXPECT_STREQ(inPlace, "a-b-c");
    char empty[16] = "a/b/c";
    ReplaceCharWithText(empty, 5, 16, '/', "");
    EXPECT_STREQ(empty, "a");

    char text[] = "a.b.c";
    EXPECT_STREQ(ReplaceChar(text, '.', '_'), "a_b_c");
    char bytes[] = {'a', '\0', 'a', 'b'};
    ReplaceCharN(bytes, 4, 'a', 'z');
    EXPECT_EQ(std::string(bytes, 4), std::string("z\0zb", 4));
    EXPECT_EQ(CountChar("a/b//c", '/'), 3u);
    EXPECT_EQ(ToLowerAscii("AbZ\xC9@["), "abz\xC9@[");
}

TEST(TextClock, CountsPlatformMilliseconds) {
    EXPECT_EQ(TimerFrequency(), 1000u);
    const std::uint64_t before = platform::SteadyMilliseconds();
    const std::uint64_t now = NowMilliseconds();
    EXPECT_LE(before, now);
    EXPECT_LE(now, platform::SteadyMilliseconds());
}

}  // namespace
}  // namespace wg
