// One worker's connection to one server: the resolved address, the open
// socket (kept between transactions), the directory part of the current URL
// and the receive buffer of a page fetch. What an answer brought is not the
// connection's (see HttpAnswer). Used by one thread only.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "net/fetch_environment.h"
#include "net/http_request.h"
#include "net/response_buffer.h"
#include "net/transport.h"
#include "platform/socket.h"
#include "util/timing.h"

namespace wg {

// A page fetch fills at most this many bytes of the buffer.
inline constexpr std::size_t kPageBufferLimit = 262144;
inline constexpr std::size_t kHostCapacity = 128;
inline constexpr std::size_t kPortCapacity = 8;

class HttpConnection {
public:
    HttpConnection() { buffer[0] = '\0'; }
    ~HttpConnection() { Close(); }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Prepares the connection for a server and resolves its name; never
    // connects. A name that does not resolve sets dnsFailed.
    void Open(std::string_view host, std::string_view port, std::string_view path, bool secure);
    // A new directory part for the next URL on the same server.
    void SetPath(std::string_view path);
    // Closes any open socket politely and connects again.
    bool Connect(int timeoutMs);
    // Sends "Connection: Close" on an open socket (unless the server closes
    // it anyway), then closes it.
    void Close();
    // Sends all bytes: the count, or -1 with lastError set.
    long SendAll(std::string_view bytes);
    // The machine never dials a modem line here.
    static bool CheckDialUp() { return false; }

    bool HasSocket() const { return socket_.Valid(); }
    platform::Socket& Socket() { return socket_; }

    // Reads into `out`: bytes already read ahead first, else one wait of at
    // most `timeoutMs` and one read from the socket. The byte count, 0 when
    // the peer closed in order, -1 with `*error` set (ETIMEDOUT when nothing
    // came in time).
    long Receive(char* out, std::size_t length, int timeoutMs, int* error);
    // The bytes read ahead and not yet taken.
    std::string_view ReadAhead() const { return in_.Ahead(); }
    // The answer's bytes as the header reader takes them (read in blocks).
    ResponseBuffer& Input() { return in_; }

    platform::ResolvedAddress address;
    bool connectFailed = false;
    bool secure = false;
    // The server said it closes the connection after this answer, or has
    // closed it: Close has no one to say "Connection: Close" to.
    bool serverCloses = false;
    // The last request asked the server to keep the connection: a server that
    // does reads whatever comes next as a request, so Close says nothing.
    bool keepAliveAsked = false;
    bool dnsFailed = false;
    StoredPath path;
    std::string host;      // lower case, no trailing '/'
    std::string port;      // "80", "443", ...
    std::string domain;    // the last two labels of host
    std::string protocol;  // "HTTP/1.0", "HTTPS/1.0" or "FTP/1.0"
    // Not cleared when made: a transaction zero-terminates what it received.
    std::array<char, kPageBufferLimit + 4096> buffer;
    int lastError = 0;  // the system error of the last failed socket operation
    // The waits and timeouts of this connection's exchanges.
    Timing timing;
    // The program around the connection; the default one without an application.
    FetchEnvironment* environment = &DefaultFetchEnvironment();

private:
    platform::Socket socket_;
    SocketTransport transport_{socket_};
    ResponseBuffer in_{transport_};
};

// Waits at most `timeoutSeconds` for data on the socket and reads once: the
// byte count, 0 when the peer closed in order, -1 on an error, -2 when nothing
// arrived in time.
long RecvWithTimeout(platform::Socket& socket, char* buffer, std::size_t length,
                     int timeoutSeconds);

}  // namespace wg
