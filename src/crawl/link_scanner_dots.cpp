// The dot walks: the main pass of ScanPage and the scan of script files. Each
// '.' of the text is a possible link; the walk goes outward to the link's
// delimiters and a row of rules keeps script expressions and prose out.
#include <algorithm>

#include "crawl/link_scanner.h"
#include "crawl/link_scanner_passes.h"
#include "crawl/link_tests.h"
#include "settings/type_filters.h"
#include "util/text.h"

namespace wg {

using namespace scan;

namespace {

constexpr std::size_t kPassStart = 6;

bool PageOpening(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (c == kDq || c == '=' || c == '>' || c == '(') {
        return true;
    }
    // An apostrophe inside a word does not open a link.
    return c == kSq && (at == 0 || !IsAlnum(text[at - 1]));
}

bool ScriptOpening(std::string_view text, std::size_t at) {
    const char c = text[at];
    return c == kDq || c == '=' || c == kSq;
}

// The nearest opening delimiter before a dot, or the text's first character
// when there is none. The walks ask for increasing positions, so the text is
// read forward once instead of backward from every dot.
template <bool (*IsOpening)(std::string_view, std::size_t)>
class OpeningFinder {
public:
    explicit OpeningFinder(std::string_view text) : text_(text) {}

    std::size_t Before(std::size_t dot) {
        for (; scanned_ < dot; ++scanned_) {
            if (IsOpening(text_, scanned_)) {
                last_ = scanned_;
            }
        }
        return last_ == kNotFound ? 0 : last_;
    }

private:
    std::string_view text_;
    std::size_t scanned_ = 0;
    std::size_t last_ = kNotFound;
};

// Position of `closing` in [from, limit), or kNotFound.
std::size_t FindClosing(std::string_view text, char closing, std::size_t from, std::size_t limit) {
    limit = std::min(limit, text.size());
    if (from >= limit) {
        return kNotFound;
    }
    const std::size_t at = text.substr(from, limit - from).find(closing);
    return at == std::string_view::npos ? kNotFound : from + at;
}

// A quote after the extension ends the link; text up to a quote before it
// goes (a script call with a quoted file name yields the file name).
void CutAtQuotes(std::string& link, std::size_t& ext) {
    const std::size_t after = link.find_first_of("\"'", ext + 1);
    if (after != std::string::npos) {
        link.resize(after);
    }
    const std::size_t before = link.find_first_of("\"'");
    if (before != std::string::npos) {
        link.erase(0, before + 1);
        ext -= before + 1;
    }
}

// OfferFileLink puts "http:" before a "//" link; the extension moves with it.
bool OfferFileKeepingExtension(ScanContext& scan, std::size_t& ext, std::size_t fileExt,
                               bool isPage) {
    const bool schemeless = scan.link.starts_with("//");
    const bool offered = OfferFileLink(scan, scan.link, fileExt, isPage);
    if (schemeless && scan.link.starts_with("http://")) {
        ext += 5;
    }
    return offered;
}

// The rules that tell a script expression from a link in a page.
bool IsScriptExpression(std::string_view link) {
    const char first = First(link);
    const char second = Second(link);
    const char last = Last(link);
    return last == ';' || first == ',' || (first == '.' && second != '.' && second != '/') ||
           first == '(' || first == ';' || first == '$' || (first == '-' && second == '/') ||
           (IsDigit(last) && StartsWithNoCase(link, "javascript")) || last == '.' || last == '\n' ||
           StartsWithNoCase(link, "window.") || StartsWithNoCase(link, "this.") ||
           link.find(" && ") != std::string_view::npos ||
           link.find(" ==") != std::string_view::npos || StartsWithNoCase(link, "indexof(") ||
           ContainsNoCase(link, "</script>") ||
           (last == '=' && StartsWithNoCase(link, "document.")) || (first == '+' && second == ' ');
}

// The same for a script file.
bool IsScriptFileExpression(std::string_view link) {
    const char first = First(link);
    const char last = Last(link);
    return last == '.' || last == ',' || last == '[' || last == '(' || last == ';' || last == '{' ||
           StartsWithNoCase(link, "window.") || StartsWithNoCase(link, "document.") ||
           StartsWithNoCase(link, "self.") || link.starts_with("this.") ||
           ContainsNoCase(link, ".getelement") || ContainsNoCase(link, ".length") ||
           ContainsNoCase(link, ".value") || first == ';' || first == '(' ||
           link.find('\n') != std::string_view::npos || (first == '+' && last == '+');
}

// A link whose only dots are in its host name (a bare path on another host).
std::size_t OfferBarePath(ScanContext& scan) {
    std::string& link = scan.link;
    if (!scan.allLinked && (!scan.withinDomain || !InDomain(link, scan.page.domain))) {
        return 2;
    }
    if (!scan.webPagesWanted) {
        return 2;
    }
    scan.sink.Yield();
    if (OfferFileLink(scan, link, kNotFound, true)) {
        return 1 + OfferPageLink(scan, link, false);
    }
    return 1;
}

// Examines the dot at `dot`; returns how far past it the next dot is searched.
// `linkEnd` is set to the link's closing delimiter once the link is read.
template <typename Finder>
std::size_t ExamineDot(ScanContext& scan, std::string_view text, std::size_t dot, Finder& openings,
                       std::size_t& linkEnd) {
    const std::size_t n = text.size();
    const TypeLists& types = scan.settings.types;
    std::string& link = scan.link;

    // 1. A dot before a letter or digit, or the first of "../".
    const char next = dot + 1 < n ? text[dot + 1] : '\0';
    if (!IsAlnum(next) && !(next == '.' && dot + 2 < n && text[dot + 2] == '/')) {
        return 2;
    }
    // 2.-3. The delimiters around the dot.
    const std::size_t open = openings.Before(dot);
    const char opening = text[open];
    if (opening == '>' || opening == '/') {
        return 1;
    }
    const char closing = opening == '=' ? '>' : (opening == '(' ? ')' : opening);
    // 4.
    std::size_t start = open + 1;
    if (text[start] == ' ') {
        ++start;
    }
    const std::size_t close = FindClosing(text, closing, dot + 1, start + kDotLinkLimit);
    if (close == kNotFound) {
        return 1;  // no delimiter, or a link too long for this pass
    }
    const std::size_t length = close - start;
    if (length <= 4 || text[start] == '#') {
        return 1;
    }
    linkEnd = close;
    // 5. The link with its closing delimiter, trailing quotes, spaces and '>' removed.
    link.assign(text.substr(start, length + 1));
    TrimLinkEnd(link);
    if (link.empty() || link.front() == '>') {
        return 1;
    }
    // 6. A space after a short extension or after a query ends the link,
    // unless an attribute list goes on there.
    const std::size_t space = link.find(' ', dot - start);
    if (space != std::string::npos) {
        const std::size_t lastDot = link.rfind('.');
        const std::size_t query = link.find('?');
        if (lastDot + 6 >= space || (query != std::string::npos && query < space)) {
            if (space + 1 < link.size() && link[space + 1] == '=') {
                return 1;
            }
            link.resize(space);
        }
    }
    scan.DecodeReferences(link, start);
    // 7. The extension.
    std::size_t ext = link.find('.');
    if (ext == std::string::npos) {
        return 2;
    }
    const std::size_t slash = link.find('/', ext + 1);
    if (slash != std::string::npos && slash + 1 != link.size()) {
        const std::size_t moved = link.find('?', slash + 1) != std::string::npos
                                      ? link.find('.', slash + 1)
                                      : link.rfind('.');
        if (moved == std::string::npos || moved < slash) {
            return OfferBarePath(scan);
        }
        ext = moved;
    }
    // 8.
    CutAtQuotes(link, ext);
    scan.sink.Yield();
    // 9.-11.
    if (FailsDomain(scan, link)) {
        return 4;
    }
    if (HasSkipKeyword(scan, link) || IsOwnUrl(scan, link)) {
        return 1;
    }
    if (IsScriptExpression(link)) {
        return 2;
    }
    const bool scoped = scan.allLinked || scan.withinDomain;
    // 12. A file to download, and perhaps a page too.
    if (IsDownloadFileType(types, link, ext)) {
        if (SpaceAfterStatement(link, ext)) {
            return 2 + ext;
        }
        bool isPage = true;
        if (!scoped) {
            // "Only This Web Page" fetches no further pages.
            isPage = IsWebPageExtension(link, ext);
            if (isPage) {
                return 2 + ext;
            }
        }
        if (OfferFileKeepingExtension(scan, ext, kNotFound, isPage) && isPage &&
            scan.webPagesWanted && IsSiteType(types, link, ext)) {
            return 1 + OfferPageLink(scan, link, false);
        }
        return 2 + ext;
    }
    // 13. A page to crawl, or nothing.
    const bool pageLink =
        scoped && (IsSiteType(types, link, ext) ||
                   (First(link) != '.' && First(link) != '/' && CountChar(link, '/') == 2));
    if (!pageLink) {
        if (link.find('.', ext + 1) == std::string::npos) {
            LogLink(scan, "Reject: ", link);
        }
        return 1;
    }
    if (SpaceAfterStatement(link, ext)) {
        return 1;
    }
    return 2 + OfferPageLink(scan, link, false);
}

// Examines one dot of a script file; returns where the next dot is searched.
template <typename Finder>
std::size_t ExamineScriptDot(ScanContext& scan, std::string_view text, std::size_t dot,
                             Finder& openings) {
    const std::size_t n = text.size();
    const TypeLists& types = scan.settings.types;
    std::string& link = scan.link;
    const std::size_t onward = dot + 1;

    // 1.-3.
    const std::size_t open = openings.Before(dot);
    if (StartsWithNoCase(text.substr(open), "function ")) {
        const std::size_t brace = text.find('}', onward);
        return brace == std::string_view::npos ? n : brace + 1;
    }
    const char opening = text[open];
    if (opening == '/') {
        if (open + 1 < n && text[open + 1] == '*') {
            const std::size_t end = text.find("*/", open + 2);
            return end == std::string_view::npos ? n : std::max(end + 2, onward);
        }
        return onward;
    }
    const char closing = opening == '=' ? '>' : opening;
    // 4.
    const std::size_t start = open + 1;
    if (start > dot) {
        return onward;  // the dot is the text's first character
    }
    const std::size_t close = FindClosing(text, closing, onward, start + kScanLinkLimit);
    if (close == kNotFound) {
        return onward;
    }
    const std::size_t length = close - start;
    if (length < 5 || text[start] == '#') {
        return onward;
    }
    link.assign(text.substr(start, length));
    TrimLinkEnd(link);
    // 5. Silent tests.
    scan.sink.Yield();
    if ((!scan.allLinked && !InDomain(link, scan.page.domain)) || IsOwnUrl(scan, link) ||
        ContainsSkipKeyword(types, link)) {
        return onward;
    }
    // 6.
    std::size_t ext = link.find('.');
    if (ext == std::string::npos || (ext + 1 < link.size() && link[ext + 1] == ' ')) {
        return onward;
    }
    if (link.back() == '\\') {
        link.pop_back();
    }
    const std::size_t space = link.find(' ', ext);
    if (space != std::string::npos && space - ext <= 5) {
        if (space + 1 < link.size() && link[space + 1] == '=') {
            return onward;
        }
        link.resize(space);
    }
    CutAtQuotes(link, ext);
    // 7.
    if (IsScriptFileExpression(link)) {
        return onward;
    }
    // 8.-10.
    if (IsDownloadFileType(types, link, ext)) {
        if (!SpaceAfterStatement(link, ext) && OfferFileKeepingExtension(scan, ext, ext, false) &&
            scan.webPagesWanted && IsSiteType(types, link, ext)) {
            OfferPageLink(scan, link, true);
        }
    } else if ((scan.allLinked || scan.withinDomain) &&
               (IsSiteType(types, link, ext) || CountChar(link, '.') == 2)) {
        if (!SpaceAfterStatement(link, ext)) {
            OfferPageLink(scan, link, true);
        }
    } else if (scan.logDebug && link != scan.lastRejected &&
               link.find('.', ext + 1) == std::string::npos) {
        LogLink(scan, "Reject : ", link);
        scan.lastRejected = link;
    }
    return onward;
}

}  // namespace

void ScanDots(ScanContext& scan, std::string_view text) {
    OpeningFinder<&PageOpening> openings(text);
    auto set = scan.sourceSets.begin();
    std::size_t from = kPassStart;
    while (from < text.size()) {
        const std::size_t dot = text.find('.', from);
        if (dot == std::string_view::npos || scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        // A srcset value is read whole by its own pass.
        while (set != scan.sourceSets.end() && set->second <= dot) {
            ++set;
        }
        if (set != scan.sourceSets.end() && set->first <= dot) {
            from = set->second;
            continue;
        }
        std::size_t linkEnd = kNotFound;
        const std::size_t advance = ExamineDot(scan, text, dot, openings, linkEnd);
        // The advances count from the dot in the link's own terms; past the
        // link's end they would skip the next link's dots.
        from = dot + (linkEnd == kNotFound
                          ? advance
                          : std::min(advance, std::max<std::size_t>(1, linkEnd - dot)));
    }
}

void ScanScriptDots(ScanContext& scan, std::string_view text) {
    OpeningFinder<&ScriptOpening> openings(text);
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t dot = text.find('.', from);
        if (dot == std::string_view::npos || scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        from = ExamineScriptDot(scan, text, dot, openings);
    }
}

void ScanScript(const AppSettings& settings, LinkSink& sink, FetchedPage& page,
                const UrlRecord& record, int slot) {
    page.flashSeen = false;
    ScanContext scan(settings, sink, page, record, slot);
    ScanScriptDots(scan, page.body);
}

}  // namespace wg
