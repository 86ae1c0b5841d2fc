#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/error_text.h"

namespace wg::platform {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::size_t start = text.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[start + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

// The reserved domain "invalid" and every name below it.
bool IsReservedInvalid(std::string host) {
    if (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    if (host.size() == 7) {
        return EndsWithNoCase(host, "invalid");
    }
    return EndsWithNoCase(host, ".invalid");
}

bool ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long value = std::stoul(text);
    if (value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

int MapResolverError(int code, int savedErrno) {
    switch (code) {
        case EAI_NONAME:
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
#endif
            return kResolveNotFound;
        case EAI_AGAIN:
            return kResolveTryAgain;
        case EAI_SERVICE:
            return kResolveBadPort;
        case EAI_MEMORY:
            return ENOMEM;
        case EAI_SYSTEM:
            return savedErrno != 0 ? savedErrno : kResolveFailed;
        default:
            return kResolveFailed;
    }
}

// Milliseconds left until `deadline`; negative timeouts mean "no limit" and stay -1.
// The steady-clock time a wait of `timeoutMs` ends at; 0 for a wait without limit.
std::uint64_t DeadlineAfter(int timeoutMs) {
    return timeoutMs < 0 ? 0 : SteadyMilliseconds() + static_cast<std::uint64_t>(timeoutMs);
}

int Remaining(int timeoutMs, std::uint64_t deadline) {
    if (timeoutMs < 0) {
        return -1;
    }
    const std::uint64_t now = SteadyMilliseconds();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

// Waits for `events` on `fd`; answers 0 when ready, ETIMEDOUT, or the errno value.
int WaitFor(int fd, short events, int timeoutMs) {
    const std::uint64_t deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        pollfd p{};
        p.fd = fd;
        p.events = events;
        const int n = ::poll(&p, 1, Remaining(timeoutMs, deadline));
        if (n > 0) {
            return 0;  // ready, or hung up / in error: the next call tells which
        }
        if (n == 0) {
            return ETIMEDOUT;
        }
        if (errno != EINTR) {
            return errno;
        }
    }
}

}  // namespace

int WaitReady(int fd, bool forRead, int timeoutMs) {
    const int rc = WaitFor(fd, forRead ? POLLIN : POLLOUT, timeoutMs < 0 ? 0 : timeoutMs);
    if (rc == 0) {
        return 1;
    }
    return rc == ETIMEDOUT ? 0 : -1;
}

int SetNonBlocking(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) {
        return errno;
    }
    const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    if (wanted != flags && ::fcntl(fd, F_SETFL, wanted) != 0) {
        return errno;
    }
    return 0;
}

namespace {

void SetError(int* error, int value) {
    if (error != nullptr) {
        *error = value;
    }
}

// Small requests are written line by line and answered at once: do not hold
// them back waiting for acknowledgements.
void SetNoDelay(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        // On Linux the descriptor is released even when close reports EINTR.
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

int ResolveIPv4(const std::string& host, const std::string& port, ResolvedAddress& out) {
    std::uint16_t portNumber = 0;
    if (!ParsePort(port, portNumber)) {
        return kResolveBadPort;
    }
    if (host.empty() || IsReservedInvalid(host)) {
        return kResolveNotFound;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    const int savedErrno = errno;
    if (rc != 0) {
        return MapResolverError(rc, savedErrno);
    }
    int result = kResolveNotFound;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr != nullptr &&
            ai->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sin{};
            std::memcpy(&sin, ai->ai_addr, sizeof sin);
            out.ipv4 = sin.sin_addr.s_addr;
            out.port = portNumber;
            result = 0;
            break;
        }
    }
    ::freeaddrinfo(list);
    return result;
}

std::string ResolveErrorText(int error) {
    switch (error) {
        case kResolveNotFound:
            return "Host name not found";
        case kResolveTryAgain:
            return "Temporary failure in name resolution";
        case kResolveFailed:
            return "Name resolution failed";
        case kResolveBadPort:
            return "Invalid port number";
        default:
            return ErrorText(error);
    }
}

// ---- Socket ----

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Socket Socket::Connect(const ResolvedAddress& address, int timeoutMs, int* error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        SetError(error, errno);
        return Socket();
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = address.ipv4;
    sin.sin_port = htons(address.port);
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
    int failure = 0;
    if (rc != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            failure = errno;
        } else {
            // The connection goes on in the background; wait until it is made or refused.
            failure = WaitFor(fd, POLLOUT, timeoutMs);
            if (failure == 0) {
                int soError = 0;
                socklen_t len = sizeof soError;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) {
                    failure = errno;
                } else {
                    failure = soError;
                }
            }
        }
    }
    // The socket stays non-blocking: every send and receive waits with poll.
    if (failure != 0) {
        CloseFd(fd);
        SetError(error, failure);
        return Socket();
    }
    SetNoDelay(fd);
    SetError(error, 0);
    return Socket(fd);
}

int Socket::SendAll(const void* data, std::size_t length) {
    if (fd_ < 0) {
        return EBADF;
    }
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::send(fd_, p, length, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                const int rc = WaitFor(fd_, POLLOUT, -1);
                if (rc != 0) {
                    return rc;
                }
                continue;
            }
            return errno;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return 0;
}

long Socket::Receive(void* buffer, std::size_t length, int timeoutMs, int* error) {
    if (fd_ < 0 || length == 0) {
        SetError(error, fd_ < 0 ? EBADF : EINVAL);
        return -1;
    }
    const std::uint64_t deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        const int rc = WaitFor(fd_, POLLIN, Remaining(timeoutMs, deadline));
        if (rc != 0) {
            SetError(error, rc);
            return -1;
        }
        const ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n >= 0) {
            SetError(error, 0);
            return static_cast<long>(n);
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            SetError(error, errno);
            return -1;
        }
        // Interrupted, or the readiness went away: wait again for what is left of the time.
    }
}

void Socket::Shutdown() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
    }
}

bool Socket::Pair(Socket& first, Socket& second, int* error) {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        if (error != nullptr) {
            *error = errno;
        }
        return false;
    }
    first = Socket(fds[0]);
    second = Socket(fds[1]);
    return true;
}

void Socket::Close() {
    CloseFd(fd_);
}

// ---- ListenSocket ----

ListenSocket::~ListenSocket() {
    Close();
}

ListenSocket::ListenSocket(ListenSocket&& other) noexcept : fd_(other.fd_), port_(other.port_) {
    other.fd_ = -1;
    other.port_ = 0;
}

ListenSocket& ListenSocket::operator=(ListenSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        port_ = other.port_;
        other.fd_ = -1;
        other.port_ = 0;
    }
    return *this;
}

ListenSocket ListenSocket::OnLoopback(int* error) {
    ListenSocket result;
    // Non-blocking, so that a connection reset between poll and accept cannot block Accept.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        SetError(error, errno);
        return result;
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sin.sin_port = 0;
    socklen_t len = sizeof sin;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len) != 0) {
        SetError(error, errno);
        CloseFd(fd);
        return result;
    }
    result.fd_ = fd;
    result.port_ = ntohs(sin.sin_port);
    SetError(error, 0);
    return result;
}

Socket ListenSocket::Accept(int timeoutMs, int* error) {
    if (fd_ < 0) {
        SetError(error, EBADF);
        return Socket();
    }
    const std::uint64_t deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        const int rc = WaitFor(fd_, POLLIN, Remaining(timeoutMs, deadline));
        if (rc != 0) {
            SetError(error, rc);
            return Socket();
        }
        // The accepted socket blocks (accept4 does not pass O_NONBLOCK on).
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            SetNoDelay(fd);
            SetError(error, 0);
            return Socket(fd);
        }
        const int e = errno;
        const bool retry =
            e == EINTR || e == EAGAIN || e == EWOULDBLOCK || e == ECONNABORTED || e == EPROTO;
        if (!retry) {
            SetError(error, e);
            return Socket();
        }
        if (timeoutMs >= 0 && Remaining(timeoutMs, deadline) == 0) {
            SetError(error, ETIMEDOUT);
            return Socket();
        }
    }
}

void ListenSocket::Close() {
    CloseFd(fd_);
    port_ = 0;
}

}  // namespace wg::platform
