#include "download/rewrite_links.h"

#include <algorithm>
#include <utility>

#include "settings/app_settings.h"
#include "util/text.h"

namespace wg {

// How the edit works on a page that arrives in pieces: every pass is a
// left-to-right scan that keeps a resume position. A pass decides a place only
// when every byte that decides it is there; when a keyword, a run of spaces or
// a host name reaches the end of what has arrived, the pass stops before that
// place and waits. Everything before the resume position is final for this
// pass (less a margin for the one pass that edits text in front of what it
// found) and moves on to the next pass. At the end every pass runs to the end
// of the text. So each pass sees the same text in the same order as it would
// in one piece, and the result does not depend on where the page was cut.

namespace {

constexpr std::size_t kWalkBack = 100;  // pass 2: from the domain back to the '/'
// Pass 2 edits at most this far in front of its resume position: the walk
// back, the "https://" before the '/' and the character before the scheme.
constexpr std::size_t kPass2Margin = kWalkBack + 10;
constexpr std::size_t kSchemeHostLimit = 32;  // pass 6, "//host" at depth 0
constexpr std::size_t kValueLimit = 2048;     // layouts 1, 2: longer values are not links
constexpr int kEnd = -1;

struct Context {
    RewriteOptions options;
    PageLocation page;
    std::string domain;
    std::string pageHostDir;  // layout 1: the directory that holds the page
};

// Reads the text with the end of the page in mind: past what has arrived it
// answers kEnd and, before the end of the page, notes that it ran short.
class Reader {
public:
    Reader(const std::string& text, bool final) : text_(text), final_(final) {}
    int At(std::size_t i) {
        if (i < text_.size()) {
            return static_cast<unsigned char>(text_[i]);
        }
        if (!final_) {
            short_ = true;
        }
        return kEnd;
    }
    bool Short() const { return short_; }

private:
    const std::string& text_;
    bool final_;
    bool short_ = false;
};

bool IsQuote(int c) {
    return c == '"' || c == '\'';
}

int Lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// A byte that can stand in the host part of a URL. The host of a rewritten
// link ends at its '/', or at the first byte that no host holds (a quote,
// a space, '>' ...), so the text behind a link keeps its dots.
bool IsHostByte(int c) {
    if (c == kEnd || c == '/') {
        return false;
    }
    if (c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        return true;
    }
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case ':':
        case '@':
        case '%':
        case '!':
        case '$':
        case '&':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
        case '[':
        case ']':
            return true;
        default:
            return false;
    }
}

// The end of the host that starts at `from`: the first byte that is no host
// byte, at most `limit` bytes on.
std::size_t HostEnd(Reader& r, std::size_t from, std::size_t limit = std::string::npos) {
    std::size_t i = from;
    while ((limit == std::string::npos || i - from < limit) && IsHostByte(r.At(i))) {
        ++i;
    }
    return i;
}

void DotsToUnderscores(std::string& t, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < t.size(); ++i) {
        if (t[i] == '.') {
            t[i] = '_';
        }
    }
}

// The host of a link as the directory its files are saved in: dots become
// '_' and a ":port" at its end goes (files are saved under the host name
// alone). Returns the new end of the host.
std::size_t HostToDirectory(std::string& t, std::size_t from, std::size_t to) {
    to = std::min(to, t.size());
    DotsToUnderscores(t, from, to);
    std::size_t digits = to;
    while (digits > from && t[digits - 1] >= '0' && t[digits - 1] <= '9') {
        --digits;
    }
    if (digits < to && digits > from && t[digits - 1] == ':') {
        t.erase(digits - 1, to - digits + 1);
        return digits - 1;
    }
    return to;
}

std::string Ups(unsigned count) {
    std::string s;
    s.reserve(3 * count);
    for (unsigned i = 0; i < count; ++i) {
        s += "../";
    }
    return s;
}

// The start of the first match of the lower-case `needle` at or after `from`,
// or npos.
std::size_t Find(const std::string& t, std::size_t from, std::string_view needle) {
    if (from >= t.size()) {
        return std::string::npos;
    }
    const std::size_t end = FindNoCaseLower(std::string_view(t).substr(from), needle);
    return end == kNotFound ? std::string::npos : from + end - needle.size();
}

// Where a pass waits when `needle` is not found from `from` on: a match may
// still begin in the last needle-length-minus-one bytes.
std::size_t WaitForNeedle(const std::string& t, std::size_t from, std::size_t needleSize,
                          bool final) {
    if (final) {
        return t.size();
    }
    const std::size_t tail = needleSize > 0 ? needleSize - 1 : 0;
    return std::max(from, t.size() > tail ? t.size() - tail : 0);
}

// Pass 1, pages at the top of their site: every "../" is deleted.
std::size_t DeleteParentSteps(std::string& t, std::size_t from, bool final, const Context&) {
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, "../");
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, 3, final);
        }
        t.erase(q, 3);
        p = q;
    }
}

// Pass 2, absolute links into the site. For each occurrence of the site
// domain the nearest '/' within 100 bytes before its end must be the second
// slash of "p://" or "s://" (http:// or https://). The character Q before the
// scheme (a quote, or '=' that stays in place) moves right, the scheme turns
// into spaces and dots so that the link climbs to the download directory
// (depth + 1 levels; at depth 0 one level, at depth 1 two, deeper pages widen
// the text), and the dots of the host become '_':
//   depth 0  ="http://www.x.com/a   ->  =    "../www_x_com/a
//   depth 1                         ->  = "../../www_x_com/a
std::size_t RewriteSiteLinks(std::string& t, std::size_t from, bool final, const Context& c) {
    const std::string& domain = c.domain;
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, domain);
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, domain.size(), final);
        }
        const std::size_t end = q + domain.size();
        std::size_t slash = std::string::npos;
        for (std::size_t k = 1; k <= kWalkBack && k <= end; ++k) {
            if (t[end - k] == '/') {
                slash = end - k;
                break;
            }
        }
        p = end;
        if (slash == std::string::npos || slash < 3 || t[slash - 1] != '/' || t[slash - 2] != ':') {
            continue;
        }
        const int last = Lower(static_cast<unsigned char>(t[slash - 3]));
        if (last != 'p' && last != 's') {
            continue;
        }
        // "http:/" or "https:/" in front of the second slash, Q in front of that.
        const std::size_t regionSize = last == 's' ? 8 : 7;
        if (slash < regionSize + 1) {
            continue;  // no character before the scheme
        }
        Reader r(t, final);
        const std::size_t hostEnd = HostEnd(r, slash + 1);
        if (r.Short()) {
            return q;  // the host goes on in the next piece
        }
        const std::size_t qPos = slash - regionSize;
        const char quote = t[qPos];
        std::string replacement;
        if (c.page.depth == 0) {
            replacement.assign(regionSize - 3, ' ');
            replacement += quote;
            replacement += "..";
        } else {
            replacement.assign(regionSize - 6, ' ');
            replacement += quote;
            replacement += Ups(c.page.depth);
            replacement += "..";
        }
        if (quote == '=') {
            // The '=' keeps its place and is not repeated.
            replacement[replacement.rfind('=')] = ' ';
            replacement[0] = '=';
        }
        t.replace(qPos, regionSize, replacement);
        const std::size_t shift = replacement.size() - regionSize;
        (void)HostToDirectory(t, slash + 1 + shift, hostEnd + shift);
        p = std::min(end + shift, t.size());
    }
}

// Pass 3, absolute " src" values on any host: after " src", spaces, '=' and
// quotes, a value that begins with "http:" or "https:" (lower case) loses its
// scheme, the colon and two slashes become "../" (depth 0 and 1) or
// depth + 1 times "../", and the dots of the host become '_'.
std::size_t RewriteAbsoluteSources(std::string& t, std::size_t from, bool final, const Context& c) {
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, " src");
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, 4, final);
        }
        Reader r(t, final);
        std::size_t v = q + 4;
        for (int ch = r.At(v); ch == ' ' || ch == '=' || IsQuote(ch); ch = r.At(v)) {
            ++v;
        }
        std::size_t schemeSize = 0;
        if (r.At(v) == 'h' && r.At(v + 1) == 't' && r.At(v + 2) == 't' && r.At(v + 3) == 'p') {
            if (r.At(v + 4) == ':') {
                schemeSize = 4;
            } else if (r.At(v + 4) == 's' && r.At(v + 5) == ':') {
                schemeSize = 5;
            }
        }
        if (schemeSize == 0) {
            if (r.Short()) {
                return q;
            }
            p = v;
            continue;
        }
        // The colon and the two characters behind it are overwritten.
        const std::size_t hostStart = v + schemeSize + 3;
        const std::size_t hostEnd = HostEnd(r, hostStart);
        if (r.Short()) {
            return q;
        }
        const std::string ups = c.page.depth <= 1 ? Ups(1) : Ups(c.page.depth + 1);
        t.replace(v, std::min(hostStart, t.size()) - v, ups);
        const std::size_t newHostStart = v + ups.size();
        const std::size_t newHostEnd = newHostStart + (hostEnd - hostStart);
        p = HostToDirectory(t, newHostStart, newHostEnd);
    }
}

// Pass 4, CSS "url(": after spaces and carriage returns, a leading '/' (bare
// or behind a quote) climbs to the top of the site: at depth 0 it becomes a
// space (in front of the quote), at depth d it becomes d times "../".
std::size_t RewriteCssUrls(std::string& t, std::size_t from, bool final, const Context& c) {
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, "url(");
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, 4, final);
        }
        Reader r(t, final);
        std::size_t v = q + 4;
        while (r.At(v) == ' ' || r.At(v) == '\r') {
            ++v;
        }
        const int first = r.At(v);
        const int second = IsQuote(first) ? r.At(v + 1) : kEnd;
        const std::size_t slash = first == '/' ? v : (second == '/' ? v + 1 : std::string::npos);
        const int afterSlash = slash == std::string::npos ? kEnd : r.At(slash + 1);
        if (r.Short()) {
            return q;
        }
        if (slash == std::string::npos || afterSlash == '/') {
            // Not root-relative (a "//host" link is no path on this site).
            p = v;
            continue;
        }
        if (c.page.depth == 0) {
            if (slash == v) {
                t[v] = ' ';
            } else {
                t[v + 1] = t[v];
                t[v] = ' ';
            }
            p = slash + 1;
        } else {
            const std::string ups = Ups(c.page.depth);
            t.replace(slash, 1, ups);
            p = slash + ups.size();
        }
    }
}

// Pass 5: every "%20" becomes a space.
std::size_t DecodeSpaces(std::string& t, std::size_t from, bool final, const Context&) {
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, "%20");
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, 3, final);
        }
        t.replace(q, 3, 1, ' ');
        p = q + 1;
    }
}

// Passes 6 to 9, root-relative values. For "src", "href" and "action" an '='
// must follow within the next 10 bytes; "@import" takes its value directly.
// After spaces and carriage returns:
//   depth 0: a leading '/' becomes a space; a quote and "//" become the quote
//            and "../" with the dots of the host (at most 32 bytes) made '_';
//            a quote and a single '/' become a space and the quote;
//   depth d: the '/' of a value that begins with '/' or with a quote and '/'
//            becomes d times "../"; a quote and "//" become the quote, d + 1
//            times "../" and the host made a directory name, as at depth 0
//            (taken as a root-relative path it would lead nowhere).
std::size_t RewriteRootRelative(std::string& t, std::size_t from, bool final, const Context& c,
                                std::string_view keyword, bool needsEquals) {
    std::size_t p = from;
    while (true) {
        const std::size_t q = Find(t, p, keyword);
        if (q == std::string::npos) {
            return WaitForNeedle(t, p, keyword.size(), final);
        }
        Reader r(t, final);
        const std::size_t k = q + keyword.size();
        std::size_t v = k;
        if (needsEquals) {
            std::size_t eq = std::string::npos;
            for (std::size_t i = k; i < k + 10; ++i) {
                const int ch = r.At(i);
                if (ch == '=') {
                    eq = i;
                    break;
                }
                if (ch == kEnd) {
                    break;
                }
            }
            if (eq == std::string::npos) {
                if (r.Short()) {
                    return q;
                }
                p = k;
                continue;
            }
            v = eq + 1;
        }
        while (r.At(v) == ' ' || r.At(v) == '\r') {
            ++v;
        }
        const int first = r.At(v);
        const int second = IsQuote(first) ? r.At(v + 1) : kEnd;
        const bool schemeRelative = second == '/' && r.At(v + 2) == '/';
        std::size_t hostEnd = 0;
        if (schemeRelative) {
            hostEnd = HostEnd(r, v + 3, kSchemeHostLimit);
        }
        if (r.Short()) {
            return q;
        }
        if (first == '/') {
            if (c.page.depth == 0) {
                t[v] = ' ';
                p = v + 1;
            } else {
                const std::string ups = Ups(c.page.depth);
                t.replace(v, 1, ups);
                p = v + ups.size();
            }
        } else if (second == '/') {
            if (schemeRelative) {
                // The host's directory is one level above the page's top.
                const std::string ups = Ups(c.page.depth + 1);
                t.replace(v + 1, 2, ups);
                p = HostToDirectory(t, v + 1 + ups.size(), hostEnd + ups.size() - 2);
            } else if (c.page.depth > 0) {
                const std::string ups = Ups(c.page.depth);
                t.replace(v + 1, 1, ups);
                p = v + 1 + ups.size();
            } else {
                t[v + 1] = t[v];
                t[v] = ' ';
                p = v + 2;
            }
        } else {
            p = v;
        }
    }
}

std::size_t RewriteRootSrc(std::string& t, std::size_t f, bool fin, const Context& c) {
    return RewriteRootRelative(t, f, fin, c, "src", true);
}
std::size_t RewriteRootHref(std::string& t, std::size_t f, bool fin, const Context& c) {
    return RewriteRootRelative(t, f, fin, c, "href", true);
}
std::size_t RewriteRootImport(std::string& t, std::size_t f, bool fin, const Context& c) {
    return RewriteRootRelative(t, f, fin, c, "@import", false);
}
std::size_t RewriteRootAction(std::string& t, std::size_t f, bool fin, const Context& c) {
    return RewriteRootRelative(t, f, fin, c, "action", true);
}

// ---- Layouts 1 and 2 -------------------------------------------------------

std::string HostDir(std::string_view hostWithPort) {
    std::string dir(hostWithPort.substr(0, hostWithPort.find(':')));
    ReplaceChar(dir, '.', '_');
    return dir;
}

// "a/./b/../c" → "a/c"; ".." above the top is dropped. A final "/" (or a
// final "." or "..") is kept as a final '/'.
std::string NormaliseSegments(std::string_view path) {
    std::vector<std::string_view> parts;
    bool directory = path.empty() || path.back() == '/';
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view part = path.substr(start, slash - start);
        const bool lastPart = slash == path.size();
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            directory = directory || lastPart;
        } else if (part == ".") {
            directory = directory || lastPart;
        } else if (!part.empty()) {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += parts[i];
    }
    if (directory && !out.empty()) {
        out += '/';
    }
    return out;
}

// A file name as it stands in a link: the bytes that a browser would read as
// escapes, query or fragment are escaped themselves.
std::string EscapeForLink(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        switch (ch) {
            case '%':
                out += "%25";
                break;
            case '#':
                out += "%23";
                break;
            case '?':
                out += "%3F";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

bool IsSchemeByte(char ch, bool first) {
    const bool alpha = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    return alpha || (!first && ((ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.'));
}

// The local link for a link value in layout 1 or 2, or nothing when the value
// is left as it is.
bool LocalLinkFor(std::string_view value, bool anyHost, const Context& c, std::string& out) {
    if (value.empty() || value.front() == '#') {
        return false;
    }
    std::string_view fragment;
    if (const std::size_t hash = value.find('#'); hash != std::string_view::npos) {
        fragment = value.substr(hash);
        value = value.substr(0, hash);
    }
    std::string_view query;
    if (const std::size_t mark = value.find('?'); mark != std::string_view::npos) {
        query = value.substr(mark);
        value = value.substr(0, mark);
    }

    std::string host;
    std::string path;  // without leading '/'
    bool slashAfterHost = true;
    std::size_t colon = 0;
    while (colon < value.size() && IsSchemeByte(value[colon], colon == 0)) {
        ++colon;
    }
    const bool hasScheme = colon > 0 && colon < value.size() && value[colon] == ':';
    std::string_view authority;
    if (hasScheme) {
        const std::string scheme = ToLowerAscii(value.substr(0, colon));
        if ((scheme != "http" && scheme != "https") || value.substr(colon + 1, 2) != "//") {
            return false;
        }
        authority = value.substr(colon + 3);
    } else if (value.substr(0, 2) == "//") {
        authority = value.substr(2);
    }
    if (hasScheme || value.substr(0, 2) == "//") {
        const std::size_t slash = authority.find('/');
        host = std::string(authority.substr(0, slash));
        slashAfterHost = slash != std::string_view::npos;
        if (host.empty()) {
            return false;
        }
        const std::string bare = ToLowerAscii(std::string_view(host).substr(0, host.find(':')));
        const bool inSite =
            bare.size() >= c.domain.size() &&
            bare.compare(bare.size() - c.domain.size(), c.domain.size(), c.domain) == 0;
        if (!inSite && !anyHost) {
            return false;
        }
        path = slashAfterHost ? NormaliseSegments(authority.substr(slash + 1)) : std::string();
    } else {
        host = c.page.hostAsWritten.empty() ? c.page.host : c.page.hostAsWritten;
        if (!value.empty() && value.front() == '/') {
            path = NormaliseSegments(value.substr(1));
        } else {
            std::string base = c.page.path;
            if (!base.empty()) {
                base += '/';
            }
            if (value.empty()) {
                // "?query" alone names the page itself.
                path = NormaliseSegments(base + c.page.name.substr(0, c.page.name.find('?')));
            } else {
                path = NormaliseSegments(base + std::string(value));
            }
        }
    }

    std::string url = host;
    if (slashAfterHost) {
        url += '/';
        url += path;
    }
    std::string file = LayoutFileFor(url, c.options);
    if (c.options.dirStructure == 1) {
        const std::size_t slash = file.find('/');
        if (file.compare(0, slash, c.pageHostDir) == 0 && slash != std::string::npos) {
            file.erase(0, slash + 1);
        } else {
            file.insert(0, "../");
        }
    }
    out = EscapeForLink(file);
    if (const std::size_t colon = out.find(':');
        colon != std::string::npos && colon < out.find('/')) {
        // "host:8080_a.html" would read as a URL scheme.
        out.insert(0, "./");
    }
    out += query;
    out += fragment;
    return true;
}

// The value of a link attribute at `v` (after its '=' and spaces): quoted up
// to the closing quote, else up to a space, '>' or (in url( ) ')'.
struct LinkValue {
    std::size_t start = 0;
    std::size_t end = 0;
    bool found = false;
};

LinkValue ReadValue(Reader& r, std::size_t v, bool cssUrl) {
    LinkValue value;
    const int first = r.At(v);
    if (IsQuote(first)) {
        value.start = v + 1;
        for (std::size_t i = v + 1; i - v <= kValueLimit; ++i) {
            const int ch = r.At(i);
            if (ch == kEnd) {
                return value;
            }
            if (ch == first) {
                value.end = i;
                value.found = true;
                return value;
            }
        }
        return value;
    }
    value.start = v;
    for (std::size_t i = v; i - v <= kValueLimit; ++i) {
        const int ch = r.At(i);
        if (ch == kEnd || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '>' ||
            IsQuote(ch) || (cssUrl && ch == ')')) {
            if (ch == kEnd && r.Short()) {
                return value;
            }
            value.end = i;
            value.found = i > v;
            return value;
        }
    }
    return value;
}

// Layouts 1 and 2: every src, href, action, @import and url( value that names
// a file of the site points at that file as the layout saves it.
std::size_t RewriteLayoutLinks(std::string& t, std::size_t from, bool final, const Context& c) {
    struct Keyword {
        std::string_view text;
        bool needsEquals;
        bool anyHost;
        bool cssUrl;
    };
    static constexpr Keyword kKeywords[] = {
        {"src", true, true, false},     {"href", true, false, false},
        {"action", true, false, false}, {"@import", false, false, false},
        {"url(", false, false, true},
    };
    constexpr std::size_t kLongest = 7;
    std::size_t p = from;
    while (true) {
        if (!final && t.size() - std::min(p, t.size()) < kLongest) {
            return std::min(p, t.size());
        }
        if (p >= t.size()) {
            return t.size();
        }
        const Keyword* hit = nullptr;
        for (const Keyword& k : kKeywords) {
            if (StartsWithNoCase(std::string_view(t).substr(p), k.text)) {
                hit = &k;
                break;
            }
        }
        if (hit == nullptr) {
            ++p;
            continue;
        }
        Reader r(t, final);
        const std::size_t k = p + hit->text.size();
        std::size_t v = k;
        if (hit->needsEquals) {
            std::size_t eq = std::string::npos;
            for (std::size_t i = k; i < k + 10; ++i) {
                const int ch = r.At(i);
                if (ch == '=' || ch == kEnd) {
                    eq = ch == '=' ? i : eq;
                    break;
                }
            }
            if (eq == std::string::npos) {
                if (r.Short()) {
                    return p;
                }
                p = k;
                continue;
            }
            v = eq + 1;
        }
        while (r.At(v) == ' ' || r.At(v) == '\r') {
            ++v;
        }
        if (hit->text == "@import") {
            // "@import url(...)": the value is the url( keyword's.
            bool isUrl = true;
            for (std::size_t i = 0; i < 4 && isUrl; ++i) {
                isUrl = Lower(r.At(v + i)) == "url("[i];
            }
            if (r.Short()) {
                return p;
            }
            if (isUrl) {
                p = v;
                continue;
            }
        }
        const LinkValue value = ReadValue(r, v, hit->cssUrl);
        if (r.Short()) {
            return p;
        }
        if (!value.found) {
            p = k;
            continue;
        }
        std::string local;
        const std::string_view text =
            std::string_view(t).substr(value.start, value.end - value.start);
        if (LocalLinkFor(text, hit->anyHost, c, local)) {
            t.replace(value.start, value.end - value.start, local);
            p = value.start + local.size();
        } else {
            p = value.end;
        }
    }
}

using PassFn = std::size_t (*)(std::string&, std::size_t, bool, const Context&);

// The passes for a page, each with the margin it keeps in front of its resume
// position; none when the page is saved byte for byte.
std::vector<std::pair<PassFn, std::size_t>> PassesFor(const Context& c) {
    std::vector<std::pair<PassFn, std::size_t>> passes;
    if (c.options.downloadAsIs || c.domain.empty()) {
        return passes;
    }
    if (c.options.dirStructure == 1 || c.options.dirStructure == 2) {
        passes = {{DecodeSpaces, 0}, {RewriteLayoutLinks, 0}};
        return passes;
    }
    if (c.page.topLevel) {
        passes.emplace_back(DeleteParentSteps, 0);
    }
    passes.insert(passes.end(), {{RewriteSiteLinks, kPass2Margin},
                                 {RewriteAbsoluteSources, 0},
                                 {RewriteCssUrls, 0},
                                 {DecodeSpaces, 0},
                                 {RewriteRootSrc, 0},
                                 {RewriteRootHref, 0},
                                 {RewriteRootImport, 0},
                                 {RewriteRootAction, 0}});
    return passes;
}

Context MakeContext(const RewriteOptions& options, const PageLocation& page) {
    Context c;
    c.options = options;
    c.page = page;
    c.domain = SiteDomainOf(page.host);
    c.pageHostDir = HostDir(page.host);
    return c;
}

}  // namespace

struct PageRewriter::Stage {
    PassFn pass;
    std::size_t margin;
    std::shared_ptr<const Context> context;
    std::string text;     // received by this pass, not yet handed on
    std::size_t pos = 0;  // where the pass goes on
};

RewriteOptions RewriteOptionsFrom(const AppSettings& settings) {
    RewriteOptions o;
    o.downloadAsIs = settings.downloadAsIs.load(std::memory_order_relaxed);
    o.dirStructure = settings.downloadDirStructure.load(std::memory_order_relaxed);
    o.urlEscapeFilenames = settings.urlEscapeFilenames.load(std::memory_order_relaxed);
    return o;
}

std::string SiteDomainOf(std::string_view host) {
    const std::size_t last = host.rfind('.');
    if (last == std::string_view::npos) {
        return {};
    }
    const std::size_t before = last == 0 ? std::string_view::npos : host.rfind('.', last - 1);
    return ToLowerAscii(before == std::string_view::npos ? host : host.substr(before + 1));
}

std::string LayoutFileFor(std::string_view url, const RewriteOptions& options) {
    const bool flat = options.dirStructure == 2;
    const std::size_t slash = url.find('/');
    const std::string_view host = url.substr(0, slash);
    std::string rest;  // the text after the first '/'
    if (slash != std::string_view::npos) {
        rest = std::string(url.substr(slash + 1));
        // A last segment without a dot names a directory.
        if (rest.find('.') == std::string::npos && !rest.empty() && rest.back() != '/') {
            rest += '/';
        }
    }
    std::string name;
    if (slash == std::string_view::npos) {
        name = "index.html";
    } else if (options.urlEscapeFilenames) {
        std::string whole(host);
        whole += '/';
        whole += rest;
        UrlFormEncode(whole, name, kPathCapacity);
    } else {
        name = flat ? std::string(host) + '_' + rest : rest;
        ReplaceChar(name, '/', '_');
        if (name.empty()) {
            name = "index.html";
        }
    }
    return flat ? name : HostDir(host) + '/' + name;
}

PageRewriter::PageRewriter(const RewriteOptions& options, const PageLocation& page) {
    auto context = std::make_shared<const Context>(MakeContext(options, page));
    for (const auto& [pass, margin] : PassesFor(*context)) {
        auto stage = std::make_unique<Stage>();
        stage->pass = pass;
        stage->margin = margin;
        stage->context = context;
        stages_.push_back(std::move(stage));
    }
}

PageRewriter::~PageRewriter() = default;

void PageRewriter::Feed(std::size_t index, std::string_view data, std::string& out) {
    if (index == stages_.size()) {
        out.append(data);
        return;
    }
    Stage& s = *stages_[index];
    s.text.append(data);
    s.pos = s.pass(s.text, s.pos, false, *s.context);
    const std::size_t ready = s.pos > s.margin ? s.pos - s.margin : 0;
    if (ready == 0) {
        return;
    }
    const std::string handed = s.text.substr(0, ready);
    s.text.erase(0, ready);
    s.pos -= ready;
    Feed(index + 1, handed, out);
}

void PageRewriter::Chunk(std::string_view data, std::string& out) {
    if (!finished_ && !data.empty()) {
        Feed(0, data, out);
    }
}

void PageRewriter::Finish(std::string& out) {
    if (finished_) {
        return;
    }
    finished_ = true;
    for (std::size_t i = 0; i < stages_.size(); ++i) {
        Stage& s = *stages_[i];
        s.pass(s.text, s.pos, true, *s.context);
        std::string rest = std::move(s.text);
        s.text.clear();
        s.pos = 0;
        if (i + 1 < stages_.size()) {
            stages_[i + 1]->text.append(rest);
        } else {
            out.append(rest);
        }
    }
}

std::size_t PageRewriter::Held() const {
    std::size_t held = 0;
    for (const auto& s : stages_) {
        held += s->text.size();
    }
    return held;
}

std::string RewritePage(std::string_view text, const RewriteOptions& options,
                        const PageLocation& page) {
    // Each pass once over the whole text: the reference that the pieces of a
    // PageRewriter must add up to.
    const Context context = MakeContext(options, page);
    std::string out(text);
    for (const auto& [pass, margin] : PassesFor(context)) {
        pass(out, 0, true, context);
    }
    return out;
}

}  // namespace wg
