#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "platform/socket.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

using platform::ListenSocket;
using platform::ResolvedAddress;
using platform::Socket;

// A connected pair over loopback: the client end and the accepted end.
struct Pair {
    ListenSocket listener;
    Socket client;
    Socket server;
};

Pair Connected() {
    Pair p;
    int error = -1;
    p.listener = ListenSocket::OnLoopback(&error);
    EXPECT_TRUE(p.listener.Valid()) << error;
    ResolvedAddress address;
    EXPECT_EQ(platform::ResolveIPv4("127.0.0.1", std::to_string(p.listener.Port()), address), 0);
    p.client = Socket::Connect(address, 5000, &error);
    EXPECT_TRUE(p.client.Valid()) << error;
    p.server = p.listener.Accept(5000, &error);
    EXPECT_TRUE(p.server.Valid()) << error;
    return p;
}

// Reads until `count` bytes arrived or the peer closed.
std::string ReceiveAll(Socket& s, std::size_t count) {
    std::string data;
    char buffer[65536];
    while (data.size() < count) {
        int error = 0;
        const long n = s.Receive(buffer, sizeof buffer, 5000, &error);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

TEST(PlatformSocket, ResolvesLoopbackAndRefusesReservedOrBadInput) {
    ResolvedAddress a;
    ASSERT_EQ(platform::ResolveIPv4("127.0.0.1", "8080", a), 0);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&a.ipv4);
    EXPECT_EQ(bytes[0], 127u);
    EXPECT_EQ(bytes[3], 1u);
    EXPECT_EQ(a.port, 8080);

    ResolvedAddress untouched{7, 7};
    EXPECT_EQ(platform::ResolveIPv4("no-such-host.invalid", "80", untouched),
              platform::kResolveNotFound);
    EXPECT_EQ(platform::ResolveIPv4("", "80", untouched), platform::kResolveNotFound);
    for (const char* port : {"", "http", "65536", "-1", "8O"}) {
        EXPECT_EQ(platform::ResolveIPv4("127.0.0.1", port, untouched), platform::kResolveBadPort)
            << port;
    }
    EXPECT_EQ(untouched.ipv4, 7u);
    EXPECT_EQ(untouched.port, 7);
    EXPECT_EQ(platform::ResolveErrorText(platform::kResolveNotFound), "Host name not found");
    EXPECT_EQ(platform::ResolveErrorText(ECONNREFUSED), "Connection refused");
}

TEST(PlatformSocket, LargeTransfersArriveWholeInBothDirections) {
    Pair p = Connected();
    ASSERT_TRUE(p.server.Valid());
    const std::string big = test::PatternBytes(4 * 1024 * 1024);
    int sent = -1;
    std::thread sender([&] { sent = p.client.SendAll(big.data(), big.size()); });
    const std::string got = ReceiveAll(p.server, big.size());
    sender.join();
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(got == big) << got.size();

    ASSERT_EQ(p.server.SendAll("pong", 4), 0);
    EXPECT_EQ(ReceiveAll(p.client, 4), "pong");
}

TEST(PlatformSocket, WaitsEndWithEtimedoutAndClosedPortsRefuse) {
    Pair p = Connected();
    char c = 0;
    int error = 0;
    EXPECT_EQ(p.client.Receive(&c, 1, 50, &error), -1);
    EXPECT_EQ(error, ETIMEDOUT);

    Socket none = p.listener.Accept(50, &error);
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(error, ETIMEDOUT);

    ResolvedAddress address;
    ASSERT_EQ(platform::ResolveIPv4("127.0.0.1", std::to_string(p.listener.Port()), address), 0);
    p.listener.Close();
    Socket s = Socket::Connect(address, 5000, &error);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(error, ECONNREFUSED);
}

TEST(PlatformSocket, PeerCloseReadsAsZeroAndSendingFailsWithoutSignal) {
    Pair p = Connected();
    ASSERT_EQ(p.server.SendAll("bye", 3), 0);
    p.server.Close();
    EXPECT_EQ(ReceiveAll(p.client, 3), "bye");
    char c = 0;
    int error = -1;
    EXPECT_EQ(p.client.Receive(&c, 1, 5000, &error), 0);
    EXPECT_EQ(error, 0);

    // A later send fails on the peer's reset; a SIGPIPE would end the test program.
    const std::string chunk(4096, 'x');
    int rc = 0;
    for (int i = 0; i < 1000 && rc == 0; ++i) {
        rc = p.client.SendAll(chunk.data(), chunk.size());
    }
    EXPECT_TRUE(rc == EPIPE || rc == ECONNRESET) << rc;
}

TEST(PlatformSocket, ShutdownReleasesABlockedReceive) {
    Pair p = Connected();
    long result = 1;
    std::thread reader([&] {
        char c = 0;
        int error = 0;
        result = p.client.Receive(&c, 1, -1, &error);
    });
    // Whether the reader is already waiting or not, it must come back.
    p.client.Shutdown();
    reader.join();
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace wg
