// ScanPage and its attribute passes (" src", "<link", dot-less " href") and
// the Flash parameter pass. The dot pass and the script scan are in
// link_scanner_dots.cpp.
#include "crawl/link_scanner.h"

#include <algorithm>

#include "crawl/link_scanner_passes.h"
#include "crawl/link_tests.h"
#include "settings/type_filters.h"
#include "util/text.h"

namespace wg {

using namespace scan;

namespace {

// Passes 1 to 4 never search the first six characters.
constexpr std::size_t kPassStart = 6;

enum class Value {
    Taken,        // the value is in scan.link
    Ignored,      // too short, too long or a fragment: go on after its start
    NoDelimiter,  // no closing delimiter: go on one character further
};

// Reads the value of an attribute whose name ends at `at` into scan.link.
Value ReadAttributeValue(ScanContext& scan, std::string_view text, std::size_t at,
                         std::size_t& valueStart) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '=')) {
        ++at;
    }
    char delimiter = '>';
    if (at < text.size() && IsQuote(text[at])) {
        delimiter = text[at];
        ++at;
    }
    valueStart = at;
    // Only the first kScanLinkLimit characters can hold a value short enough.
    const std::size_t window = std::min(text.size() - std::min(at, text.size()), kScanLinkLimit);
    const std::size_t end = text.substr(std::min(at, text.size()), window).find(delimiter);
    if (end == std::string_view::npos) {
        return at + window >= text.size() ? Value::NoDelimiter : Value::Ignored;
    }
    if (end < 2 || text[at] == '#') {
        return Value::Ignored;
    }
    scan.link.assign(text.substr(at, end));
    TrimLinkEnd(scan.link);
    scan.DecodeReferences(scan.link, at);
    return scan.link.empty() ? Value::Ignored : Value::Taken;
}

// The skip-keyword, own-URL and script-URL tests.
bool DroppedByLinkTests(ScanContext& scan, std::string_view link) {
    return HasSkipKeyword(scan, link) || IsOwnUrl(scan, link) || IsScriptUrl(link);
}

// Pass 1: " src" values as files, when every file type is wanted.
void ScanSourceAttributes(ScanContext& scan, std::string_view text) {
    if (scan.allLinked) {
        return;
    }
    std::size_t from = kPassStart;
    std::size_t match;
    while ((match = text.find(" src", from)) != std::string_view::npos) {
        if (scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        // " srcset" and the like are other attributes.
        if (match + 4 < text.size() && (IsAlnum(text[match + 4]) || text[match + 4] == '-')) {
            from = match + 4;
            continue;
        }
        std::size_t valueStart = 0;
        const Value value = ReadAttributeValue(scan, text, match + 4, valueStart);
        from = value == Value::NoDelimiter ? match + 1 : valueStart + 1;
        if (value != Value::Taken || DroppedByLinkTests(scan, scan.link)) {
            continue;
        }
        // Links with an extension are taken by the dot pass otherwise.
        if (scan.allFileTypes) {
            OfferFileLink(scan, scan.link, kNotFound, false);
            scan.sink.Yield();
        }
    }
}

// Pass 2: "<link" elements, for "Only This Web Page" with web pages wanted.
void ScanLinkElements(ScanContext& scan, std::string_view text) {
    if (scan.allLinked || scan.withinDomain || !scan.webPagesWanted) {
        return;
    }
    std::size_t from = kPassStart;
    std::size_t href = kNotFound;  // the last " href" found, reused while ahead
    std::size_t match;
    while ((match = text.find("<link", from)) != std::string_view::npos) {
        if (scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        const std::string_view after = text.substr(match + 5, 3);
        if (after.find('>') != std::string_view::npos) {
            from = match + 5;
            continue;
        }
        if (href == kNotFound || href < match) {
            href = FindNoCaseFrom(text, " href", match);
            if (href == kNotFound) {
                return;  // no " href" anywhere further on
            }
        }
        std::size_t valueStart = 0;
        if (ReadAttributeValue(scan, text, href + 5, valueStart) != Value::Taken) {
            from = match + 1;
            continue;
        }
        scan.withinDomain = true;
        const bool offered = OfferFileLink(scan, scan.link, kNotFound, true);
        scan.withinDomain = false;
        if (offered) {
            from = match + std::max<std::size_t>(OfferPageLink(scan, scan.link, false), 1);
        } else {
            from = match + 14;
        }
        scan.sink.Yield();
    }
}

// Pass 3: " href" values without a dot (directories, bare names), for scoped crawls.
void ScanPlainHrefs(ScanContext& scan, std::string_view text) {
    if (!scan.allLinked && !scan.withinDomain) {
        return;
    }
    std::size_t from = kPassStart;
    std::size_t match;
    while ((match = text.find(" href", from)) != std::string_view::npos) {
        if (scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        std::size_t valueStart = 0;
        const Value value = ReadAttributeValue(scan, text, match + 5, valueStart);
        from = value == Value::NoDelimiter ? match + 1 : valueStart + 1;
        std::string& link = scan.link;
        if (value != Value::Taken || link.find('.') != std::string::npos) {
            continue;  // links with a dot are the dot pass's
        }
        if (FailsDomain(scan, link) || DroppedByLinkTests(scan, link)) {
            continue;
        }
        if (scan.allFileTypes) {
            if (OfferFileLink(scan, link, kNotFound, true) && scan.webPagesWanted &&
                (Last(link) == '/' || First(link) == '/')) {
                OfferPageLink(scan, link, false);
            }
        } else if (Last(link) == '/' || First(link) == '/' ||
                   (First(link) != '.' && CountChar(link, '/') == 2)) {
            OfferPageLink(scan, link, false);
        }
        scan.sink.Yield();
    }
}

// The candidates of every srcset value ("a.jpg 1x, b.jpg 2x") as files; the
// dot pass leaves these values alone.
void ScanSourceSets(ScanContext& scan, std::string_view text) {
    for (const auto& [start, end] : scan.sourceSets) {
        std::size_t i = start;
        while (i < end) {
            while (i < end && (IsBlank(text[i]) || text[i] == ',')) {
                ++i;
            }
            const std::size_t urlStart = i;
            while (i < end && !IsBlank(text[i])) {
                ++i;
            }
            std::size_t urlEnd = i;
            while (urlEnd > urlStart && text[urlEnd - 1] == ',') {
                --urlEnd;
            }
            if (urlEnd == i) {
                while (i < end && text[i] != ',') {
                    ++i;  // the descriptor
                }
            }
            if (urlEnd - urlStart < 2 || text[urlStart] == '#') {
                continue;
            }
            scan.link.assign(text.substr(urlStart, urlEnd - urlStart));
            scan.DecodeReferences(scan.link, urlStart);
            if (FailsDomain(scan, scan.link) || DroppedByLinkTests(scan, scan.link)) {
                continue;
            }
            OfferFileLink(scan, scan.link, kNotFound, false);
            scan.sink.Yield();
        }
    }
}

// Pass 5: the stream and skin names of a Flash player on the page.
void ScanFlashParameters(ScanContext& scan, std::string_view text, std::string_view name,
                         std::string_view extension) {
    std::size_t from = kPassStart;
    std::size_t match;
    while ((match = FindNoCaseFrom(text, name, from)) != kNotFound) {
        if (scan.sink.ScanCancelled(scan.slot)) {
            return;
        }
        std::size_t at = match + name.size();
        while (at < text.size() && (text[at] == '=' || text[at] == ' ' || IsQuote(text[at]))) {
            ++at;
        }
        std::size_t end = at;
        while (end < text.size() && end - at < kScanLinkLimit - 1 && text[end] != '&' &&
               !IsQuote(text[end])) {
            ++end;
        }
        from = end + 1;
        if (end == at) {
            continue;  // an empty value names no file
        }
        std::string& value = scan.link;
        value.assign(text.substr(at, end - at));
        const std::size_t firstDot = value.find('.');
        const std::size_t lastSlash = value.rfind('/');
        if (firstDot == std::string::npos ||
            (lastSlash != std::string::npos && lastSlash > firstDot)) {
            value += extension;
        }
        OfferFileLink(scan, value, kNotFound, false);
        scan.sink.Yield();
    }
}

}  // namespace

void ScanPage(const AppSettings& settings, LinkSink& sink, FetchedPage& page,
              const UrlRecord& record, int slot) {
    page.flashSeen = false;
    const std::string_view text = page.body;
    if (!SearchWordsOnPage(settings, text)) {
        return;
    }
    if (text.size() < 8) {
        return;
    }
    const std::string_view url = record.url;
    if (url.size() >= 3 && EqualsNoCase(url.substr(url.size() - 3), ".js")) {
        ScanScript(settings, sink, page, record, slot);
        return;
    }
    ScanContext scan(settings, sink, page, record, slot);
    scan.scriptElements = ScriptElementsOf(text);
    scan.sourceSets = SourceSetsOf(text);
    ScanSourceSets(scan, text);
    ScanSourceAttributes(scan, text);
    ScanLinkElements(scan, text);
    ScanPlainHrefs(scan, text);
    ScanDots(scan, text);
    if (page.flashSeen) {
        ScanFlashParameters(scan, text, "streamname", ".flv");
        ScanFlashParameters(scan, text, "skinname", ".swf");
    }
}

}  // namespace wg
