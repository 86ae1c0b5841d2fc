#include "net/cookie_jar.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <limits>
#include <map>

#include "platform/clock.h"
#include "platform/files.h"
#include "util/text.h"

namespace wg {

namespace {

// File layout: an optional comment line, then one cookie per line:
//   host TAB end-in-epoch-seconds (0 = none) TAB name=value
constexpr std::string_view kFileHeader = "# Web Grubbler cookies: host, end (0 = none), cookie\n";

bool ParseInt(std::string_view text, std::int64_t& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

// Splits "name=value" (the first '='); without '=' the whole text is the value.
void SplitPair(std::string_view pair, std::string& name, std::string& value) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) {
        name.clear();
        value = std::string(TrimBlanks(pair));
    } else {
        name = std::string(TrimBlanks(pair.substr(0, equals)));
        value = std::string(TrimBlanks(pair.substr(equals + 1)));
    }
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const int shiftedMonth = month > 2 ? month - 3 : month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

CookieJar::CookieJar(std::function<std::int64_t()> clock) : clock_(std::move(clock)) {}

std::int64_t CookieJar::Now() const {
    return clock_ ? clock_() : platform::CalendarSeconds();
}

std::string CookieJar::HostKey(std::string_view url) {
    url = TrimBlanks(url);
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos &&
        url.substr(0, scheme).find('/') == std::string_view::npos) {
        url.remove_prefix(scheme + 3);
    }
    std::string_view authority = url.substr(0, url.find_first_of("/?#\\"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        host = authority.substr(0, authority.find(']'));
        if (host.size() == authority.size()) {
            return {};
        }
        host = authority.substr(0, host.size() + 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    std::string key;
    key.reserve(host.size());
    for (char c : host) {
        const char lower = LowerAscii(c);
        const bool allowed = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') ||
                             lower == '-' || lower == '.' || lower == '_' || lower == '[' ||
                             lower == ']' || lower == ':';
        if (!allowed) {
            return {};
        }
        key += lower;
    }
    return key;
}

std::int64_t CookieJar::ParseHttpDate(std::string_view text) {
    static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    int day = -1;
    int month = -1;
    std::int64_t year = -1;
    int hour = -1;
    int minute = 0;
    int second = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" ,-\t", pos), text.size());
        const std::string_view token = text.substr(pos, end - pos);
        pos = end + 1;
        if (token.empty()) {
            continue;
        }
        if (token.find(':') != std::string_view::npos) {
            std::int64_t parts[3] = {0, 0, 0};
            std::size_t count = 0;
            std::size_t start = 0;
            while (start <= token.size() && count < 3) {
                const std::size_t colon = std::min(token.find(':', start), token.size());
                if (!ParseInt(token.substr(start, colon - start), parts[count])) {
                    return -1;
                }
                ++count;
                start = colon + 1;
            }
            if (count < 2 || parts[0] < 0 || parts[0] > 23 || parts[1] < 0 || parts[1] > 59 ||
                parts[2] < 0 || parts[2] > 60) {
                return -1;
            }
            hour = static_cast<int>(parts[0]);
            minute = static_cast<int>(parts[1]);
            second = static_cast<int>(parts[2]);
        } else if (token.front() >= '0' && token.front() <= '9') {
            std::int64_t number = 0;
            if (!ParseInt(token, number)) {
                return -1;
            }
            if (token.size() <= 2 && day < 0) {
                day = static_cast<int>(number);
            } else if (year < 0 && (token.size() == 2 || token.size() == 4)) {
                year = token.size() == 2 ? (number < 70 ? 2000 + number : 1900 + number) : number;
            } else {
                return -1;
            }
        } else if (month < 0 && token.size() >= 3) {
            for (int i = 0; i < 12; ++i) {
                if (EqualsNoCase(token.substr(0, 3), kMonths[i])) {
                    month = i + 1;
                }
            }
        }
    }
    if (day < 1 || day > 31 || month < 1 || year < 1601 || year > 9999 || hour < 0) {
        return -1;
    }
    // A date before 1970 is as much in the past as the epoch itself (and must
    // not collide with -1, "unreadable").
    return std::max<std::int64_t>(
        0, DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second);
}

void CookieJar::Put(const std::string& host, Cookie cookie) {
    auto found = hosts_.find(host);
    if (found == hosts_.end()) {
        if (hosts_.size() >= kMaxCookieHosts) {
            return;
        }
        found = hosts_.emplace(host, std::vector<Cookie>()).first;
    }
    std::vector<Cookie>& cookies = found->second;
    for (Cookie& existing : cookies) {
        if (existing.name == cookie.name) {
            existing = std::move(cookie);
            return;
        }
    }
    if (cookies.size() >= kMaxCookiesPerHost) {
        cookies.erase(cookies.begin());
    }
    cookies.push_back(std::move(cookie));
}

void CookieJar::Store(std::string_view url, std::string_view setCookieValue) {
    while (!setCookieValue.empty() &&
           (setCookieValue.back() == '\r' || setCookieValue.back() == '\n')) {
        setCookieValue.remove_suffix(1);
    }
    setCookieValue = TrimBlanks(setCookieValue);
    if (setCookieValue.size() > kMaxCookieBytes || HasControlCharacters(setCookieValue)) {
        return;
    }
    const std::string host = HostKey(url);
    const std::size_t semicolon = setCookieValue.find(';');
    const std::string_view pair = TrimBlanks(setCookieValue.substr(0, semicolon));
    if (host.empty() || pair.empty()) {
        return;
    }
    Cookie cookie;
    SplitPair(pair, cookie.name, cookie.value);

    const std::int64_t now = Now();
    bool hasMaxAge = false;
    std::int64_t maxAge = 0;
    std::int64_t expiresAt = -1;
    std::string_view rest = semicolon == std::string_view::npos
                                ? std::string_view()
                                : setCookieValue.substr(semicolon + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find(';');
        const std::string_view attribute = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        const std::size_t equals = attribute.find('=');
        const std::string_view key = TrimBlanks(attribute.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view()
                                           : TrimBlanks(attribute.substr(equals + 1));
        if (EqualsNoCase(key, "max-age")) {
            hasMaxAge = ParseInt(value, maxAge);
        } else if (EqualsNoCase(key, "expires")) {
            expiresAt = ParseHttpDate(value);
        }
    }
    bool deletes = false;
    if (hasMaxAge) {
        deletes = maxAge <= 0;
        cookie.expires = maxAge > std::numeric_limits<std::int64_t>::max() - now ? 0 : now + maxAge;
    } else if (expiresAt >= 0) {
        deletes = expiresAt <= now;
        cookie.expires = expiresAt;
    }

    std::lock_guard lock(mutex_);
    if (!deletes) {
        Put(host, std::move(cookie));
        return;
    }
    auto found = hosts_.find(host);
    if (found == hosts_.end()) {
        return;
    }
    auto& cookies = found->second;
    cookies.erase(std::remove_if(cookies.begin(), cookies.end(),
                                 [&](const Cookie& c) { return c.name == cookie.name; }),
                  cookies.end());
    if (cookies.empty()) {
        hosts_.erase(found);
    }
}

std::string CookieJar::CookieHeaderFor(std::string_view url) const {
    const std::string host = HostKey(url);
    const std::int64_t now = Now();
    std::string header;
    std::lock_guard lock(mutex_);
    const auto found = hosts_.find(host);
    if (host.empty() || found == hosts_.end()) {
        return header;
    }
    for (const Cookie& cookie : found->second) {
        if (cookie.expires != 0 && cookie.expires <= now) {
            continue;
        }
        if (!header.empty()) {
            header += "; ";
        }
        if (!cookie.name.empty()) {
            header += cookie.name;
            header += '=';
        }
        header += cookie.value;
    }
    return header;
}

int CookieJar::Save(const std::filesystem::path& file) const {
    const std::int64_t now = Now();
    std::string text(kFileHeader);
    {
        std::lock_guard lock(mutex_);
        // Sorted by host so that the file does not change when nothing changed.
        std::map<std::string_view, const std::vector<Cookie>*> sorted;
        for (const auto& [host, cookies] : hosts_) {
            sorted.emplace(host, &cookies);
        }
        for (const auto& [host, cookies] : sorted) {
            for (const Cookie& cookie : *cookies) {
                if (cookie.expires != 0 && cookie.expires <= now) {
                    continue;
                }
                text += host;
                text += '\t';
                text += std::to_string(cookie.expires);
                text += '\t';
                if (!cookie.name.empty()) {
                    text += cookie.name;
                    text += '=';
                }
                text += cookie.value;
                text += '\n';
            }
        }
    }
    return platform::WriteFileAtomically(file, text);
}

int CookieJar::Load(const std::filesystem::path& file) {
    int error = 0;
    platform::FilePtr stream = platform::OpenFile(file, "rb", &error);
    if (!stream) {
        Clear();
        return error == ENOENT ? 0 : error;
    }
    std::string data;
    char buffer[65536];
    while (data.size() < kMaxCookieFileBytes) {
        const std::size_t want = std::min(sizeof buffer, kMaxCookieFileBytes - data.size());
        const std::size_t got = std::fread(buffer, 1, want, stream.get());
        data.append(buffer, got);
        if (got < want) {
            break;
        }
    }
    const bool readFailed = std::ferror(stream.get()) != 0;

    const std::int64_t now = Now();
    std::lock_guard lock(mutex_);
    hosts_.clear();
    std::string_view rest(data);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) {
            continue;
        }
        const std::string_view host = line.substr(0, tab1);
        const std::string_view pair = TrimBlanks(line.substr(tab2 + 1));
        Cookie cookie;
        if (host.empty() || HostKey(host) != host ||
            !ParseInt(line.substr(tab1 + 1, tab2 - tab1 - 1), cookie.expires) ||
            cookie.expires < 0 || (cookie.expires != 0 && cookie.expires <= now) || pair.empty() ||
            pair.size() > kMaxCookieBytes || HasControlCharacters(pair)) {
            continue;
        }
        SplitPair(pair, cookie.name, cookie.value);
        Put(std::string(host), std::move(cookie));
    }
    return readFailed ? EIO : 0;
}

void CookieJar::Clear() {
    std::lock_guard lock(mutex_);
    hosts_.clear();
}

std::size_t CookieJar::Size() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [host, cookies] : hosts_) {
        count += cookies.size();
    }
    return count;
}

}  // namespace wg
