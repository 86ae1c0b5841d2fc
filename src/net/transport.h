// A byte stream to a server: the plain socket, or TLS over it (tls_fetch.cpp).
// The response reader and the request go through this interface, so both
// kinds of connection share them.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/socket.h"

namespace wg {

class Transport {
public:
    virtual ~Transport() = default;

    // Sends every byte: 0, or an error number (ETIMEDOUT when the peer took
    // nothing in time).
    virtual int SendAll(std::string_view bytes) = 0;
    // Waits at most `timeoutMs` for data and reads once: the byte count, 0 when
    // the peer closed in order, -1 with `*error` set (ETIMEDOUT when nothing
    // came in time).
    virtual long Receive(char* out, std::size_t length, int timeoutMs, int* error) = 0;
};

// The plain transport: the platform socket as it is.
class SocketTransport final : public Transport {
public:
    explicit SocketTransport(platform::Socket& socket) : socket_(socket) {}

    int SendAll(std::string_view bytes) override {
        return socket_.SendAll(bytes.data(), bytes.size());
    }
    long Receive(char* out, std::size_t length, int timeoutMs, int* error) override {
        return socket_.Receive(out, length, timeoutMs, error);
    }

private:
    platform::Socket& socket_;
};

}  // namespace wg
