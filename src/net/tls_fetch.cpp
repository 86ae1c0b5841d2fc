#include "net/tls_fetch.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>

#include "net/http_request.h"
#include "net/response_buffer.h"
#include "net/transport.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/socket.h"
#include "util/text.h"

namespace wg {

namespace {

// ---- texts and URLs --------------------------------------------------------

bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Where a request goes: host, port and the path as it is sent.
struct Target {
    std::string host;
    std::string port;
    std::string path;
};

bool ValidHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || c == '/' || c == '\\' || c == '?' || c == '#' || c == '@' ||
            c == '[' || c == ']') {
            return false;
        }
    }
    return true;
}

bool ValidPort(std::string_view port) {
    std::uint64_t value = 0;
    return port.size() <= 5 && ParseUnsigned(port, value) && value >= 1 && value <= 65535;
}

// The path as it goes on the request line: leading '/', no fragment, and bytes
// that would break the line (blanks, controls, non-ASCII) percent-encoded.
std::string RequestPath(std::string_view path) {
    const std::size_t hash = path.find('#');
    if (hash != std::string_view::npos) {
        path = path.substr(0, hash);
    }
    std::string out;
    if (path.empty() || path.front() != '/') {
        out += '/';
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0x0f];
        } else {
            out += c;
        }
    }
    return out;
}

bool IsIpLiteral(std::string_view host) {
    if (host.find(':') != std::string_view::npos) {
        return true;
    }
    return std::all_of(host.begin(), host.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// "host" or "[v6]" with ":port" unless it is the default.
std::string Authority(const std::string& host, const std::string& port, bool alwaysPort) {
    std::string text = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (alwaysPort || port != "443") {
        text += ':';
        text += port;
    }
    return text;
}

std::string UrlOf(const Target& target) {
    return "https://" + Authority(target.host, target.port, false) + target.path;
}

// Splits an https URL; none for another scheme or an unusable authority.
std::optional<Target> ParseHttpsUrl(std::string_view url) {
    if (!StartsWithNoCase(url, "https://")) {
        return std::nullopt;
    }
    url.remove_prefix(8);
    const std::size_t end = std::min(url.find_first_of("/?#"), url.size());
    std::string_view authority = url.substr(0, end);
    std::string_view rest = url.substr(end);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    Target target;
    target.port = "443";
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        target.host = std::string(authority.substr(1, close - 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return std::nullopt;
            }
            portText = after.substr(1);
        }
        if (target.host.empty() ||
            target.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
            return std::nullopt;
        }
    } else {
        const std::size_t colon = authority.find(':');
        target.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
        }
        if (!ValidHost(target.host)) {
            return std::nullopt;
        }
    }
    if (!portText.empty()) {
        if (!ValidPort(portText)) {
            return std::nullopt;
        }
        target.port = std::string(portText);
    }
    target.path = RequestPath(rest);
    return target;
}

// Removes "." and ".." segments from a path that begins with '/'.
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t pos = 1;
    bool endsInDirectory = false;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view segment = path.substr(pos, slash - pos);
        const bool last = slash == path.size();
        if (segment == ".") {
            endsInDirectory = last;
        } else if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            endsInDirectory = last;
        } else {
            segments.push_back(segment);
            endsInDirectory = false;
        }
        pos = slash + 1;
    }
    std::string out;
    for (const auto& segment : segments) {
        out += '/';
        out += segment;
    }
    if (out.empty() || endsInDirectory) {
        out += '/';
    }
    return out;
}

// Normalises the path part of a reference (before '?') and keeps the query.
std::string NormalisePathAndQuery(std::string_view reference) {
    const std::size_t query = reference.find('?');
    std::string out = RemoveDotSegments(reference.substr(0, query));
    if (query != std::string_view::npos) {
        out += reference.substr(query);
    }
    return out;
}

bool HasScheme(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    const std::size_t firstDelimiter = text.find_first_of("/?#");
    if (firstDelimiter != std::string_view::npos && firstDelimiter < colon) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!alpha && (i == 0 || !other)) {
            return false;
        }
    }
    return true;
}

// ---- OpenSSL ---------------------------------------------------------------

struct CtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// The queued OpenSSL error texts of this thread, joined; the queue is emptied.
std::string TakeOpenSslErrors() {
    std::string text;
    char buffer[256];
    while (const unsigned long code = ERR_get_error()) {
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.empty()) {
            text += "; ";
        }
        text += buffer;
    }
    return text;
}

// The verification error that made the handshake fail, kept in the SSL object.
struct VerifyState {
    int refusedError = X509_V_OK;
};

// Accepts what the chain check accepts, and forgives an expired or not yet valid
// server certificate. Everything else is refused, a certificate for another host
// name or address among it (that check is part of the chain check once the host
// is set on the session).
int VerifyLeniently(int preverifyOk, X509_STORE_CTX* store) {
    if (preverifyOk) {
        return 1;
    }
    const int error = X509_STORE_CTX_get_error(store);
    const int depth = X509_STORE_CTX_get_error_depth(store);
    if (depth == 0 &&
        (error == X509_V_ERR_CERT_HAS_EXPIRED || error == X509_V_ERR_CERT_NOT_YET_VALID)) {
        return 1;
    }
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl != nullptr) {
        if (auto* state = static_cast<VerifyState*>(SSL_get_app_data(ssl))) {
            state->refusedError = error;
        }
    }
    return 0;
}

// Waits until `fd` can be read or written. 1 ready, 0 deadline passed, -1 failure.
// The platform's wait counts milliseconds and takes any descriptor number.
int WaitSocket(int fd, bool forRead, std::uint64_t deadlineMs) {
    const std::uint64_t now = platform::SteadyMilliseconds();
    if (now >= deadlineMs) {
        return 0;
    }
    return platform::WaitReady(fd, forRead, static_cast<int>(deadlineMs - now));
}

// One TLS connection to one server, closed when it goes out of scope; the
// transport of an https exchange. No close_notify is sent: the answer has
// been read (or given up) by then, and writing to a socket the server already
// closed would only raise errors. Failures are reported in the result.
class TlsConnection final : public Transport {
public:
    TlsConnection(TlsResult& result, int timeoutMs) : result_(result), timeoutMs_(timeoutMs) {}

    // Connects and sets up TLS; `caFile` names extra trusted roots (empty: none).
    bool Open(const Target& target, const std::string& caFile);
    bool WriteAll(std::string_view data);
    // >0 bytes read, 0 end of stream, -1 failure (reported in the result).
    long ReadSome(char* buffer, std::size_t size);

    // Every wait is bounded by the connection's own timeout.
    int SendAll(std::string_view bytes) override { return WriteAll(bytes) ? 0 : ErrorNumber(); }
    long Receive(char* out, std::size_t length, int /*timeoutMs*/, int* error) override {
        const long n = ReadSome(out, length);
        if (n < 0) {
            *error = ErrorNumber();
        }
        return n;
    }

private:
    bool Fail(TlsError error, std::string text) {
        result_.error = error;
        result_.errorText = std::move(text);
        return false;
    }
    std::uint64_t Deadline() const {
        return platform::SteadyMilliseconds() + static_cast<std::uint64_t>(std::max(timeoutMs_, 1));
    }
    // Waits for what the last SSL call needs. False after reporting the failure.
    bool WaitFor(int sslError, std::uint64_t deadline, const char* step);
    int ErrorNumber() const { return result_.error == TlsError::Timeout ? ETIMEDOUT : EIO; }

    TlsResult& result_;
    int timeoutMs_;
    // Declared before the TLS objects, so the descriptor they use is closed after them.
    platform::Socket socket_;
    std::unique_ptr<SSL_CTX, CtxFree> ctx_;
    std::unique_ptr<SSL, SslFree> ssl_;
    VerifyState verify_;
};

bool TlsConnection::WaitFor(int sslError, std::uint64_t deadline, const char* step) {
    if (sslError != SSL_ERROR_WANT_READ && sslError != SSL_ERROR_WANT_WRITE) {
        return false;
    }
    const int ready = WaitSocket(socket_.Fd(), sslError == SSL_ERROR_WANT_READ, deadline);
    if (ready > 0) {
        return true;
    }
    if (ready == 0) {
        return Fail(TlsError::Timeout, std::string("Timed out while ") + step);
    }
    return Fail(TlsError::Io, std::string("Cannot wait on the socket while ") + step);
}

bool TlsConnection::Open(const Target& target, const std::string& caFile) {
    ERR_clear_error();
    ctx_.reset(SSL_CTX_new(TLS_client_method()));
    if (!ctx_) {
        return Fail(TlsError::Handshake, "Cannot create a TLS context: " + TakeOpenSslErrors());
    }
    SSL_CTX_set_options(ctx_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Read anew for every context, so SSL_CERT_FILE / SSL_CERT_DIR apply at once.
    if (SSL_CTX_set_default_verify_paths(ctx_.get()) != 1) {
        return Fail(TlsError::Handshake,
                    "Cannot load the trusted certificates: " + TakeOpenSslErrors());
    }
    if (!caFile.empty() &&
        SSL_CTX_load_verify_locations(ctx_.get(), caFile.c_str(), nullptr) != 1) {
        TakeOpenSslErrors();
        return Fail(TlsError::Certificate, "The CA file could not be read: " + caFile);
    }
    SSL_CTX_set_verify(ctx_.get(), SSL_VERIFY_PEER, VerifyLeniently);

    const std::string where = Authority(target.host, target.port, true);
    platform::ResolvedAddress address;
    if (const int rc = platform::ResolveIPv4(target.host, target.port, address); rc != 0) {
        return Fail(TlsError::Connect,
                    "Cannot connect to " + where + ": " + platform::ResolveErrorText(rc));
    }
    int error = 0;
    socket_ = platform::Socket::Connect(address, std::max(timeoutMs_, 1), &error);
    if (!socket_.Valid()) {
        if (error == ETIMEDOUT) {
            return Fail(TlsError::Timeout, "Timed out while connecting to " + where);
        }
        return Fail(TlsError::Connect,
                    "Cannot connect to " + where + ": " + platform::ErrorText(error));
    }
    // Every TLS step below waits with its own deadline instead of blocking.
    if (const int rc = platform::SetNonBlocking(socket_.Fd(), true); rc != 0) {
        return Fail(TlsError::Connect,
                    "Cannot set up the socket for " + where + ": " + platform::ErrorText(rc));
    }

    ssl_.reset(SSL_new(ctx_.get()));
    if (!ssl_) {
        return Fail(TlsError::Handshake, "Cannot create a TLS session: " + TakeOpenSslErrors());
    }
    SSL_set_app_data(ssl_.get(), &verify_);
    // The socket keeps the descriptor: OpenSSL does not close it.
    if (SSL_set_fd(ssl_.get(), socket_.Fd()) != 1) {
        return Fail(TlsError::Handshake, "Cannot attach TLS to the socket: " + TakeOpenSslErrors());
    }
    // The certificate must name the host asked for: an address for a numeric
    // host, else a DNS name. A numeric host OpenSSL cannot read as an address
    // ("127.1") is compared as a name, which no certificate normally matches.
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_.get());
    const bool numeric = IsIpLiteral(target.host);
    if (!(numeric && X509_VERIFY_PARAM_set1_ip_asc(param, target.host.c_str()) == 1) &&
        SSL_set1_host(ssl_.get(), target.host.c_str()) != 1) {
        TakeOpenSslErrors();
        return Fail(TlsError::Handshake, "Cannot check the certificate against " + target.host);
    }
    if (!numeric) {
        SSL_set_tlsext_host_name(ssl_.get(), target.host.c_str());
    }
    SSL_set_connect_state(ssl_.get());
    const std::uint64_t handshakeDeadline = Deadline();
    for (;;) {
        const int rc = SSL_connect(ssl_.get());
        if (rc == 1) {
            return true;
        }
        const int sslError = SSL_get_error(ssl_.get(), rc);
        if (WaitFor(sslError, handshakeDeadline, "setting up TLS")) {
            continue;
        }
        if (result_.error != TlsError::None) {
            return false;
        }
        if (verify_.refusedError != X509_V_OK) {
            TakeOpenSslErrors();
            std::string why = X509_verify_cert_error_string(verify_.refusedError);
            if (verify_.refusedError == X509_V_ERR_HOSTNAME_MISMATCH ||
                verify_.refusedError == X509_V_ERR_IP_ADDRESS_MISMATCH) {
                why += " (it is not issued for " + target.host + ")";
            }
            return Fail(TlsError::Certificate, std::move(why));
        }
        std::string why = TakeOpenSslErrors();
        return Fail(TlsError::Handshake,
                    "TLS handshake with " + where + " failed" + (why.empty() ? "" : ": " + why));
    }
}

bool TlsConnection::WriteAll(std::string_view data) {
    while (!data.empty()) {
        const std::uint64_t deadline = Deadline();
        std::size_t written = 0;
        const int rc = SSL_write_ex(ssl_.get(), data.data(), data.size(), &written);
        if (rc == 1) {
            data.remove_prefix(written);
            continue;
        }
        const int error = SSL_get_error(ssl_.get(), rc);
        if (!WaitFor(error, deadline, "sending the request")) {
            if (result_.error == TlsError::None) {
                Fail(TlsError::Io, "Cannot send the request: " + TakeOpenSslErrors());
            }
            return false;
        }
    }
    return true;
}

long TlsConnection::ReadSome(char* buffer, std::size_t size) {
    const std::uint64_t deadline = Deadline();
    for (;;) {
        std::size_t got = 0;
        const int rc = SSL_read_ex(ssl_.get(), buffer, size, &got);
        if (rc == 1) {
            return static_cast<long>(got);
        }
        const int error = SSL_get_error(ssl_.get(), rc);
        if (error == SSL_ERROR_ZERO_RETURN) {
            return 0;
        }
        if (WaitFor(error, deadline, "waiting for the answer")) {
            continue;
        }
        if (result_.error == TlsError::None) {
            Fail(TlsError::Io, "Cannot receive the answer: " + TakeOpenSslErrors());
        }
        return -1;
    }
}

// ---- one exchange ----------------------------------------------------------

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The status line and header lines, each without its line end.
bool ParseHeaderLines(const std::vector<std::string>& lines, TlsResult& result) {
    result.headers.clear();
    bool first = true;
    for (std::string_view line : lines) {
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (first) {
            first = false;
            result.statusLine = std::string(line);
            if (!StartsWithNoCase(line, "HTTP/")) {
                return false;
            }
            const std::size_t space = line.find(' ');
            if (space == std::string_view::npos) {
                return false;
            }
            std::string_view code = TrimBlanks(line.substr(space + 1)).substr(0, 3);
            std::uint64_t status = 0;
            if (code.size() != 3 || !ParseUnsigned(code, status) || status < 100) {
                return false;
            }
            result.status = static_cast<int>(status);
        } else {
            result.headers.emplace_back(line);
        }
    }
    return !first;
}

// Sends one request and reads its answer. Sets `location` when the answer is a
// redirect to follow; otherwise delivers the body.
bool Exchange(const Target& target, const TlsRequest& request, const std::string& cookie,
              const TlsBodySink& sink, TlsResult& result, std::string& location) {
    location.clear();
    result.status = 0;
    result.statusLine.clear();
    result.headers.clear();
    TlsConnection connection(result, request.timeoutMs);
    if (!connection.Open(target, request.caFile)) {
        return false;
    }
    TlsRequest sent = request;
    sent.host = target.host;
    sent.port = target.port;
    sent.pathAndQuery = target.path;
    sent.cookieHeader = cookie;
    if (connection.SendAll(BuildHttpsRequest(sent)) != 0) {
        return false;
    }

    // The header block, line by line from the bytes read in blocks; a blank
    // line after the first ends it.
    ResponseBuffer in(connection);
    std::vector<std::string> lines;
    std::size_t headerBytes = 0;
    for (std::string line;;) {
        if (headerBytes > kMaxHttpsHeaderBytes) {
            result.error = TlsError::BadResponse;
            result.errorText = "The answer's header block is too large";
            return false;
        }
        int error = 0;
        const LineRead read = ReadHeaderLine(in, line, kMaxHttpsHeaderBytes + 1 - headerBytes,
                                             request.timeoutMs, &error);
        if (read == LineRead::Closed) {
            result.error = TlsError::BadResponse;
            result.errorText = headerBytes == 0 && line.empty()
                                   ? "The server closed the connection without an answer"
                                   : "The answer ended inside its header block";
            return false;
        }
        if (read != LineRead::Line) {
            return false;  // the connection has reported why
        }
        headerBytes += line.size();
        if (!lines.empty() && (line == "\n" || line == "\r\n")) {
            break;
        }
        lines.push_back(std::move(line));
    }
    if (!ParseHeaderLines(lines, result)) {
        result.error = TlsError::BadResponse;
        result.errorText = "The server's answer is not HTTP";
        return false;
    }

    if (IsRedirect(result.status)) {
        if (auto target = HeaderValue(result.headers, "Location"); target && !target->empty()) {
            location = std::string(*target);
            return true;
        }
    }

    if (request.acceptAnswer && !request.acceptAnswer(result)) {
        return true;
    }

    const bool noBody = result.status < 200 || result.status == 204 || result.status == 304;
    const std::optional<std::uint64_t> length =
        noBody ? std::optional<std::uint64_t>(0) : ContentLength(result.headers);
    auto deliver = [&](const char* bytes, std::size_t size) {
        if (length) {
            size =
                static_cast<std::size_t>(std::min<std::uint64_t>(size, *length - result.bodyBytes));
        }
        if (size == 0) {
            return true;
        }
        result.bodyBytes += size;
        if (!sink(bytes, size)) {
            result.error = TlsError::Cancelled;
            result.errorText = "The transfer was cancelled";
            return false;
        }
        return true;
    };
    // What was read past the header block starts the body.
    while (!length || result.bodyBytes < *length) {
        int error = 0;
        const long got = in.Fill(request.timeoutMs, &error);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            if (length) {
                result.error = TlsError::Truncated;
                result.errorText = "The connection closed after " +
                                   std::to_string(result.bodyBytes) + " of " +
                                   std::to_string(*length) + " bytes";
                return false;
            }
            break;
        }
        const std::string_view bytes = in.Ahead();
        in.Take(bytes.size());
        if (!deliver(bytes.data(), bytes.size())) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string BuildHttpsRequest(const TlsRequest& request) {
    RequestHead head;
    head.requestLine = "GET " + RequestPath(request.pathAndQuery) + " HTTP/1.0\r\n";
    head.host = Authority(request.host, request.port, false);
    head.resumeOffset = request.resumeOffset;
    head.cookieText = request.cookieHeader;
    head.userAgent = request.userAgent;
    head.referer = false;
    std::string text;
    for (const HeadLine& line : RequestHeadLines(head)) {
        text += line.text;
    }
    return text;
}

TlsResult FetchHttps(const TlsRequest& request, const TlsBodySink& sink) {
    TlsResult result;
    Target target{request.host, request.port, RequestPath(request.pathAndQuery)};
    result.finalUrl = UrlOf(target);
    if (!ValidHost(request.host) || !ValidPort(request.port) ||
        HasLineBreakOrNul(request.userAgent) || HasLineBreakOrNul(request.cookieHeader)) {
        result.error = TlsError::BadRequest;
        result.errorText = "The request cannot be sent: bad host, port or header text";
        return result;
    }
    std::string cookie = request.cookieHeader;
    std::string location;
    for (;;) {
        result.finalUrl = UrlOf(target);
        if (!Exchange(target, request, cookie, sink, result, location)) {
            return result;
        }
        if (location.empty()) {
            return result;
        }
        if (result.redirects >= kMaxHttpsRedirects) {
            result.error = TlsError::TooManyRedirects;
            result.errorText = "More than " + std::to_string(kMaxHttpsRedirects) + " redirects";
            return result;
        }
        ++result.redirects;
        const std::string next = ResolveRedirect(result.finalUrl, location);
        std::optional<Target> nextTarget = ParseHttpsUrl(next);
        if (!nextTarget) {
            result.finalUrl = next;
            result.error = TlsError::RedirectNotHttps;
            result.errorText = "Redirected to a URL that is not https: " + next;
            return result;
        }
        // Cookies belong to the host they were stored for.
        if (!EqualsNoCase(nextTarget->host, target.host)) {
            cookie.clear();
        }
        target = std::move(*nextTarget);
    }
}

std::optional<std::string_view> HeaderValue(const std::vector<std::string>& headers,
                                            std::string_view name) {
    for (const std::string& line : headers) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string_view view(line);
        if (EqualsNoCase(TrimBlanks(view.substr(0, colon)), name)) {
            return TrimBlanks(view.substr(colon + 1));
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ContentLength(const std::vector<std::string>& headers) {
    const auto value = HeaderValue(headers, "Content-Length");
    std::uint64_t length = 0;
    if (!value || !ParseUnsigned(*value, length)) {
        return std::nullopt;
    }
    return length;
}

std::optional<std::uint64_t> ContentRangeTotal(const std::vector<std::string>& headers) {
    const auto value = HeaderValue(headers, "Content-Range");
    if (!value) {
        return std::nullopt;
    }
    const std::size_t slash = value->rfind('/');
    std::uint64_t total = 0;
    if (slash == std::string_view::npos ||
        !ParseUnsigned(TrimBlanks(value->substr(slash + 1)), total)) {
        return std::nullopt;
    }
    return total;
}

std::string ResolveRedirect(std::string_view base, std::string_view location) {
    location = TrimBlanks(location);
    if (HasScheme(location)) {
        return std::string(location);
    }
    if (location.substr(0, 2) == "//") {
        return "https:" + std::string(location);
    }
    // The origin "https://authority" and the path of the base, without query or fragment.
    std::size_t authorityStart = base.find("://");
    authorityStart = authorityStart == std::string_view::npos ? 0 : authorityStart + 3;
    const std::size_t pathStart = std::min(base.find_first_of("/?#", authorityStart), base.size());
    const std::string origin(base.substr(0, pathStart));
    std::string_view basePath = base.substr(pathStart);
    basePath = basePath.substr(0, basePath.find_first_of("?#"));
    if (basePath.empty()) {
        basePath = "/";
    }
    const std::size_t hash = location.find('#');
    if (hash != std::string_view::npos) {
        location = location.substr(0, hash);
    }
    if (location.empty()) {
        return origin + std::string(base.substr(pathStart, base.find('#') - pathStart));
    }
    if (location.front() == '/') {
        return origin + NormalisePathAndQuery(location);
    }
    if (location.front() == '?') {
        return origin + std::string(basePath) + std::string(location);
    }
    const std::string_view directory = basePath.substr(0, basePath.rfind('/') + 1);
    return origin + NormalisePathAndQuery(std::string(directory) + std::string(location));
}

}  // namespace wg
