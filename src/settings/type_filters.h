// The decisions taken from the type and keyword lists: which links are files
// to download, which are pages to crawl, which are web pages or media, and
// which URLs and pages the keyword and search-word lists let through.
//
// An extension position is the index of the extension's dot in a link, or
// kNotFound (util/text.h) when the link has none; the extension text runs from
// there to the end of the link. Every function takes its own snapshot of the
// lists it reads, so a list replaced meanwhile never affects a running call.
#pragma once

#include <cstddef>
#include <string_view>

#include "settings/app_settings.h"
#include "settings/type_list.h"

namespace wg {

// Refusal reasons kept as the last fail reason.
inline constexpr std::string_view kFileTypeRefusal =
    "File not in Download File Types. See options.";
inline constexpr std::string_view kSkipWordRefusal = "Site contains Skip Word.";
inline constexpr std::string_view kNoSearchWordsRefusal = "Site contains no Search Words.";

// The fixed page-extension and top-level-domain texts behind IsWebPageExtension.
inline constexpr std::string_view kWebPageExtensions =
    ".htm;.html;.phtml;.aspx;.php;.cgi;.cfm;/?;.shtml;.pl;.stml;.jsp;.jhtm;.rss;.xhtml;.xml;.do";
inline constexpr std::string_view kTopLevelDomains =
    ".com;.net;.us;.info;.org;.biz;.tv;.ws;.name;.ag;.cn;.jp;.nz;.tw;.uk";

// The loose match of the add-time test and of the type groups: true when the
// entry, read from its first, second or third character, occurs anywhere in
// `text`, ignoring case (".jp" matches ".xjp" through "jp"). The entry is
// taken literally; a remainder that would be empty never matches.
bool EntryOccursLoosely(std::string_view text, std::string_view entry);

// The link scanner's file test: is the link's extension a wanted download type.
// FILE_TYPES entries are matched as prefixes of the extension, in list order;
// the first matching entry decides (an exclusion refuses).
bool IsDownloadFileType(const TypeLists& lists, std::string_view link, std::size_t extPos);

// Is the link a page to crawl (SITE_TYPES entries matched anywhere, then the
// path-shape rule).
bool IsSiteType(const TypeLists& lists, std::string_view link, std::size_t extPos);

// A fixed test, independent of the lists: does the extension name a web page.
bool IsWebPageExtension(std::string_view link, std::size_t extPos);

// Does any movie, music or picture entry occur in the link (ignoring case).
bool IsMediaLink(const TypeLists& lists, std::string_view link);

// Outcome of the search-word walk over a URL or a page text.
enum class SearchDecision { Accept, Reject, NoTest };

// The URL_SEARCH_WORDS walk: the first decisive entry wins; no decisive entry
// rejects; an empty list means no test.
SearchDecision SearchWordsAccept(const TypeLists& lists, std::string_view text);

// With SEARCH_TYPE "On Web Page": false when the search words reject the page
// text. True (scan the page) in every other case.
bool SearchWordsOnPage(const AppSettings& settings, std::string_view pageText);

// With SEARCH_TYPE " In URL": false when the search words reject the URL (the
// caller then records kNoSearchWordsRefusal). True in every other case.
bool SearchWordsInUrl(const AppSettings& settings, std::string_view url);

// Does any EXCLUSION_TYPES keyword occur in the URL, ignoring case ('!' is an
// ordinary character here).
bool ContainsSkipKeyword(const TypeLists& lists, std::string_view url);

// The DOWNLOAD_KEYWORDS rule: false when a plain keyword occurs in the URL, or
// when the list has required ('!') words and none of them occurs. The lone '.'
// that the parser appends to a list of required words is not a keyword here.
bool PassesDownloadKeywords(const TypeLists& lists, std::string_view url);

// Does any entry of the list occur in the URL, ignoring case, every entry taken
// literally (used by the purges of queued URLs).
bool ContainsAnyEntry(const TypeEntries& list, std::string_view url);

// The add-time test for a URL that is known to be a file.
enum class FileWanted {
    Add,     // queue it
    Ignore,  // leave it out silently
    Refuse,  // leave it out with kFileTypeRefusal as the last fail reason
};

// `requiredDomain` (empty: none) must occur in the URL, case-sensitively, when
// `withinDomainScope` is set (the main window's "Within This Domain Only").
FileWanted CheckFileWanted(const AppSettings& settings, std::string_view url,
                           std::string_view requiredDomain, bool withinDomainScope);

}  // namespace wg
