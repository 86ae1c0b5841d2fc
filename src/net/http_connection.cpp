#include "net/http_connection.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "util/text.h"

namespace wg {

void HttpConnection::Open(std::string_view hostIn, std::string_view portIn, std::string_view pathIn,
                          bool secureIn) {
    address = {};
    connectFailed = false;
    buffer[0] = '\0';
    secure = secureIn;
    host = ToLowerAscii(CopyBounded(hostIn, kHostCapacity));
    if (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    domain = DomainOf(host);
    port = CopyBounded(portIn, kPortCapacity);
    SetPath(pathIn);
    socket_.Close();
    lastError = 0;
    dnsFailed = false;
    if (platform::ResolveIPv4(host, port, address) != 0) {
        dnsFailed = true;
        return;
    }
    protocol = ProtocolFor(secure, port);
}

void HttpConnection::SetPath(std::string_view pathIn) {
    path = NormalisePath(pathIn);
}

bool HttpConnection::Connect(int timeoutMs) {
    Close();
    int error = 0;
    socket_ = platform::Socket::Connect(address, timeoutMs, &error);
    connectFailed = !socket_.Valid();
    if (connectFailed) {
        lastError = error;
    }
    return !connectFailed;
}

void HttpConnection::Close() {
    in_.Clear();
    if (socket_.Valid()) {
        static constexpr std::string_view kCloseLine = "Connection: Close\r\n\r\n";
        if (!serverCloses && !keepAliveAsked) {
            (void)socket_.SendAll(kCloseLine.data(), kCloseLine.size());
        }
        socket_.Close();
    }
    serverCloses = false;
}

long HttpConnection::SendAll(std::string_view bytes) {
    if (!socket_.Valid()) {
        return -1;
    }
    // The platform layer goes on after partial writes and interruptions, so a
    // short send never reaches this level.
    const int error = transport_.SendAll(bytes);
    if (error != 0) {
        lastError = error;
        return -1;
    }
    return static_cast<long>(bytes.size());
}

long HttpConnection::Receive(char* out, std::size_t length, int timeoutMs, int* error) {
    const long n = in_.Receive(out, length, timeoutMs, error);
    if (n == 0) {
        serverCloses = true;
    }
    return n;
}

long RecvWithTimeout(platform::Socket& socket, char* buffer, std::size_t length,
                     int timeoutSeconds) {
    int error = 0;
    const int timeoutMs = std::min(timeoutSeconds, std::numeric_limits<int>::max() / 1000) * 1000;
    const long n = socket.Receive(buffer, length, timeoutMs, &error);
    if (n < 0) {
        return error == ETIMEDOUT ? -2 : -1;
    }
    return n;
}

}  // namespace wg
