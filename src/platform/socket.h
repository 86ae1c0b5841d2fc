// TCP over IPv4: name resolution to one address, client connections with
// timeouts, and a loopback listener for tests and tools. No exceptions: every
// call answers an error code (errno values, or the resolver codes below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wg::platform {

struct ResolvedAddress {
    std::uint32_t ipv4 = 0;  // network byte order
    std::uint16_t port = 0;  // host byte order (80 is 80)
};

// Resolver failures. A failure of the system itself (EAI_SYSTEM) is answered
// with its errno value and EAI_MEMORY with ENOMEM, so every code that is not
// one of these is an errno value.
enum ResolveError : int {
    kResolveNotFound = 20001,  // the name does not exist or has no IPv4 address
    kResolveTryAgain = 20002,  // temporary failure of the name service
    kResolveFailed = 20003,    // permanent failure of the name service, or any other
    kResolveBadPort = 20004,   // the port is not a decimal number 0..65535
};

// Resolves `host` (a name or a dotted IPv4 address) to its first IPv4 address.
// Names in the reserved top-level domain "invalid" never resolve and are not
// looked up. Answers 0 and fills `out`, or an error code (`out` is untouched).
int ResolveIPv4(const std::string& host, const std::string& port, ResolvedAddress& out);

// Text for a code from ResolveIPv4: the resolver texts above, else ErrorText.
std::string ResolveErrorText(int error);

// Waits at most `timeoutMs` until `fd` can be read (or written): 1 ready, 0
// time is up, -1 failure. Works for any descriptor number (poll, not select).
int WaitReady(int fd, bool forRead, int timeoutMs);

// Switches `fd` between non-blocking and blocking mode. Answers 0 or the errno value.
int SetNonBlocking(int fd, bool on);

// A connected TCP socket; closes itself when destroyed. Move-only.
class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects to `address`, waiting at most `timeoutMs` (negative: as long as
    // the system allows). On failure the socket is not valid and `*error`
    // (when given) holds the errno value: ECONNREFUSED, ETIMEDOUT, ...
    static Socket Connect(const ResolvedAddress& address, int timeoutMs, int* error);

    // Two sockets connected to each other inside this process (for feeding
    // recorded answers to the reader). False with `*error` set on failure.
    static bool Pair(Socket& first, Socket& second, int* error);

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Sends every byte, going on after partial writes and interruptions.
    // Answers 0, or the errno value (EPIPE, ECONNRESET, EBADF, ...). Sending to
    // a peer that has closed never raises SIGPIPE.
    int SendAll(const void* data, std::size_t length);

    // Waits at most `timeoutMs` (negative: without limit) for data, then reads
    // once: answers the byte count (> 0), 0 when the peer closed in order, or
    // -1 with `*error` (when given) set: ETIMEDOUT when nothing arrived in time,
    // else the errno value.
    long Receive(void* buffer, std::size_t length, int timeoutMs, int* error);

    // Ends both directions without closing: a thread blocked in Receive or
    // SendAll on this socket returns at once. May be called from another thread
    // while the socket is open, but not at the same time as Close.
    void Shutdown();

    void Close();

private:
    explicit Socket(int fd) : fd_(fd) {}
    friend class ListenSocket;

    int fd_ = -1;
};

// A listening TCP socket on 127.0.0.1. Move-only; closes itself when destroyed.
class ListenSocket {
public:
    ListenSocket() = default;
    ~ListenSocket();
    ListenSocket(ListenSocket&& other) noexcept;
    ListenSocket& operator=(ListenSocket&& other) noexcept;
    ListenSocket(const ListenSocket&) = delete;
    ListenSocket& operator=(const ListenSocket&) = delete;

    // Listens on 127.0.0.1 on a port chosen by the system.
    static ListenSocket OnLoopback(int* error);

    bool Valid() const { return fd_ >= 0; }
    std::uint16_t Port() const { return port_; }  // host byte order

    // Waits at most `timeoutMs` (negative: without limit) for a connection.
    // On failure the socket is not valid and `*error` holds ETIMEDOUT or the
    // errno value.
    Socket Accept(int timeoutMs, int* error);

    void Close();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace wg::platform
