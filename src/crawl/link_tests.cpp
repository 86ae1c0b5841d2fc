// The link scanner's shared tests and URL helpers.
#include "crawl/link_tests.h"

#include <algorithm>
#include <vector>

#include "settings/type_filters.h"
#include "util/text.h"

namespace wg::scan {

namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsAbsolute(std::string_view link) {
    return StartsWithNoCase(link, "http");
}

std::size_t FindNoCaseFrom(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    const std::size_t n = lowerNeedle.size();
    if (n == 0 || from > text.size() || text.size() - from < n) {
        return kNotFound;
    }
    const char first = lowerNeedle[0];
    const char firstUpper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 32) : first;
    const std::size_t lastStart = text.size() - n;
    for (std::size_t at = from; at <= lastStart;) {
        // Jump to the next byte that can begin a match.
        const std::size_t lower = text.find(first, at);
        const std::size_t upper = firstUpper == first ? kNotFound : text.find(firstUpper, at);
        at = std::min(lower, upper);
        if (at == kNotFound || at > lastStart) {
            return kNotFound;
        }
        std::size_t i = 1;
        while (i < n && Fold(text[at + i]) == lowerNeedle[i]) {
            ++i;
        }
        if (i == n) {
            return at;
        }
        ++at;
    }
    return kNotFound;
}

bool ContainsNoCase(std::string_view text, std::string_view lowerNeedle) {
    return FindNoCaseFrom(text, lowerNeedle, 0) != kNotFound;
}

void TrimLinkEnd(std::string& link) {
    while (!link.empty() &&
           (link.back() == kDq || link.back() == kSq || link.back() == ' ' || link.back() == '>')) {
        link.pop_back();
    }
}

bool InDomain(std::string_view link, std::string_view domain) {
    if (!IsAbsolute(link)) {
        return true;
    }
    if (link.size() <= 7) {
        return false;
    }
    const std::string_view rest = link.substr(7);
    const std::size_t end = FindNoCase(rest, domain, false);  // just past the match
    if (end == kNotFound) {
        return false;
    }
    if (end < 12) {
        return true;
    }
    const std::size_t query = rest.find('?');
    return query == std::string_view::npos || query >= end;
}

bool IsFlashVendorLink(std::string_view link) {
    for (std::string_view prefix : {kFlashDownloadPrefix, kFlashHomePrefix}) {
        if (StartsWithNoCase(link, prefix.substr(0, prefix.size() - 1))) {
            return true;
        }
    }
    return false;
}

void LogLink(ScanContext& scan, std::string_view prefix, std::string_view link) {
    if (!scan.logDebug) {
        return;
    }
    std::string line;
    line.reserve(prefix.size() + link.size());
    line.append(prefix).append(link);
    scan.sink.DebugLine(line);
}

bool HasSkipKeyword(ScanContext& scan, std::string_view link) {
    if (!ContainsSkipKeyword(scan.settings.types, link)) {
        return false;
    }
    if (!IsFlashVendorLink(link)) {
        LogLink(scan, "Contains skip keyword: ", link);
    }
    return true;
}

bool FailsDomain(ScanContext& scan, std::string_view link) {
    if (scan.allLinked || InDomain(link, scan.page.domain)) {
        return false;
    }
    if (!IsFlashVendorLink(link)) {
        LogLink(scan, "Not In Domain: ", link);
    }
    return true;
}

bool IsOwnUrl(const ScanContext& scan, std::string_view link) {
    return link == scan.record.url;
}

bool IsScriptUrl(std::string_view link) {
    return link.size() > 10 && StartsWithNoCase(link, "javascript") &&
           (link[10] == '.' || link[10] == ' ' || link[10] == ':');
}

bool SpaceAfterStatement(std::string_view link, std::size_t extPos) {
    const std::size_t end = std::min(extPos, link.size());
    for (std::size_t at = 1; at < end; ++at) {
        if (link[at] == ' ' && (link[at - 1] == ';' || link[at - 1] == '\n')) {
            return true;
        }
    }
    return false;
}

std::string_view SiteRoot(std::string_view url) {
    const std::size_t scheme = url.find("://");
    const std::size_t from = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t slash = url.find('/', from);
    return slash == std::string_view::npos ? url : url.substr(0, slash);
}

void FoldDotSegments(std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t pathStart = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (pathStart == std::string::npos) {
        return;
    }
    std::size_t pathEnd = url.find_first_of("?#", pathStart);
    if (pathEnd == std::string::npos) {
        pathEnd = url.size();
    }
    const std::string_view path(url.data() + pathStart, pathEnd - pathStart);
    if (path.find("/.") == std::string_view::npos) {
        return;
    }
    std::vector<std::string_view> kept;
    bool endsAsDirectory = false;
    std::size_t at = 1;  // past the leading '/'
    while (true) {
        const std::size_t slash = path.find('/', at);
        const bool last = slash == std::string_view::npos;
        const std::string_view segment =
            path.substr(at, last ? std::string_view::npos : slash - at);
        endsAsDirectory = false;
        if (segment == ".") {
            endsAsDirectory = true;
        } else if (segment == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
            endsAsDirectory = true;
        } else {
            kept.push_back(segment);
        }
        if (last) {
            break;
        }
        at = slash + 1;
    }
    std::string folded = "/";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) {
            folded += '/';
        }
        folded.append(kept[i]);
    }
    if (endsAsDirectory && folded.back() != '/') {
        folded += '/';
    }
    url.replace(pathStart, pathEnd - pathStart, folded);
}

std::size_t LinkExtension(std::string_view link) {
    const std::size_t dot = link.find('.');
    if (dot == std::string_view::npos) {
        return kNotFound;
    }
    const std::size_t slash = link.find('/', dot + 1);
    if (slash == std::string_view::npos || slash + 1 == link.size()) {
        return dot;
    }
    const std::size_t moved = link.find('?', slash + 1) != std::string_view::npos
                                  ? link.find('.', slash + 1)
                                  : link.rfind('.');
    return (moved != std::string_view::npos && moved > slash) ? moved : kNotFound;
}

}  // namespace wg::scan
