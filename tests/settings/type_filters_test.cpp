#include "settings/type_filters.h"

#include <gtest/gtest.h>

#include <string_view>

#include "util/text.h"

namespace wg {
namespace {

// The extension position the link scanner would pass: the link's first dot.
std::size_t FirstDot(std::string_view link) {
    return link.find('.');
}

class TypeFilterTest : public ::testing::Test {
protected:
    bool Download(std::string_view link) {
        return IsDownloadFileType(settings.types, link, FirstDot(link));
    }
    bool Site(std::string_view link) { return IsSiteType(settings.types, link, FirstDot(link)); }
    static bool WebPage(std::string_view ext) { return IsWebPageExtension(ext, 0); }
    FileWanted Wanted(std::string_view url) { return CheckFileWanted(settings, url, {}, false); }

    AppSettings settings;
};

TEST_F(TypeFilterTest, DownloadTypeExclusionsAndCatchAll) {
    settings.types.Set(TypeKind::FileTypes, "!.exe;.");
    EXPECT_FALSE(Download("setup.exe"));
    EXPECT_FALSE(Download("SETUP.EXE"));
    EXPECT_TRUE(Download("photo.jpg"));
    EXPECT_TRUE(Download("dir.d/"));               // a directory link counts as ".htm"
    EXPECT_TRUE(Download("http://example.com/"));  // extension text ".com/"
    EXPECT_TRUE(IsDownloadFileType(settings.types, "nodot", kNotFound));
    EXPECT_TRUE(IsDownloadFileType(settings.types, "a", 5));  // past the end: none

    settings.types.Set(TypeKind::FileTypes, ".jpg");
    EXPECT_FALSE(IsDownloadFileType(settings.types, "nodot", kNotFound));  // no catch-all
    EXPECT_TRUE(Download("x.jpg?size=2"));      // the query is cut off first
    EXPECT_FALSE(Download("get.php?f=a.jpg"));  // ".php" decides, not the query
    EXPECT_FALSE(Download("x.jpg/more"));       // the path after the dot: "/more"

    // The first matching entry decides.
    settings.types.Set(TypeKind::FileTypes, ".e;!.exe");
    EXPECT_TRUE(Download("setup.exe"));
    settings.types.Set(TypeKind::FileTypes, "!.ex;.e");
    EXPECT_FALSE(Download("setup.exe"));  // exclusion by prefix
    EXPECT_TRUE(Download("setup.e"));

    settings.types.Set(TypeKind::FileTypes, ".jp");  // entries are prefixes
    EXPECT_TRUE(Download("a.JPEG"));
    EXPECT_FALSE(Download("a.xjp"));
    EXPECT_FALSE(Download("a.j"));

    settings.types.Set(TypeKind::FileTypes, ".htm");
    EXPECT_TRUE(Download("a.com/dir/?x=1"));  // query on a directory: "/" counts as ".htm"
    EXPECT_TRUE(Download("a.com/"));
    EXPECT_FALSE(Download("a.com/dir"));  // "/dir"
}

TEST_F(TypeFilterTest, AddTimeTestUsesFirstSecondOrThirdCharacterOfEntries) {
    settings.types.Set(TypeKind::FileTypes, ".jp");
    EXPECT_EQ(Wanted("http://example.com/a.jpg"), FileWanted::Add);
    EXPECT_EQ(Wanted("http://example.com/a.JPEG"), FileWanted::Add);
    EXPECT_EQ(Wanted("http://example.com/a.xjp"), FileWanted::Add);  // "jp" from the entry's second
    EXPECT_EQ(Wanted("http://example.com/a.gif"), FileWanted::Ignore);

    settings.types.Set(TypeKind::FileTypes, ".mpeg");
    EXPECT_EQ(Wanted("http://example.com/a.jpeg"), FileWanted::Add);   // "peg" from the third
    EXPECT_EQ(Wanted("http://example.com/a.eg"), FileWanted::Ignore);  // "eg" is not tried

    settings.types.Set(TypeKind::FileTypes, "!.exe;.");
    EXPECT_EQ(Wanted("http://example.com/setup.exe"), FileWanted::Refuse);
    EXPECT_EQ(Wanted("http://example.com/setup.exe2"), FileWanted::Refuse);
    EXPECT_EQ(Wanted("http://example.com/setup.xex"), FileWanted::Add);  // exclusions are prefixes
    EXPECT_EQ(Wanted("http://example.com/a.zip"), FileWanted::Add);
    EXPECT_EQ(Wanted("http://example.com/dir/file"), FileWanted::Add);  // "/file", catch-all

    // The program's default list accepts the common file types: no exclusion
    // refuses a type that merely shares letters with it.
    settings.types.Set(TypeKind::FileTypes, kDefaultFileTypes);
    for (const char* url :
         {"http://example.com/a.gif", "http://example.com/a.jpeg", "http://example.com/a.html",
          "http://example.com/a.tiff", "http://example.com/a.mpeg"}) {
        EXPECT_EQ(Wanted(url), FileWanted::Add) << url;
    }
    EXPECT_EQ(Wanted("http://example.com/a.scr"), FileWanted::Refuse);
    EXPECT_EQ(Wanted("http://example.com/a.EXE"), FileWanted::Refuse);

    // A one-character entry matches only itself (no empty remainder).
    settings.types.Set(TypeKind::FileTypes, ".z");
    EXPECT_EQ(Wanted("http://example.com/a.zip"), FileWanted::Add);
    EXPECT_EQ(Wanted("http://example.com/a.gif"), FileWanted::Ignore);
}

TEST_F(TypeFilterTest, AddTimeExtensionSkipsTheHost) {
    settings.types.Set(TypeKind::FileTypes, ".jpg");
    settings.dft = kGroupWebPages;
    EXPECT_EQ(Wanted("http://www.jp"), FileWanted::Add);  // bare host with web pages
    settings.dft = 0;
    EXPECT_EQ(Wanted("http://www.jpg"), FileWanted::Add);  // the host's dot is all there is
    EXPECT_EQ(Wanted("http://www.test"), FileWanted::Ignore);
    EXPECT_EQ(Wanted("http://x/abc"), FileWanted::Ignore);  // no '.' at all
    EXPECT_EQ(Wanted("https://example.com/a/b.jpg"), FileWanted::Add);
    EXPECT_EQ(Wanted("http://x.jpg/dir/"), FileWanted::Ignore);  // extension "/"
    EXPECT_EQ(Wanted("http://example.com/p.php?f=a.jpg"), FileWanted::Ignore);
    EXPECT_EQ(Wanted("http://example.com/a.jpg?x=/y"), FileWanted::Add);
    EXPECT_EQ(Wanted("images/a.jpg"), FileWanted::Add);

    // Only a scheme of four or five letters skips the "//" and the host.
    settings.types.Set(TypeKind::FileTypes, ".b");
    EXPECT_EQ(Wanted("http://a.b/c"), FileWanted::Ignore);  // extension "/c"
    EXPECT_EQ(Wanted("ftp://a.b/c"), FileWanted::Add);      // extension ".b/c"

    // Required domain in "Within This Domain Only" scope, case-sensitive.
    settings.types.Set(TypeKind::FileTypes, ".jpg");
    EXPECT_EQ(CheckFileWanted(settings, "http://example.com/a.jpg", "example.com", true),
              FileWanted::Add);
    EXPECT_EQ(CheckFileWanted(settings, "http://EXAMPLE.COM/a.jpg", "example.com", true),
              FileWanted::Ignore);
    EXPECT_EQ(CheckFileWanted(settings, "http://example.org/a.jpg", "example.com", false),
              FileWanted::Add);
}

TEST_F(TypeFilterTest, SiteTypeEntriesThenPathShape) {
    EXPECT_TRUE(IsSiteType(settings.types, "nodot", kNotFound));
    EXPECT_TRUE(Site("a.HTML"));
    EXPECT_TRUE(Site("example.com/view.php?id=1"));
    EXPECT_FALSE(Site("a.jpg"));
    EXPECT_TRUE(Site("example.com/dir/"));        // ends with '/'
    EXPECT_TRUE(Site("example.com/dir/sub"));     // host and plain path
    EXPECT_FALSE(Site("example.com/dir/a.zip"));  // a file name after the path
    EXPECT_FALSE(Site("example.com/dir#top"));    // an anchor after the path

    settings.types.Set(TypeKind::SiteTypes, "!print;.htm");
    EXPECT_FALSE(Site("a.htm?print=1"));
    EXPECT_TRUE(Site("a.htm"));
    settings.types.Set(TypeKind::SiteTypes, "");
    EXPECT_FALSE(Site("a.htm"));
}

TEST_F(TypeFilterTest, WebPageExtensionFixedLists) {
    EXPECT_TRUE(IsWebPageExtension("x", kNotFound));
    // ".com/a/page.html?x": past index 5 the test starts at the last '.'; ".ht" is part of
    // a listed text.
    for (const char* e : {".html", ".com", ".do", ".com/dir/", ".php?id=1", ".com/a/page.html?x",
                          ".ht", "../page.htm", "../page.php?x=1"}) {
        EXPECT_TRUE(WebPage(e)) << e;
    }
    for (const char* e : {".jpg", ".doc", ".js", ".HTML", ".jpg?x=1", ".com/a/pic.gif#top",
                          "../page.gif#a", "../page"}) {
        EXPECT_FALSE(WebPage(e)) << e;
    }
}

TEST_F(TypeFilterTest, MediaLinksFromTheThreeGroupLists) {
    EXPECT_TRUE(IsMediaLink(settings.types, "http://example.com/a.MP3"));
    EXPECT_TRUE(IsMediaLink(settings.types, "http://example.com/movie.avi?x=1"));
    EXPECT_FALSE(IsMediaLink(settings.types, "http://example.com/a.html"));
    settings.types.Set(TypeKind::PictureTypes, "!.png;.bmp");
    EXPECT_FALSE(IsMediaLink(settings.types, "http://example.com/a.png"));  // '!' taken literally
    EXPECT_TRUE(IsMediaLink(settings.types, "http://example.com/!.png"));
}

TEST_F(TypeFilterTest, SearchWordsFirstDecisiveEntryWins) {
    settings.types.Set(TypeKind::SearchWords, "!forum;photo");
    const TypeLists& lists = settings.types;
    EXPECT_EQ(SearchWordsAccept(lists, "http://example.com/forum/photo.html"),
              SearchDecision::Reject);
    EXPECT_EQ(SearchWordsAccept(lists, "http://example.com/PHOTO.html"), SearchDecision::Accept);
    EXPECT_EQ(SearchWordsAccept(lists, "http://example.com/other"), SearchDecision::Reject);

    settings.types.Set(TypeKind::SearchWords, "photo;!forum");
    EXPECT_EQ(SearchWordsAccept(lists, "/forum/photo"), SearchDecision::Accept);
    settings.types.Set(TypeKind::SearchWords, "!forum");  // becomes "!forum;."
    EXPECT_EQ(SearchWordsAccept(lists, "/news"), SearchDecision::Accept);
    EXPECT_EQ(SearchWordsAccept(lists, "/forum"), SearchDecision::Reject);
    settings.types.Set(TypeKind::SearchWords, "");
    EXPECT_EQ(SearchWordsAccept(lists, "/news"), SearchDecision::NoTest);

    settings.types.Set(TypeKind::SearchWords, "photo");
    settings.searchType = kSearchInUrl;
    EXPECT_TRUE(SearchWordsOnPage(settings, "no match"));  // not the page mode
    EXPECT_FALSE(SearchWordsInUrl(settings, "http://example.com/a"));
    settings.searchType = kSearchOnPage;
    EXPECT_FALSE(SearchWordsOnPage(settings, "<html>nothing</html>"));
    EXPECT_TRUE(SearchWordsOnPage(settings, "<html>A Photo</html>"));
    EXPECT_TRUE(SearchWordsInUrl(settings, "http://example.com/a"));
    settings.searchType = kNoSearch;
    EXPECT_TRUE(SearchWordsOnPage(settings, "nothing"));
}

TEST_F(TypeFilterTest, SkipAndDownloadKeywords) {
    EXPECT_FALSE(ContainsSkipKeyword(settings.types, "http://example.com/a"));
    settings.types.Set(TypeKind::ExclusionTypes, "logout;ADS");
    EXPECT_TRUE(ContainsSkipKeyword(settings.types, "http://example.com/Ads/a.html"));
    EXPECT_TRUE(PassesDownloadKeywords(settings.types, "http://example.com/a.jpg"));
    settings.types.Set(TypeKind::DownloadKeywords, "thumb");
    EXPECT_FALSE(PassesDownloadKeywords(settings.types, "http://example.com/THUMB/a.jpg"));
    EXPECT_TRUE(PassesDownloadKeywords(settings.types, "http://example.com/a.jpg"));

    // Only required words: the appended catch-all is not a keyword.
    settings.types.Set(TypeKind::DownloadKeywords, "!big;!large");
    EXPECT_TRUE(PassesDownloadKeywords(settings.types, "http://example.com/large/a.jpg"));
    EXPECT_FALSE(PassesDownloadKeywords(settings.types, "http://example.com/small/a.jpg"));
    settings.types.Set(TypeKind::DownloadKeywords, "!big;thumb");
    EXPECT_FALSE(PassesDownloadKeywords(settings.types, "http://example.com/big/thumb.jpg"));
    EXPECT_TRUE(PassesDownloadKeywords(settings.types, "http://example.com/big/a.jpg"));

    // Purges take every entry literally.
    EXPECT_TRUE(ContainsAnyEntry(*settings.types.Get(TypeKind::DownloadKeywords), "/!BIG"));
    EXPECT_FALSE(ContainsAnyEntry(*settings.types.Get(TypeKind::DownloadKeywords), "/big"));
}

}  // namespace
}  // namespace wg
