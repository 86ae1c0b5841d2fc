// A scriptable HTTP server on 127.0.0.1 for tests. Each path is given a reply
// whose bytes are sent exactly as written (status line, header lines, line
// ends), so that tests can offer odd answers: bare LF headers, truncated or
// slow bodies, stalled transfers, redirects, cookies, ranges.
//
// The server listens on a port chosen by the system, accepts on a thread of
// its own and serves every connection (one request, then it closes) on
// another; the destructor stops them all, releasing stalled transfers, and
// joins every thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace wg::test {

struct Reply {
    std::string status = "HTTP/1.0 200 OK";  // the status line without its line end
    std::vector<std::string> headers;        // header lines without line ends, in order
    std::string lineEnd = "\r\n";            // ends the status line and each header line
    std::string body;

    // Send only this many body bytes (at most the whole body), then close: a
    // truncated transfer.
    std::optional<std::size_t> cutAfter;
    // After this many body bytes (at most the whole body) stop sending and keep
    // the connection open until the client closes it or the server stops. When
    // both are set, the smaller one acts.
    std::optional<std::size_t> stallAfter;
    // The body goes out in pieces of this size (0: all at once), each one
    // after a pause of delayMs.
    std::size_t chunkSize = 0;
    int delayMs = 0;

    // Answer "Range: bytes=N-" (or N-M) with "<version> 206 Partial Content",
    // the given headers with Content-Length set to the part's size, a
    // Content-Range line and those bytes; a range past the end gets 416. When
    // false the header is ignored and the whole reply is sent.
    bool honourRange = false;
    // Once this reply has been sent, the route answers with `then`.
    std::shared_ptr<const Reply> then;

    // A 200 reply with Content-Type and Content-Length.
    static Reply Ok(std::string body, const std::string& contentType = "text/html");
    // A redirect with a Location header and an empty body.
    static Reply Redirect(const std::string& location,
                          const std::string& status = "HTTP/1.0 302 Found");
};

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // False when no loopback port could be opened (the test should fail then).
    bool Running() const { return listener_.Valid(); }
    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:PORT/path" (a leading "/" of `path` is not doubled).
    std::string Url(const std::string& path) const;

    // The reply for a request target. A target with a query is looked up
    // whole first, then without its query; an absolute target
    // ("http://host:port/path") by its path. Others get 404 Not Found; a head
    // without a request target gets 400 Bad Request and the connection closes.
    // May be called while clients are being served.
    void Route(const std::string& path, Reply reply);

    // Every request head (request line through the blank line) exactly as
    // received, in the order they arrived.
    std::vector<std::string> Requests() const;
    // The connections accepted so far. A request that asks for keep-alive
    // and gets a whole answer with a Content-Length keeps its connection
    // open for the next request.
    std::size_t Connections() const;

private:
    struct Connection {
        platform::Socket socket;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(Connection& connection);
    bool ReadHead(platform::Socket& socket, std::string& head);
    // True when the connection stays open for another request.
    bool Answer(platform::Socket& socket, const std::string& head);
    void SendBody(platform::Socket& socket, const Reply& reply);
    void WaitForClose(platform::Socket& socket);
    // Sleeps `ms` unless the server stops first; false when it stopped.
    bool Pause(int ms);
    Reply Lookup(const std::string& target);
    void ReapFinished();

    platform::ListenSocket listener_;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::map<std::string, Reply> routes_;
    std::vector<std::string> requests_;
    std::size_t connections_ = 0;
    std::list<std::unique_ptr<Connection>> active_;
    std::thread acceptor_;
};

}  // namespace wg::test
