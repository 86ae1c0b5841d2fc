#include "support/http_test_server.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <utility>

namespace wg::test {

namespace {

constexpr int kWaitSliceMs = 250;  // how often a waiting thread looks at the stop flag
constexpr std::size_t kMaxHead = 64 * 1024;

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    return first == std::string::npos
               ? std::string()
               : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Where the head ends (just past its blank line, CR LF or bare LF), or npos.
std::size_t HeadEnd(const std::string& data) {
    const auto lf = data.find("\n\n");
    const auto crlf = data.find("\n\r\n");
    if (lf == std::string::npos && crlf == std::string::npos) {
        return std::string::npos;
    }
    return lf < crlf ? lf + 2 : crlf + 3;
}

bool IsHeader(const std::string& line, const std::string& lowerName) {
    const auto colon = line.find(':');
    return colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == lowerName;
}

// The value of the first header line of a request head called `lowerName`.
std::optional<std::string> HeaderValue(const std::string& head, const std::string& lowerName) {
    std::istringstream lines(head);
    std::string line;
    std::getline(lines, line);  // the request line
    while (std::getline(lines, line)) {
        if (IsHeader(line, lowerName)) {
            return Trim(line.substr(line.find(':') + 1));
        }
    }
    return std::nullopt;
}

// "bytes=N-" or "bytes=N-M" → first and last byte wanted (last = npos for "to the end").
bool ParseRange(const std::string& value, std::size_t& first, std::size_t& last) {
    unsigned long long from = 0;
    unsigned long long to = std::string::npos;
    if (std::sscanf(Lower(value).c_str(), "bytes = %llu - %llu", &from, &to) < 1) {
        return false;
    }
    first = static_cast<std::size_t>(from);
    last = static_cast<std::size_t>(to);
    return true;
}

// A reply narrowed to the requested range: 206 with Content-Range, or 416.
Reply RangeReply(const Reply& whole, std::size_t first, std::size_t last) {
    Reply part = whole;
    const std::string version = whole.status.rfind("HTTP/", 0) == 0
                                    ? whole.status.substr(0, whole.status.find(' '))
                                    : std::string("HTTP/1.1");
    const std::size_t total = whole.body.size();
    part.headers.clear();
    for (const auto& line : whole.headers) {
        if (!IsHeader(line, "content-length")) {
            part.headers.push_back(line);
        }
    }
    if (first >= total || last < first) {
        part.status = version + " 416 Range Not Satisfiable";
        part.headers.push_back("Content-Length: 0");
        part.headers.push_back("Content-Range: bytes */" + std::to_string(total));
        part.body.clear();
        return part;
    }
    last = std::min(last, total - 1);
    part.status = version + " 206 Partial Content";
    part.body = whole.body.substr(first, last - first + 1);
    part.headers.push_back("Content-Length: " + std::to_string(part.body.size()));
    part.headers.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                           std::to_string(last) + "/" + std::to_string(total));
    return part;
}

}  // namespace

Reply Reply::Ok(std::string body, const std::string& contentType) {
    Reply reply;
    reply.headers = {"Content-Type: " + contentType,
                     "Content-Length: " + std::to_string(body.size())};
    reply.body = std::move(body);
    return reply;
}

Reply Reply::Redirect(const std::string& location, const std::string& status) {
    Reply reply;
    reply.status = status;
    reply.headers = {"Location: " + location, "Content-Length: 0"};
    return reply;
}

HttpTestServer::HttpTestServer() {
    int error = 0;
    listener_ = platform::ListenSocket::OnLoopback(&error);
    if (!listener_.Valid()) {
        return;
    }
    port_ = listener_.Port();
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    if (!acceptor_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        // Wakes every connection blocked in a receive or a send.
        for (auto& c : active_) {
            if (c->socket.Valid()) {
                c->socket.Shutdown();
            }
        }
    }
    stopped_.notify_all();
    {
        // Wakes the acceptor at once instead of at the end of its wait.
        platform::ResolvedAddress self;
        if (platform::ResolveIPv4("127.0.0.1", std::to_string(port_), self) == 0) {
            int error = 0;
            platform::Socket wake = platform::Socket::Connect(self, 1000, &error);
        }
    }
    acceptor_.join();
    // Only this thread touches the list now.
    for (auto& c : active_) {
        c->thread.join();
    }
    active_.clear();
}

std::string HttpTestServer::Url(const std::string& path) const {
    std::string url = "http://127.0.0.1:" + std::to_string(port_);
    if (path.empty() || path[0] != '/') {
        url += '/';
    }
    return url + path;
}

void HttpTestServer::Route(const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(reply);
}

std::vector<std::string> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void HttpTestServer::AcceptLoop() {
    for (;;) {
        int error = 0;
        platform::Socket socket = listener_.Accept(kWaitSliceMs * 4, &error);
        ReapFinished();
        std::unique_lock<std::mutex> lock(mutex_);
        if (stop_) {
            return;
        }
        if (!socket.Valid()) {
            if (error != ETIMEDOUT) {
                // A lasting failure (no descriptors left, ...): do not spin on it.
                stopped_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stop_; });
            }
            continue;
        }
        ++connections_;
        active_.push_back(std::make_unique<Connection>());
        Connection& connection = *active_.back();
        connection.socket = std::move(socket);
        connection.thread = std::thread([this, &connection] { Serve(connection); });
    }
}

void HttpTestServer::ReapFinished() {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = active_.begin(); it != active_.end();) {
            auto next = std::next(it);
            if ((*it)->done.load()) {
                finished.splice(finished.end(), active_, it);
            }
            it = next;
        }
    }
    for (auto& c : finished) {
        c->thread.join();
    }
}

void HttpTestServer::Serve(Connection& connection) {
    for (std::string head; ReadHead(connection.socket, head); head.clear()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(head);
        }
        if (!Answer(connection.socket, head)) {
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connection.socket.Close();
    }
    connection.done = true;
}

bool HttpTestServer::ReadHead(platform::Socket& socket, std::string& head) {
    char buffer[4096];
    while (HeadEnd(head) == std::string::npos && head.size() <= kMaxHead) {
        int error = 0;
        const long n = socket.Receive(buffer, sizeof buffer, kWaitSliceMs, &error);
        if (n > 0) {
            head.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (n == 0 || error != ETIMEDOUT || stop_) {
            return false;
        }
    }
    const auto end = HeadEnd(head);
    head.resize(end == std::string::npos ? 0 : end);
    return end != std::string::npos;
}

Reply HttpTestServer::Lookup(const std::string& target) {
    std::string path = target;
    const std::string lower = Lower(target);
    if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) {
        const auto slash = target.find('/', target.find("//") + 2);
        path = slash == std::string::npos ? "/" : target.substr(slash);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = routes_.find(path);
    if (it == routes_.end()) {
        it = routes_.find(path.substr(0, path.find('?')));
    }
    if (it != routes_.end()) {
        Reply reply = it->second;
        if (reply.then) {
            it->second = *reply.then;
        }
        return reply;
    }
    Reply missing = Reply::Ok("<html><body><h1>Not Found</h1></body></html>");
    missing.status = "HTTP/1.0 404 Not Found";
    return missing;
}

std::size_t HttpTestServer::Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

bool HttpTestServer::Answer(platform::Socket& socket, const std::string& head) {
    const std::string requestLine = head.substr(0, head.find_first_of("\r\n"));
    const auto space = requestLine.find(' ');
    if (space == std::string::npos) {
        const std::string bad = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        socket.SendAll(bad.data(), bad.size());
        return false;
    }
    Reply reply =
        Lookup(requestLine.substr(space + 1, requestLine.find(' ', space + 1) - space - 1));
    std::size_t first = 0;
    std::size_t last = 0;
    const auto range = HeaderValue(head, "range");
    if (reply.honourRange && range && ParseRange(*range, first, last)) {
        reply = RangeReply(reply, first, last);
    }
    std::string out = reply.status + reply.lineEnd;
    for (const auto& line : reply.headers) {
        out += line + reply.lineEnd;
    }
    out += reply.lineEnd;
    if (socket.SendAll(out.data(), out.size()) != 0) {
        return false;
    }
    SendBody(socket, reply);
    const auto connection = HeaderValue(head, "connection");
    const bool sized = std::any_of(reply.headers.begin(), reply.headers.end(), [](const auto& h) {
        return Lower(h).rfind("content-length:", 0) == 0;
    });
    return connection && Lower(*connection) == "keep-alive" && sized && !reply.cutAfter &&
           !reply.stallAfter;
}

void HttpTestServer::SendBody(platform::Socket& socket, const Reply& reply) {
    const bool stall =
        reply.stallAfter && (!reply.cutAfter || *reply.stallAfter <= *reply.cutAfter);
    const std::size_t count =
        std::min(reply.body.size(), stall ? *reply.stallAfter : reply.cutAfter.value_or(SIZE_MAX));
    const std::size_t chunk =
        reply.chunkSize > 0 ? reply.chunkSize : std::max<std::size_t>(count, 1);
    for (std::size_t offset = 0; offset < count; offset += chunk) {
        if ((reply.delayMs > 0 && !Pause(reply.delayMs)) ||
            socket.SendAll(reply.body.data() + offset, std::min(chunk, count - offset)) != 0) {
            return;
        }
    }
    if (stall) {
        WaitForClose(socket);
    }
}

void HttpTestServer::WaitForClose(platform::Socket& socket) {
    char buffer[1024];
    for (;;) {
        int error = 0;
        const long n = socket.Receive(buffer, sizeof buffer, kWaitSliceMs, &error);
        if (n == 0 || (n < 0 && error != ETIMEDOUT)) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) {
            return;
        }
    }
}

bool HttpTestServer::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
}

}  // namespace wg::test
