// The request half of a plain HTTP transaction: how a connection's directory
// part is stored, which domain a host belongs to, and the exact lines that go
// on the wire.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

inline constexpr std::size_t kPathFieldCapacity = 256;
inline constexpr std::size_t kRequestNameCapacity = 260;
inline constexpr std::size_t kCookieTextCapacity = 1040;

// The directory part of a URL as a connection keeps it.
struct StoredPath {
    std::string path;            // no trailing '/' or '.', cut at '?', '\' → '/', ' ' → %20
    unsigned depth = 0;          // directory levels, for rewriting saved pages
    bool trailingSlash = false;  // the given directory ended with '/' (before any '?')
};

// SetPath's rules: "dir/sub/" is "dir/sub" with depth 2, "dir/page?x=1" is
// "dir/page" with depth 2, ".." is empty with depth 0.
StoredPath NormalisePath(std::string_view path);

// The last two dot-separated labels of a lower-case host ("www.example.com" →
// "example.com"); a host with one dot or none is its own domain.
std::string DomainOf(std::string_view host);

// "HTTPS/1.0" for a secure connection, "FTP/1.0" on port "21", else "HTTP/1.0".
std::string ProtocolFor(bool secure, std::string_view port);

// The name as requested: '\' becomes '/', a space becomes %20; at most 258
// characters of the name are taken and the result fits 260 bytes.
std::string RequestNameFor(std::string_view name);

// The request line, ended by CR LF, for a stored path, a request name and the
// protocol text. A query on a directory that was given with its '/' keeps
// that '/' ("GET /forum/?page=2"), so it names the same resource.
std::string RequestLine(const StoredPath& path, std::string_view requestName,
                        std::string_view protocol);

// One GET on a connection: what is asked for and what the attempt before
// learned of it.
struct HttpGet {
    std::string requestName;          // from RequestNameFor, relative to the connection's path
    std::uint32_t expectedTotal = 0;  // the announced length of the attempt before; 0: none
    // Asked before each send: the offset to resume from (0: no Range line).
    // Unset: 0.
    std::function<std::uint64_t()> resumeOffset;
};

struct RequestHead {
    std::string requestLine;  // from RequestLine
    std::string host;         // as the Host line names it
    std::uint64_t resumeOffset = 0;
    std::string cookieText;  // empty: no Cookie line
    std::string userAgent;
    bool referer = true;     // a Referer line naming "http://" + host (not over https)
    bool keepAlive = false;  // a "Connection: keep-alive" line before Host
};

// One header line a send.
struct HeadLine {
    std::string text;
    bool mandatory = false;  // a failed send ends the transaction
};

// The lines in their order: request line, Accept, Range (when resuming),
// Referer (when asked for), Cookie (when there is a cookie text), User-Agent,
// Connection (when keep-alive is asked for) and Host, which ends the block with an empty line.
std::vector<HeadLine> RequestHeadLines(const RequestHead& head);

// The URL of an https request: "https://host/path/name", "https://host/pathname"
// for a query name, "https://host/name" without a path.
std::string HttpsUrlFor(std::string_view host, const StoredPath& path,
                        std::string_view requestName);

}  // namespace wg
