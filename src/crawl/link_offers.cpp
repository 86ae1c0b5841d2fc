// Offering a found link to the queues: as a file (OfferFileLink), as a page
// (OfferPageLink, AddSiteFromScan), with relative links joined to the page.
#include <algorithm>
#include <iterator>
#include <string>

#include "crawl/link_scanner.h"
#include "crawl/link_tests.h"
#include "settings/type_filters.h"
#include "util/html_text.h"
#include "util/text.h"

namespace wg {

using namespace scan;

namespace {

bool IsBracket(char c) {
    return c == '(' || c == ')' || c == '{' || c == '}' || c == '[' || c == ']';
}

// The page's directory '/': its last one, or the last before a '?' that
// comes earlier.
std::size_t PageDirectory(std::string_view url) {
    const std::size_t slash = url.rfind('/');
    const std::size_t query = url.find('?');
    if (slash != std::string_view::npos && query != std::string_view::npos && query < slash) {
        return url.rfind('/', query);
    }
    return slash;
}

// Is the link a web page: by its extension when one was given, else by the
// caller's flag, narrowed by the extension the link itself shows, so that a
// picture is never taken for a page.
bool IsWebPage(std::string_view link, std::size_t extPos, bool isPage) {
    if (extPos != kNotFound) {
        return IsWebPageExtension(link, extPos);
    }
    return isPage && IsWebPageExtension(link, LinkExtension(link));
}

// ':' of "host:port" in an absolute link.
bool IsPortColon(std::string_view link, std::size_t at) {
    const std::size_t scheme = link.find("://");
    if (scheme == std::string_view::npos || at <= scheme + 3) {
        return false;
    }
    const std::size_t hostEnd = link.find_first_of("/?#", scheme + 3);
    if (hostEnd != std::string_view::npos && at >= hostEnd) {
        return false;
    }
    const std::size_t end = hostEnd == std::string_view::npos ? link.size() : hostEnd;
    for (std::size_t i = at + 1; i < end; ++i) {
        if (!IsDigit(link[i])) {
            return false;
        }
    }
    return true;
}

bool HasDotSegment(std::string_view link) {
    return link.starts_with("./") || link.starts_with("../") ||
           link.find("/./") != std::string_view::npos ||
           link.find("/../") != std::string_view::npos;
}

}  // namespace

ScanContext::ScanContext(const AppSettings& settingsIn, LinkSink& sinkIn, FetchedPage& pageIn,
                         const UrlRecord& recordIn, int slotIn)
    : settings(settingsIn),
      sink(sinkIn),
      page(pageIn),
      record(recordIn),
      slot(slotIn),
      allLinked(recordIn.allLinked != 0),
      withinDomain(recordIn.withinDomain != 0),
      logDebug(settingsIn.logDebug.load(std::memory_order_relaxed)),
      webPagesWanted((settingsIn.dft.load(std::memory_order_relaxed) & kGroupWebPages) != 0),
      allFileTypes(IsDownloadFileType(settingsIn.types, {}, kNotFound)) {
    link.reserve(kScanLinkLimit);
    joined.reserve(2 * kScanLinkLimit);
}

std::vector<std::pair<std::size_t, std::size_t>> ScriptElementsOf(std::string_view text) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::size_t from = 0;
    while (true) {
        const std::size_t open = FindNoCaseFrom(text, "<script", from);
        if (open == kNotFound) {
            break;
        }
        // The element's own attributes are HTML; its text starts after '>'.
        const std::size_t bodyStart = text.find('>', open);
        if (bodyStart == std::string_view::npos) {
            break;
        }
        const std::size_t close = FindNoCaseFrom(text, "</script", bodyStart);
        const std::size_t end = close == kNotFound ? text.size() : close;
        ranges.emplace_back(bodyStart + 1, end);
        if (close == kNotFound) {
            break;
        }
        from = close + 8;
    }
    return ranges;
}

std::vector<std::pair<std::size_t, std::size_t>> SourceSetsOf(std::string_view text) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::size_t from = 0;
    std::size_t match;
    while ((match = FindNoCaseFrom(text, "srcset", from)) != kNotFound) {
        std::size_t at = match + 6;
        while (at < text.size() && (text[at] == ' ' || text[at] == '=')) {
            ++at;
        }
        from = match + 6;
        if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) {
            continue;
        }
        const std::size_t end = text.find(text[at], at + 1);
        if (end == std::string_view::npos) {
            break;
        }
        ranges.emplace_back(at + 1, end);
        from = end + 1;
    }
    return ranges;
}

void ScanContext::DecodeReferences(std::string& candidate, std::size_t textPos) const {
    if (candidate.find('&') == std::string::npos) {
        return;
    }
    const auto after =
        std::upper_bound(scriptElements.begin(), scriptElements.end(), textPos,
                         [](std::size_t pos, const std::pair<std::size_t, std::size_t>& r) {
                             return pos < r.first;
                         });
    if (after != scriptElements.begin() && textPos < std::prev(after)->second) {
        return;
    }
    candidate = DecodeCharacterReferences(candidate);
}

bool OfferFileLink(ScanContext& scan, std::string& link, std::size_t extPos, bool isPage) {
    // 1. Trailing line ends and brackets go; one character always stays.
    while (link.size() > 1 &&
           (link.back() == '\n' || link.back() == '\r' || IsBracket(link.back()))) {
        link.pop_back();
    }
    // 2. No bracket or line feed inside; a path parameter after a file name and
    // a fragment are cut off.
    for (std::size_t i = link.size(); i-- > 0;) {
        const char c = link[i];
        if (IsBracket(c) || c == '\n') {
            return false;
        }
        const bool pathParameter =
            c == ';' && ((i >= 3 && link[i - 3] == '.') || (i >= 4 && link[i - 4] == '.') ||
                         (i >= 5 && link[i - 5] == '.'));
        if (pathParameter || c == '#') {
            link.resize(i);
        }
    }
    // An empty query ("font.eot?#iefix") is no query.
    while (link.size() > 1 && link.back() == '?') {
        link.pop_back();
    }
    if (link.empty()) {
        return true;
    }
    const std::string_view url = scan.record.url;
    // 4.
    if (link.starts_with("//")) {
        link.insert(0, "http:");
        if (extPos != kNotFound) {
            extPos += 5;
        }
    }
    // 5. Absolute link.
    if (IsAbsolute(link)) {
        bool add = true;
        if (!scan.allLinked && scan.withinDomain && InDomain(link, scan.page.domain)) {
            add = true;
        } else if (IsWebPage(link, extPos, isPage)) {
            add = false;
        }
        if (add) {
            scan.sink.AddFile(link, false, false);
            const bool flash = extPos != kNotFound ? link.find("swf", extPos) != std::string::npos
                                                   : link.find(".swf") != std::string::npos;
            if (flash) {
                scan.page.flashSeen = true;
            }
        }
        return true;
    }
    // 6. Relative link, joined to the page.
    const std::size_t directory = PageDirectory(url);
    std::string& full = scan.joined;
    if (directory != std::string_view::npos && directory >= 10 && link.front() != '/') {
        if (scan.record.hasBaseUrl) {
            full = scan.record.baseUrl;
            if (full.empty() || full.back() != '/') {
                full += '/';
            }
        } else {
            full.assign(url.substr(0, directory + 1));
        }
    } else if (directory != std::string_view::npos && directory >= 10) {
        full.assign(SiteRoot(url));
    } else {
        full.assign(url);
        if (!url.ends_with('/') && link.front() != '/') {
            full += '/';
        }
    }
    full += link;
    if (HasDotSegment(link)) {
        FoldDotSegments(full);
    }
    if (!scan.allLinked && !scan.withinDomain && IsWebPage(link, extPos, isPage)) {
        return true;
    }
    scan.sink.AddFile(full, false, false);
    if (link.find(".swf") != std::string::npos) {
        scan.page.flashSeen = true;
    }
    return true;
}

std::size_t OfferPageLink(ScanContext& scan, std::string_view link, bool scriptMode) {
    const std::size_t n = link.size();
    if (n == 0) {
        return 0;
    }
    // 1.
    if (link.back() == '(') {
        return 1;
    }
    // 2. Script punctuation, or a ':' that is not a scheme's or a port's.
    for (std::size_t i = n; i-- > 0;) {
        const char c = link[i];
        if (scriptMode && (c == ';' || c == ',' || c == '#' || IsBracket(c))) {
            return i;
        }
        if (c == ':' && (i + 1 >= n || link[i + 1] != '/') && !IsPortColon(link, i)) {
            return i;
        }
    }
    // 3. Media files are downloaded, not crawled.
    if (scan.webPagesWanted && IsMediaLink(scan.settings.types, link)) {
        return n;
    }
    // 4. Absolute link ("//host/..." counts as one, as it does for files).
    if (IsAbsolute(link)) {
        AddSiteFromScan(scan.sink, link, scan.record, true);
        return n;
    }
    const std::string_view url = scan.record.url;
    std::string& full = scan.joined;
    if (link.starts_with("//")) {
        full = "http:";
        full += link;
        AddSiteFromScan(scan.sink, full, scan.record, true);
        return n;
    }
    // 5. Relative link.
    if (url.find('/') == std::string_view::npos) {
        full.assign(link);
    } else if (link.front() == '/') {
        full.assign(SiteRoot(url));
        full += link;
    } else {
        if (scriptMode && scan.record.hasBaseUrl) {
            full = scan.record.baseUrl;
        } else {
            const std::size_t directory = PageDirectory(url);
            if (directory == std::string_view::npos || directory < 8) {
                full.assign(url);
            } else {
                full.assign(url.substr(0, directory + 1));
            }
        }
        if (full.empty() || full.back() != '/') {
            full += '/';
        }
        full += link;
    }
    if (HasDotSegment(link)) {
        FoldDotSegments(full);
    }
    if (scan.allLinked || scan.withinDomain) {
        AddSiteFromScan(scan.sink, full, scan.record, true);
    }
    return n;
}

UrlRecordPtr AddSiteFromScan(LinkSink& sink, std::string_view url, const UrlRecord& parent,
                             bool checkFilters) {
    if (sink.AddingLinksStopped()) {
        return nullptr;
    }
    if (sink.QueuesEmpty()) {
        sink.ShowStatus("Processing...");
    }
    // A script resolves its relative links against the referring page's
    // directory; the base goes in with the record, before any worker sees it.
    std::string base;
    bool hasBase = false;
    if (url.ends_with(".js")) {
        const std::string_view from = parent.url;
        const std::size_t slash = from.rfind('/');
        if (slash != std::string_view::npos && from.find('?', slash) == std::string_view::npos) {
            base.assign(slash < 7 ? from : from.substr(0, slash));
            hasBase = true;
        }
    }
    return sink.AddSite(url, parent.allLinked, parent.withinDomain, parent.thirdFlag, checkFilters,
                        hasBase ? &base : nullptr);
}

}  // namespace wg
