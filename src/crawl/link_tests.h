// The tests every pass of the link scanner shares (domain, skip keyword, own
// URL, script URL) and the small character and URL helpers of the scanner.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "crawl/link_scanner.h"

namespace wg::scan {

constexpr char kDq = '"';
constexpr char kSq = '\'';

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsAlnum(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
inline bool IsQuote(char c) {
    return c == kDq || c == kSq;
}
// The first and last characters, or 0 for an empty text.
inline char First(std::string_view s) {
    return s.empty() ? '\0' : s.front();
}
inline char Second(std::string_view s) {
    return s.size() < 2 ? '\0' : s[1];
}
inline char Last(std::string_view s) {
    return s.empty() ? '\0' : s.back();
}

// Begins with "http", ignoring case.
bool IsAbsolute(std::string_view link);

// Position of the first case-insensitive match of `lowerNeedle` at or after
// `from`, or kNotFound.
std::size_t FindNoCaseFrom(std::string_view text, std::string_view lowerNeedle, std::size_t from);
bool ContainsNoCase(std::string_view text, std::string_view lowerNeedle);

// Removes trailing DQ, SQ, ' ' and '>' characters.
void TrimLinkEnd(std::string& link);

// The domain test: a relative link is inside; an absolute one is inside when
// the page domain occurs in it after the scheme, and not only in its query.
bool InDomain(std::string_view link, std::string_view domain);

// Links of the Flash player's vendor write no refusal lines.
bool IsFlashVendorLink(std::string_view link);

// The skip-keyword test, with its debug line.
bool HasSkipKeyword(ScanContext& scan, std::string_view link);
// The domain test of an absolute link when the scope is not "All Linked
// Pages"; writes "Not In Domain: %s" when it fails.
bool FailsDomain(ScanContext& scan, std::string_view link);
// The link is the page's own URL.
bool IsOwnUrl(const ScanContext& scan, std::string_view link);
// "javascript" followed by '.', ' ' or ':'.
bool IsScriptUrl(std::string_view link);

// A debug line "<prefix><link>" when LOGDEBUG is set.
void LogLink(ScanContext& scan, std::string_view prefix, std::string_view link);

// A space before `extPos` that follows ';' or a line feed: script text.
bool SpaceAfterStatement(std::string_view link, std::size_t extPos);

// The part of a URL before its first '/' after "://" (the whole URL when there
// is none).
std::string_view SiteRoot(std::string_view url);

// Removes "." and ".." segments from the path of an absolute URL; the query
// and fragment are left as they are.
void FoldDotSegments(std::string& url);

// The extension's dot of a link as the dot pass finds it (the first dot, moved
// into the path after the host), or kNotFound when the path has none.
std::size_t LinkExtension(std::string_view link);

}  // namespace wg::scan
