#include "download/rewrite_links.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "download/dynamic_pages.h"
#include "download/save_names.h"
#include "settings/app_settings.h"
#include "util/html_text.h"
#include "util/text.h"

namespace wg {

// How the edit works on a page that arrives in pieces: the pass is a
// left-to-right scan that keeps a resume position. It decides a place only
// when every byte that decides it is there; when a keyword or a value reaches
// the end of what has arrived, the pass stops before that place and waits.
// Everything before the resume position (less one byte, which tells whether
// a keyword starts a word) is final and handed on. At the end the pass runs
// to the end of the text. So the pass sees the same text as it would in one
// piece, and the result does not depend on where the page was cut.

namespace {

constexpr std::size_t kValueLimit = 2048;  // longer values are not links
constexpr int kEnd = -1;

struct Context {
    RewriteOptions options;
    PageLocation page;
    std::string domain;
    std::string pageUrl;  // the page's own address, "http://host/path/name"
    std::string pageDir;  // the directory of its saved file, "" or ending in '/'
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

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// "a/./b/../c" -> "a/c"; ".." above the top is dropped. A final "/" (or a
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
// escapes, query or fragment, or that would end the value, are escaped.
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
            case ' ':
                out += "%20";
                break;
            case '"':
                out += "%22";
                break;
            case '\'':
                out += "%27";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

// An absolute address written into an attribute: its '&' stays readable as HTML.
std::string EscapeForAttribute(std::string_view url, bool attribute) {
    std::string out;
    for (const char ch : url) {
        if (attribute && ch == '&') {
            out += "&amp;";
        } else if (ch == '"' || ch == '\'' || ch == ' ') {
            out += ch == ' ' ? "%20" : (ch == '"' ? "%22" : "%27");
        } else {
            out += ch;
        }
    }
    return out;
}

bool IsSchemeByte(char ch, bool first) {
    const bool alpha = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    return alpha || (!first && ((ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.'));
}

// The path of `file` as seen from the directory `dir` ("" or ending in '/').
std::string RelativePath(std::string_view dir, std::string_view file) {
    std::size_t common = 0;
    for (std::size_t i = 0; i < dir.size() && i < file.size() && dir[i] == file[i]; ++i) {
        if (dir[i] == '/') {
            common = i + 1;
        }
    }
    std::string out;
    for (std::size_t i = common; i < dir.size(); ++i) {
        if (dir[i] == '/') {
            out += "../";
        }
    }
    out += file.substr(common);
    return out;
}

// The file, relative to the download directory, that the worker saves `url`
// (absolute, no fragment) as; a query page under its stored name.
std::optional<std::string> SavedFileFor(std::string_view url, const RewriteOptions& o) {
    SaveNameOptions names;
    names.mode = o.dirStructure;
    names.urlEscapeFilenames = o.urlEscapeFilenames;
    names.webPagesWanted = true;  // only saved pages are edited
    std::optional<std::string> file = SavedPathFor(url, names);
    if (file && file->find('?') != std::string::npos) {
        DynamicPageOptions pages;
        pages.singleRedirectParam = o.singleRedirectParam;
        file = StoredQueryPageName(*file, pages);
    }
    return file;
}

// The absolute address a link value names, without its fragment; nothing for
// a value that is no http(s) address (another scheme, a bare fragment).
struct Target {
    std::string url;
    std::string fragment;
    bool written = false;  // the value was absolute already
};

std::optional<Target> Resolve(std::string_view value, const Context& c) {
    while (!value.empty() && IsBlank(static_cast<unsigned char>(value.front()))) {
        value.remove_prefix(1);
    }
    while (!value.empty() && IsBlank(static_cast<unsigned char>(value.back()))) {
        value.remove_suffix(1);
    }
    if (value.empty() || value.front() == '#') {
        return std::nullopt;
    }
    Target t;
    if (const std::size_t hash = value.find('#'); hash != std::string_view::npos) {
        t.fragment = std::string(value.substr(hash));
        value = value.substr(0, hash);
    }
    std::string_view query;
    if (const std::size_t mark = value.find('?'); mark != std::string_view::npos) {
        query = value.substr(mark);
        value = value.substr(0, mark);
        if (query.size() == 1) {
            query = {};  // an empty query is no query
        }
    }
    std::size_t colon = 0;
    while (colon < value.size() && IsSchemeByte(value[colon], colon == 0)) {
        ++colon;
    }
    const std::string pageScheme = c.page.secure ? "https" : "http";
    std::string scheme = pageScheme;
    std::string host = c.page.hostAsWritten.empty() ? c.page.host : c.page.hostAsWritten;
    std::string path;  // without its leading '/'
    std::string_view authority;
    bool hasAuthority = false;
    if (colon > 0 && colon < value.size() && value[colon] == ':') {
        scheme = ToLowerAscii(value.substr(0, colon));
        if ((scheme != "http" && scheme != "https") || value.substr(colon + 1, 2) != "//") {
            return std::nullopt;
        }
        authority = value.substr(colon + 3);
        hasAuthority = true;
        t.written = true;
    } else if (value.substr(0, 2) == "//") {
        authority = value.substr(2);
        hasAuthority = true;
    }
    if (hasAuthority) {
        const std::size_t slash = authority.find('/');
        host = std::string(authority.substr(0, slash));
        if (host.empty()) {
            return std::nullopt;
        }
        if (slash != std::string_view::npos) {
            path = NormaliseSegments(authority.substr(slash + 1));
        }
    } else if (!value.empty() && value.front() == '/') {
        path = NormaliseSegments(value.substr(1));
    } else {
        std::string joined = c.page.path;
        if (!joined.empty()) {
            joined += '/';
        }
        // "?query" alone names the page itself.
        joined += value.empty() ? c.page.name.substr(0, c.page.name.find('?')) : std::string(value);
        path = NormaliseSegments(joined);
    }
    t.url = scheme + "://" + host + "/" + path;
    t.url += query;
    return t;
}

bool SavedByDefault(std::string_view url, bool isSource, const Context& c) {
    if (isSource) {
        return true;
    }
    const std::size_t start = url.find("://") + 3;
    std::string host(url.substr(start, url.find('/', start) - start));
    host = ToLowerAscii(host.substr(0, host.find(':')));
    return host.size() >= c.domain.size() &&
           host.compare(host.size() - c.domain.size(), c.domain.size(), c.domain) == 0;
}

// The new text of one link value, or nothing when it stays as it is.
std::optional<std::string> LocalLinkFor(std::string_view value, bool attribute, bool isSource,
                                        const Context& c) {
    const std::string decoded = attribute ? DecodeCharacterReferences(value) : std::string(value);
    const std::optional<Target> target = Resolve(decoded, c);
    if (!target) {
        return std::nullopt;
    }
    const bool saved = c.options.willSave ? c.options.willSave(target->url, isSource)
                                          : SavedByDefault(target->url, isSource, c);
    const std::optional<std::string> file =
        saved ? SavedFileFor(target->url, c.options) : std::nullopt;
    if (!file) {
        // Never fetched: the link leads to the site itself.
        if (target->written) {
            return std::nullopt;
        }
        return EscapeForAttribute(target->url, attribute) + target->fragment;
    }
    std::string out = EscapeForLink(RelativePath(c.pageDir, *file));
    if (out.empty()) {
        out = EscapeForLink(file->substr(file->rfind('/') + 1));
    }
    if (const std::size_t colon = out.find(':');
        colon != std::string::npos && colon < out.find('/')) {
        // "host:8080_a.html" would read as a URL scheme.
        out.insert(0, "./");
    }
    return out + target->fragment;
}

// The candidates of a srcset value ("a.jpg 1x, b.jpg 2x"), each address
// edited on its own; nothing when none changes.
std::optional<std::string> LocalSourceSet(std::string_view value, const Context& c) {
    std::string out;
    bool changed = false;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t start = i;
        while (i < value.size() &&
               (IsBlank(static_cast<unsigned char>(value[i])) || value[i] == ',')) {
            ++i;
        }
        out += value.substr(start, i - start);
        const std::size_t urlStart = i;
        while (i < value.size() && !IsBlank(static_cast<unsigned char>(value[i]))) {
            ++i;
        }
        std::size_t urlEnd = i;
        while (urlEnd > urlStart && value[urlEnd - 1] == ',') {
            --urlEnd;  // a candidate without a descriptor ends at its comma
        }
        const std::string_view url = value.substr(urlStart, urlEnd - urlStart);
        if (std::optional<std::string> local = LocalLinkFor(url, true, true, c)) {
            out += *local;
            changed = true;
        } else {
            out += url;
        }
        i = urlEnd;
        // The descriptor runs to the next comma.
        const std::size_t descriptorStart = i;
        if (urlEnd == urlStart || value.substr(urlEnd, 1) != ",") {
            while (i < value.size() && value[i] != ',') {
                ++i;
            }
        }
        out += value.substr(descriptorStart, i - descriptorStart);
    }
    return changed ? std::optional<std::string>(out) : std::nullopt;
}

// The value of a link attribute at `v` (after its '=' and blanks): quoted up
// to the closing quote, else up to a blank, '>' or (in url( ) ')'.
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
        if (ch == kEnd || IsBlank(ch) || ch == '>' || IsQuote(ch) || (cssUrl && ch == ')')) {
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

enum class Kind { Attribute, Source, SourceSet, Import, CssUrl };

struct Keyword {
    std::string_view text;
    Kind kind;
};

// Longer names first: "srcset" is not "src".
constexpr Keyword kKeywords[] = {
    {"srcset", Kind::SourceSet}, {"src", Kind::Source},    {"href", Kind::Attribute},
    {"action", Kind::Attribute}, {"poster", Kind::Source}, {"@import", Kind::Import},
    {"url(", Kind::CssUrl},
};
constexpr std::size_t kLongest = 7;

// An attribute name starts a word: after a blank, a quote, '/' (as in
// "<img/src=") or '.' (a script's "img.src = ...").
bool StartsAttribute(const std::string& t, std::size_t p) {
    if (p == 0) {
        return true;
    }
    const int before = static_cast<unsigned char>(t[p - 1]);
    return IsBlank(before) || IsQuote(before) || before == '/' || before == '.';
}

// The pass: every link value points at its local file, or at its site.
std::size_t RewriteLinkValues(std::string& t, std::size_t from, bool final, const Context& c) {
    std::size_t p = from;
    while (true) {
        if (!final && t.size() - std::min(p, t.size()) < kLongest) {
            return std::min(p, t.size());
        }
        if (p >= t.size()) {
            return t.size();
        }
        // Most characters start no keyword (s, h, a, p, u or '@', in any case).
        const char first = static_cast<char>(static_cast<unsigned char>(t[p]) | 0x20);
        if (first != 's' && first != 'h' && first != 'a' && first != 'p' && first != 'u' &&
            t[p] != '@') {
            ++p;
            continue;
        }
        const Keyword* hit = nullptr;
        for (const Keyword& k : kKeywords) {
            if (StartsWithNoCase(std::string_view(t).substr(p), k.text)) {
                hit = &k;
                break;
            }
        }
        const bool isAttribute =
            hit != nullptr && hit->kind != Kind::Import && hit->kind != Kind::CssUrl;
        if (hit == nullptr || (isAttribute && !StartsAttribute(t, p))) {
            ++p;
            continue;
        }
        Reader r(t, final);
        const std::size_t k = p + hit->text.size();
        std::size_t v = k;
        if (isAttribute) {
            while (IsBlank(r.At(v))) {
                ++v;
            }
            if (r.At(v) != '=') {
                if (r.Short()) {
                    return p;
                }
                p = k;
                continue;
            }
            ++v;
        }
        while (IsBlank(r.At(v))) {
            ++v;
        }
        if (hit->kind == Kind::Import) {
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
        const LinkValue value = ReadValue(r, v, hit->kind == Kind::CssUrl);
        if (r.Short()) {
            return p;
        }
        if (!value.found) {
            p = k;
            continue;
        }
        const std::string_view text =
            std::string_view(t).substr(value.start, value.end - value.start);
        std::optional<std::string> local;
        if (hit->kind == Kind::SourceSet) {
            local = LocalSourceSet(text, c);
        } else {
            local = LocalLinkFor(text, isAttribute, hit->kind == Kind::Source, c);
        }
        if (local) {
            t.replace(value.start, value.end - value.start, *local);
            p = value.start + local->size();
        } else {
            p = value.end;
        }
    }
}

using PassFn = std::size_t (*)(std::string&, std::size_t, bool, const Context&);

// The passes for a page, each with the margin it keeps in front of its resume
// position; none when the page is saved byte for byte.
std::vector<std::pair<PassFn, std::size_t>> PassesFor(const Context& c) {
    if (c.options.downloadAsIs || c.domain.empty()) {
        return {};
    }
    return {{RewriteLinkValues, 1}};
}

Context MakeContext(const RewriteOptions& options, const PageLocation& page) {
    Context c;
    c.options = options;
    c.page = page;
    c.domain = SiteDomainOf(page.host);
    c.pageUrl = std::string(page.secure ? "https://" : "http://") +
                (page.hostAsWritten.empty() ? page.host : page.hostAsWritten) + "/";
    if (!page.path.empty()) {
        c.pageUrl += page.path + "/";
    }
    c.pageUrl += page.name;
    if (const std::optional<std::string> file = SavedFileFor(c.pageUrl, options)) {
        c.pageDir = file->substr(0, file->rfind('/') + 1);
    }
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
    o.singleRedirectParam = settings.singleRedirectParam.load(std::memory_order_relaxed);
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
