#include "net/http_request.h"

#include <cinttypes>
#include <cstdio>

#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kNameSourceLimit = 258;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool HasHttpScheme(std::string_view text) {
    return StartsWith(text, "http:") || StartsWith(text, "https:");
}

// '\' → '/', ' ' → "%20", from at most `sourceLimit` characters, cut to
// `capacity`. Control bytes are escaped too: a CR or LF taken from a hostile
// page must never split the request.
std::string Rewrite(std::string_view text, std::size_t sourceLimit, std::size_t capacity) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < sourceLimit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            out += '/';
        } else if (c == ' ') {
            out += "%20";
        } else if (c < 0x20 || c == 0x7f) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return CopyBounded(out, capacity);
}

std::string_view WithoutDotDotSlash(std::string_view path) {
    return StartsWith(path, "../") ? path.substr(3) : path;
}

}  // namespace

StoredPath NormalisePath(std::string_view given) {
    StoredPath stored;
    std::string path = CopyBounded(given, kPathFieldCapacity);
    if (path.empty()) {
        return stored;
    }
    const std::size_t query = path.find('?');
    const std::string_view beforeQuery = std::string_view(path).substr(0, query);
    stored.trailingSlash = !beforeQuery.empty() && beforeQuery.back() == '/';
    while (!path.empty() && (path.back() == '.' || path.back() == '/')) {
        path.pop_back();
    }
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '?') {
            path.resize(i);
            break;
        }
        if (path[i] == '/' && i > 0) {
            ++stored.depth;
        }
    }
    if (path.size() >= 2 && path.back() != '/') {
        ++stored.depth;
    }
    stored.path = Rewrite(path, kNameSourceLimit, kPathFieldCapacity);
    return stored;
}

std::string DomainOf(std::string_view host) {
    const std::size_t dots = CountChar(host, '.');
    if (dots <= 1) {
        return std::string(host);
    }
    std::size_t seen = 0;
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (host[i] == '.' && ++seen == dots - 1) {
            return std::string(host.substr(i + 1));
        }
    }
    return std::string(host);
}

std::string ProtocolFor(bool secure, std::string_view port) {
    if (secure) {
        return "HTTPS/1.0";
    }
    return port == "21" ? "FTP/1.0" : "HTTP/1.0";
}

std::string RequestNameFor(std::string_view name) {
    return Rewrite(name, kNameSourceLimit, kRequestNameCapacity);
}

std::string RequestLine(const StoredPath& stored, std::string_view requestName,
                        std::string_view protocol) {
    const std::string_view path = stored.path;
    std::string line = "GET ";
    if (!path.empty() && !HasHttpScheme(path)) {
        line += '/';
        line += WithoutDotDotSlash(path);
        if (requestName.empty() || requestName.front() != '?' || stored.trailingSlash) {
            line += '/';
        }
        line += requestName;
    } else if (HasHttpScheme(path) || HasHttpScheme(requestName)) {
        line += requestName;
    } else {
        line += '/';
        line += !requestName.empty() && requestName.front() == '/' ? requestName.substr(1)
                                                                   : requestName;
    }
    line += ' ';
    line += protocol;
    line += "\r\n";
    return line;
}

std::vector<HeadLine> RequestHeadLines(const RequestHead& head) {
    std::vector<HeadLine> lines;
    lines.push_back({head.requestLine, true});
    lines.push_back({"Accept: */*\r\n", true});
    if (head.resumeOffset != 0) {
        char range[64];
        std::snprintf(range, sizeof range, "Range: bytes=%" PRIu64 "-\r\n", head.resumeOffset);
        lines.push_back({range, false});
    }
    if (head.referer) {
        lines.push_back({"Referer: http://" + head.host + "\r\n", false});
    }
    if (!head.cookieText.empty()) {
        lines.push_back({"Cookie: " + head.cookieText + "\r\n", false});
    }
    lines.push_back({"User-Agent: " + head.userAgent + "\r\n", false});
    if (head.keepAlive) {
        lines.push_back({"Connection: keep-alive\r\n", false});
    }
    lines.push_back({"Host: " + head.host + "\r\n\r\n", true});
    return lines;
}

std::string HttpsUrlFor(std::string_view host, const StoredPath& stored,
                        std::string_view requestName) {
    std::string url = "https://";
    url += host;
    if (stored.path.empty()) {
        if (requestName.empty() || requestName.front() != '/') {
            url += '/';
        }
        url += requestName;
    } else {
        url += '/';
        url += WithoutDotDotSlash(stored.path);
        if (requestName.empty() || requestName.front() != '?' || stored.trailingSlash) {
            url += '/';
        }
        url += requestName;
    }
    return CopyBounded(url, kRequestNameCapacity);
}

}  // namespace wg
