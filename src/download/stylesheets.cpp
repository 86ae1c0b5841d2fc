#include "download/stylesheets.h"

#include "util/text.h"

namespace wg {

namespace {

bool IsCssSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view TrimCss(std::string_view v) {
    while (!v.empty() && IsCssSpace(v.front())) {
        v.remove_prefix(1);
    }
    while (!v.empty() && IsCssSpace(v.back())) {
        v.remove_suffix(1);
    }
    return v;
}

std::string_view Unquote(std::string_view v) {
    v = TrimCss(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return TrimCss(v);
}

bool Wanted(std::string_view v) {
    return !v.empty() && v.front() != '#' && !StartsWithNoCase(v, "data:") &&
           !StartsWithNoCase(v, "javascript:");
}

// "a/./b/../c" → "a/c"; keeps a final '/'.
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    const bool trailing = path.ends_with("/") || path.ends_with("/.") || path.ends_with("/..") ||
                          path == "." || path == "..";
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view segment = path.substr(start, slash - start);
        if (segment == "..") {
            if (!out.empty()) {
                out.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            out.push_back(segment);
        }
        start = slash + 1;
    }
    std::string joined;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            joined += '/';
        }
        joined += out[i];
    }
    if (trailing && !joined.empty()) {
        joined += '/';
    }
    return joined;
}

}  // namespace

bool IsStylesheetUrl(std::string_view url) {
    const std::size_t end = url.find_first_of("?#");
    url = url.substr(0, end);
    return url.size() > 4 && EqualsNoCase(url.substr(url.size() - 4), ".css");
}

std::vector<std::string> StylesheetLinks(std::string_view css) {
    std::vector<std::string> links;
    std::size_t p = 0;
    while (p < css.size()) {
        const std::size_t url = FindNoCase(css.substr(p), "url(", true);
        const std::size_t import = FindNoCase(css.substr(p), "@import", true);
        if (url == kNotFound && import == kNotFound) {
            break;
        }
        // FindNoCase answers the position just past the match.
        if (url != kNotFound && (import == kNotFound || url - 4 < import - 7)) {
            const std::size_t from = p + url;
            std::size_t close = css.find(')', from);
            if (close == std::string_view::npos) {
                close = css.size();
            }
            const std::string_view value = Unquote(css.substr(from, close - from));
            if (Wanted(value)) {
                links.emplace_back(value);
            }
            p = close;
        } else {
            std::size_t from = p + import;
            while (from < css.size() && IsCssSpace(css[from])) {
                ++from;
            }
            if (from < css.size() && (css[from] == '"' || css[from] == '\'')) {
                const std::size_t close = css.find(css[from], from + 1);
                if (close == std::string_view::npos) {
                    break;
                }
                const std::string_view value = Unquote(css.substr(from, close + 1 - from));
                if (Wanted(value)) {
                    links.emplace_back(value);
                }
                p = close + 1;
            } else {
                p = from;  // "@import url(...)": the url( is found next
            }
        }
    }
    return links;
}

std::optional<std::string> ResolveReference(std::string_view base, std::string_view reference) {
    reference = reference.substr(0, reference.find('#'));
    if (reference.ends_with('?')) {
        reference.remove_suffix(1);  // an empty query is no query ("f.eot?#iefix")
    }
    const std::size_t baseScheme = base.find("://");
    if (baseScheme == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view scheme = base.substr(0, baseScheme);
    // The reference's own scheme, if it has one.
    std::size_t colon = 0;
    while (colon < reference.size() &&
           (std::isalnum(static_cast<unsigned char>(reference[colon])) != 0 ||
            reference[colon] == '+' || reference[colon] == '-' || reference[colon] == '.')) {
        ++colon;
    }
    if (colon > 0 && colon < reference.size() && reference[colon] == ':') {
        const std::string_view own = reference.substr(0, colon);
        if (!EqualsNoCase(own, "http") && !EqualsNoCase(own, "https")) {
            return std::nullopt;
        }
        return std::string(reference);
    }
    if (reference.starts_with("//")) {
        return std::string(scheme) + ":" + std::string(reference);
    }
    const std::size_t hostStart = baseScheme + 3;
    std::size_t pathStart = base.find_first_of("/?#", hostStart);
    if (pathStart == std::string_view::npos) {
        pathStart = base.size();
    }
    const std::string origin(base.substr(0, pathStart));
    std::string_view basePath = base.substr(pathStart);
    basePath = basePath.substr(0, basePath.find_first_of("?#"));
    std::string_view query;
    if (const std::size_t mark = reference.find('?'); mark != std::string_view::npos) {
        query = reference.substr(mark);
        reference = reference.substr(0, mark);
    }
    std::string path;
    if (reference.starts_with("/")) {
        path = std::string(reference);
    } else {
        const std::size_t lastSlash = basePath.rfind('/');
        path = lastSlash == std::string_view::npos ? "/"
                                                   : std::string(basePath.substr(0, lastSlash + 1));
        path += reference;
    }
    return origin + "/" + RemoveDotSegments(path) + std::string(query);
}

}  // namespace wg
