#include "util/url_unescape.h"

namespace wg {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

void UrlUnescapeInPlace(std::string& url) {
    std::string out;
    out.reserve(url.size());
    std::size_t i = 0;
    for (; i < url.size(); ++i) {
        const char c = url[i];
        if (c == '?' || c == '#') {
            break;
        }
        if (c == '%' && i + 2 < url.size()) {
            const int hi = HexValue(url[i + 1]);
            const int lo = HexValue(url[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(c);
    }
    out.append(url, i, std::string::npos);
    url.swap(out);
}

}  // namespace wg
