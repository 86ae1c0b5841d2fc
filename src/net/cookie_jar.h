// The program's own cookie store. Cookies are kept per host (the host of the
// URL, lower-cased, without scheme, port or path) in the order they were first
// set; a cookie set again under the same name replaces the old value in place.
//
// Of the attributes of a Set-Cookie value only the lifetime is used: Max-Age
// (0 or less deletes the cookie at once, more sets its end) and Expires (a date
// in the past deletes the cookie, a later one sets its end; Max-Age wins when
// both are given). Path, Domain, Secure and the rest are ignored: every cookie of
// a host goes with every request to that host. A cookie without an end lives
// until it is replaced or deleted, and is saved like the others.
//
// Limits: values with control characters or longer than kMaxCookieBytes are
// ignored; a host keeps at most kMaxCookiesPerHost cookies (the oldest goes);
// at most kMaxCookieHosts hosts are kept (cookies for further hosts are ignored).
//
// All operations may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wg {

// The cookie file in the program directory.
inline constexpr const char kCookieFileName[] = "Cookies.txt";

inline constexpr std::size_t kMaxCookieBytes = 4096;
inline constexpr std::size_t kMaxCookiesPerHost = 50;
inline constexpr std::size_t kMaxCookieHosts = 5000;
// A cookie file larger than this is read only up to here.
inline constexpr std::size_t kMaxCookieFileBytes = 4 * 1024 * 1024;

class CookieJar {
public:
    // `clock` gives the calendar time in seconds since the epoch; by default the
    // system's. Tests pass their own.
    explicit CookieJar(std::function<std::int64_t()> clock = {});

    // Stores the value of a Set-Cookie header line (the text after "set-cookie:")
    // for the host of `url` ("http://host", "https://host:8443/dir", or "host").
    void Store(std::string_view url, std::string_view setCookieValue);

    // "name=value; name2=value2" for the host of `url`; empty when there is none.
    std::string CookieHeaderFor(std::string_view url) const;

    // Writes every live cookie to `file`, crash-safely. 0 or an errno value.
    int Save(const std::filesystem::path& file) const;

    // Replaces the contents with the cookies in `file`. A missing file leaves the
    // jar empty and gives 0; lines that cannot be read are skipped. 0 or an errno value.
    int Load(const std::filesystem::path& file);

    void Clear();
    std::size_t Size() const;  // live and expired cookies together

    // The lower-cased host of a URL as the jar keys it; empty when there is none.
    static std::string HostKey(std::string_view url);

    // Seconds since the epoch for an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT",
    // "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); -1 when unreadable.
    static std::int64_t ParseHttpDate(std::string_view text);

private:
    struct Cookie {
        std::string name;  // may be empty: the cookie is then sent as its value alone
        std::string value;
        std::int64_t expires = 0;  // seconds since the epoch; 0 = no end
    };

    std::int64_t Now() const;
    // With the lock held.
    void Put(const std::string& host, Cookie cookie);

    std::function<std::int64_t()> clock_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::vector<Cookie>> hosts_;
};

}  // namespace wg
