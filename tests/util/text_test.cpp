#include "util/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "util/html_text.h"

namespace wg {
namespace {

TEST(TextFindNoCase, ReturnsEndOfFirstMatch) {
    EXPECT_EQ(StrFindNoCase("<A HREF=x>", "href", false), 7u);  // the '='
    EXPECT_EQ(StrFindNoCase("<a href=x>", "HREF", false), 7u);  // needle lowercased
    EXPECT_EQ(FindNoCase("xaaab", "aab", false), 5u);           // partial match at 1 skipped
    EXPECT_EQ(FindNoCase("abab", "ab", true), 2u);              // first match wins
    const std::string longText = std::string(1100, 'x') + "aaab";
    EXPECT_EQ(FindNoCase(longText, "aab", false), longText.size());
    EXPECT_EQ(FindNoCaseLower(longText, "aab"), longText.size());

    // A needle flagged lowercase is used as given: capitals in it never match.
    EXPECT_EQ(FindNoCase("href", "HREF", true), kNotFound);
    EXPECT_EQ(FindNoCaseLower("HREF", "href"), 4u);
    // Only ASCII capitals fold: not Latin-1, nor the neighbours '@' and '['.
    EXPECT_EQ(FindNoCase("caf\xC9", "caf\xE9", false), kNotFound);
    EXPECT_EQ(FindNoCase("@[", "`{", true), kNotFound);
    EXPECT_EQ(FindNoCase("abc", "", false), kNotFound);
    EXPECT_EQ(FindNoCase("ab", "abc", false), kNotFound);
    EXPECT_EQ(StrFindNoCase(nullptr, "a", false), kNotFound);
    // Only the given length is searched (a full page buffer has no terminator).
    EXPECT_EQ(FindNoCase(std::string_view("abcHREF").substr(0, 6), "href", false), kNotFound);
}

TEST(TextBounded, CopyAndAppendCutSilently) {
    char buf[16];
    CopyBounded(buf, 5, "abcdefgh");
    EXPECT_STREQ(buf, "abcd");
    std::strcpy(buf, "keep");
    CopyBounded(buf, 0, "xyz");  // no room: nothing is written
    EXPECT_STREQ(buf, "keep");
    CopyBoundedN(buf, 3, "abcdef", 5);
    EXPECT_STREQ(buf, "ab");
    const char unterminated[3] = {'x', 'y', 'z'};
    CopyBoundedN(buf, 16, unterminated, 2);  // reads no further than the count
    EXPECT_STREQ(buf, "xy");

    std::strcpy(buf, "abcdefgh");
    AppendBounded(buf, 10, "xyz");
    EXPECT_STREQ(buf, "abcdefghx");
    AppendBounded(buf, 10, "q");  // already 9 characters
    EXPECT_STREQ(buf, "abcdefghx");
    std::strcpy(buf, "abcdefghijkl");
    AppendBounded(buf, 10, "q");  // longer than the capacity: never shortened
    EXPECT_STREQ(buf, "abcdefghijkl");
    std::strcpy(buf, "ab");
    AppendBoundedN(buf, 6, "cdefgh", 5);
    EXPECT_STREQ(buf, "abcde");
}

TEST(TextBounded, StringFormsHoldWhatTheBufferHolds) {
    for (const char* source : {"", "abcdefgh", "abcdefghijklmnop"}) {
        for (std::size_t cap = 0; cap <= 12; ++cap) {
            const std::size_t count = cap / 2 + 1;
            SCOPED_TRACE(std::string(source) + " cap " + std::to_string(cap));
            char buf[32] = "";
            CopyBounded(buf, cap, source);
            EXPECT_EQ(CopyBounded(source, cap), std::string(buf));
            std::memset(buf, 0, sizeof buf);
            CopyBoundedN(buf, cap, source, count);
            EXPECT_EQ(CopyBoundedN(source, cap, count), std::string(buf));
            for (const char* start : {"", "xyzuvw"}) {
                std::string s = start;
                std::strcpy(buf, start);
                AppendBounded(buf, cap, source);
                AppendBounded(s, cap, source);
                EXPECT_EQ(s, std::string(buf));
                s = start;
                std::strcpy(buf, start);
                AppendBoundedN(buf, cap, source, count);
                AppendBoundedN(s, cap, source, count);
                EXPECT_EQ(s, std::string(buf));
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
    char c[] = "x\r\n";
    EXPECT_STREQ(TrimSpaces(c), "x\r\n");
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
    EXPECT_FALSE(UrlFormEncode("abc", buf, 6));  // the bound is checked after the last byte too

    // Tiny capacities never write past the buffer; the string form agrees.
    for (std::size_t cap = 1; cap <= 14; ++cap) {
        SCOPED_TRACE(cap);
        char small[20];
        std::memset(small, '#', sizeof small);
        const bool whole = UrlFormEncode("/a /", small, cap);
        EXPECT_EQ(small[cap], '#');
        std::string out;
        EXPECT_EQ(UrlFormEncode("/a /", out, cap), whole);
        EXPECT_EQ(out, std::string(small));
    }
}

TEST(TextReplace, CharacterByTextWithinCapacity) {
    char path[32] = "C:\\a\\b";
    ReplaceCharWithText(path, std::strlen(path), sizeof path, '\\', "\\\\");
    EXPECT_STREQ(path, "C:\\\\a\\\\b");
    char fits[8] = "a/b/c";  // "a//b//c" has 7 characters: fits exactly
    ReplaceCharWithText(fits, 5, 8, '/', "//");
    EXPECT_STREQ(fits, "a//b//c");
    char cut[7] = "a/b/c";
    ReplaceCharWithText(cut, 5, 7, '/', "//");
    EXPECT_STREQ(cut, "a//b//");
    char firstOnly[16] = "a/b/c";  // only the first 2 bytes are looked at
    ReplaceCharWithText(firstOnly, 2, 16, '/', "XY");
    EXPECT_STREQ(firstOnly, "aXYb/c");
}

TEST(HtmlText, CharacterReferencesOfAddresses) {
    const std::pair<const char*, const char*> kCases[] = {
        {"view.php?id=27&amp;p=3", "view.php?id=27&p=3"},
        {"a&#38;b&#x26;c&#X2f;d", "a&b&c/d"},
        {"&quot;&apos;&lt;&gt;", "\"'<>"},
        {"caf&#233;&#x1F600;", "caf\xC3\xA9\xF0\x9F\x98\x80"},
        // Not references: no ';', unknown names, no digits, NUL, surrogates, too large.
        {"a&b=1&amp", "a&b=1&amp"},
        {"&copy;&#;&#x;&#0;&#xD800;&#x110000;", "&copy;&#;&#x;&#0;&#xD800;&#x110000;"},
        {"&&amp;amp;", "&&amp;"},
    };
    for (const auto& [in, out] : kCases) {
        EXPECT_EQ(DecodeCharacterReferences(in), out) << in;
    }
}

}  // namespace
}  // namespace wg
