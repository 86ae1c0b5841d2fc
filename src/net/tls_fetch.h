// One GET over TLS for https URLs: the request the crawler sends, a certificate
// check, redirects followed up to a limit, and the body handed to a callback as
// it arrives.
//
// The certificate must come from a trusted issuer and name the host asked for
// (its DNS name, or its IP address for a numeric host); only its dates are
// forgiven, so an expired or not-yet-valid server certificate is accepted. The
// trusted roots are OpenSSL's default verify paths, so SSL_CERT_FILE and
// SSL_CERT_DIR are honoured, plus the PEM file a request names in `caFile`. A
// fresh TLS context is made for every fetch, which means a change of those
// variables takes effect with the next fetch.
//
// The connection is a platform socket; OpenSSL only runs TLS over it.
// Failures are reported in the result (a code and a text); nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

// The agent text of every https request.
inline constexpr const char kHttpsUserAgent[] = "Grubble(1.0)";

// Redirect answers that are followed; one more is an error.
inline constexpr int kMaxHttpsRedirects = 5;

// A header block larger than this is refused as malformed.
inline constexpr std::size_t kMaxHttpsHeaderBytes = 1000000;

struct TlsResult;

struct TlsRequest {
    std::string host;          // a name or an IPv4 address, without port
    std::string port = "443";  // decimal
    std::string pathAndQuery;  // "/dir/page?x=1"; empty means "/"
    std::string userAgent = kHttpsUserAgent;
    std::string cookieHeader;  // the text of a Cookie line; empty = none
    // A PEM file of roots trusted besides the system's (a private server's CA);
    // empty = none. A file that cannot be read fails the fetch (Certificate).
    std::string caFile;
    std::uint64_t resumeOffset = 0;  // not 0: a Range line asks for the rest from here
    // Bounds the connect, the handshake and every wait for more bytes.
    int timeoutMs = 10000;
    // Sees the status and headers of the last answer before its body; false
    // leaves the body unread (the fetch still succeeds, with no body bytes).
    std::function<bool(const TlsResult&)> acceptAnswer;
};

enum class TlsError {
    None,
    BadRequest,        // a host, port or path that cannot be sent
    Connect,           // name resolution or TCP connect failed
    Certificate,       // the server's certificate is refused, or the CA file is unusable
    Handshake,         // any other TLS failure while setting up
    Io,                // sending or receiving failed
    Timeout,           // no progress within timeoutMs
    BadResponse,       // not an HTTP answer, or an oversized header block
    Truncated,         // the connection ended before Content-Length bytes came
    TooManyRedirects,  // more than kMaxHttpsRedirects redirect answers
    RedirectNotHttps,  // a redirect to another scheme; finalUrl names it
    Cancelled,         // the body callback returned false
};

struct TlsResult {
    TlsError error = TlsError::None;
    // Empty when error is None. For Certificate it is the reason alone, an
    // OpenSSL verify text such as "hostname mismatch" (with the host) or
    // "The CA file could not be read: <path>", to follow a lead-in of the caller's.
    std::string errorText;
    int status = 0;                    // status code of the last answer, 0 when none came
    std::string statusLine;            // without CR LF
    std::vector<std::string> headers;  // header lines of the last answer, without CR LF
    std::string finalUrl;              // "https://host[:port]/path" of the last request
    int redirects = 0;                 // redirect answers followed
    std::uint64_t bodyBytes = 0;       // bytes handed to the callback

    bool Ok() const { return error == TlsError::None; }
};

// Receives the body in pieces; returning false cancels the transfer.
using TlsBodySink = std::function<bool(const char* data, std::size_t size)>;

// Runs the GET. The body of the last answer goes to `sink` whatever its status
// (a 404 page too; the caller decides from `status` what to keep). Bodies of
// redirect answers are not delivered. A redirect to another host drops the
// Cookie line; the Range line is kept.
TlsResult FetchHttps(const TlsRequest& request, const TlsBodySink& sink);

// The request text FetchHttps sends for `request` (for logs and tests).
std::string BuildHttpsRequest(const TlsRequest& request);

// The value of the first header line named `name` (case-insensitive), with
// spaces around it removed.
std::optional<std::string_view> HeaderValue(const std::vector<std::string>& headers,
                                            std::string_view name);

// The Content-Length value, when present and a valid number.
std::optional<std::uint64_t> ContentLength(const std::vector<std::string>& headers);

// The total of a "Content-Range: bytes first-last/total" line, when stated.
std::optional<std::uint64_t> ContentRangeTotal(const std::vector<std::string>& headers);

// Resolves a redirect target against the https URL `base` ("https://host[:port]/path").
// Gives an absolute URL; any scheme other than https is returned as it is.
std::string ResolveRedirect(std::string_view base, std::string_view location);

}  // namespace wg
