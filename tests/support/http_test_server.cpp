#include "support/http_test_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace wg::test {

namespace {

constexpr int kWaitSliceMs = 250;  // how often a waiting thread looks at the stop flag
constexpr std::size_t kMaxHead = 64 * 1024;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Where the head ends (just past its blank line, CR LF or bare LF), or npos.
std::size_t HeadEnd(const std::string& data) {
    for (std::size_t i = data.find('\n'); i != std::string::npos; i = data.find('\n', i + 1)) {
        if (i + 1 < data.size() && data[i + 1] == '\n') {
            return i + 2;
        }
        if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') {
            return i + 3;
        }
    }
    return std::string::npos;
}

std::vector<std::string> Lines(const std::string& head) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        auto end = head.find('\n', start);
        if (end == std::string::npos) {
            end = head.size();
        }
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        start = end + 1;
    }
    return lines;
}

// The value of the first header called `name` (any case), if there is one.
std::optional<std::string> HeaderValue(const std::vector<std::string>& lines,
                                       const std::string& name) {
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon != std::string::npos && Lower(Trim(lines[i].substr(0, colon))) == name) {
            return Trim(lines[i].substr(colon + 1));
        }
    }
    return std::nullopt;
}

bool IsHeader(const std::string& line, const std::string& lowerName) {
    const auto colon = line.find(':');
    return colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == lowerName;
}

bool ParseNumber(const std::string& text, std::size_t& value) {
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = static_cast<std::size_t>(std::stoull(text));
    return true;
}

// "bytes=N-" or "bytes=N-M" → first and last byte wanted (last = npos for "to the end").
bool ParseRange(const std::string& value, std::size_t& first, std::size_t& last) {
    const std::string v = Lower(value);
    if (v.rfind("bytes=", 0) != 0) {
        return false;
    }
    const std::string rangeText = Trim(v.substr(6));
    const auto dash = rangeText.find('-');
    if (dash == std::string::npos || !ParseNumber(Trim(rangeText.substr(0, dash)), first)) {
        return false;
    }
    const std::string rest = Trim(rangeText.substr(dash + 1));
    last = std::string::npos;
    return rest.empty() || ParseNumber(rest, last);
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

int HttpTestServer::Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
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
    std::string pending;
    std::string head;
    while (ReadHead(connection.socket, pending, head)) {
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

bool HttpTestServer::ReadHead(platform::Socket& socket, std::string& pending, std::string& head) {
    char buffer[4096];
    for (;;) {
        const auto end = HeadEnd(pending);
        if (end != std::string::npos) {
            head = pending.substr(0, end);
            pending.erase(0, end);
            return true;
        }
        if (pending.size() > kMaxHead) {
            return false;
        }
        int error = 0;
        const long n = socket.Receive(buffer, sizeof buffer, kWaitSliceMs, &error);
        if (n > 0) {
            pending.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0 || error != ETIMEDOUT) {
            return false;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) {
            return false;
        }
    }
}

Reply HttpTestServer::Lookup(const std::string& target) const {
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
        return it->second;
    }
    Reply missing = Reply::Ok("<html><body><h1>Not Found</h1></body></html>");
    missing.status = "HTTP/1.0 404 Not Found";
    return missing;
}

bool HttpTestServer::Answer(platform::Socket& socket, const std::string& head) {
    const std::vector<std::string> lines = Lines(head);
    const std::string requestLine = lines.empty() ? std::string() : lines[0];
    const auto space = requestLine.find(' ');
    if (space == std::string::npos) {
        const std::string bad = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        socket.SendAll(bad.data(), bad.size());
        return false;
    }
    const auto targetEnd = requestLine.find(' ', space + 1);
    const std::string target = requestLine.substr(
        space + 1, targetEnd == std::string::npos ? std::string::npos : targetEnd - space - 1);
    const std::string version =
        targetEnd == std::string::npos ? std::string() : Trim(requestLine.substr(targetEnd + 1));

    Reply reply = Lookup(target);
    if (reply.honourRange) {
        std::size_t first = 0;
        std::size_t last = 0;
        const auto range = HeaderValue(lines, "range");
        if (range && ParseRange(*range, first, last)) {
            reply = RangeReply(reply, first, last);
        }
    }

    std::string out = reply.status + reply.lineEnd;
    for (const auto& line : reply.headers) {
        out += line + reply.lineEnd;
    }
    out += reply.lineEnd;
    if (socket.SendAll(out.data(), out.size()) != 0) {
        return false;
    }
    if (!SendBody(socket, reply, reply.body)) {
        return false;
    }
    const std::string connection = Lower(HeaderValue(lines, "connection").value_or(""));
    const bool keepAlive =
        connection == "keep-alive" || (version == "HTTP/1.1" && connection != "close");
    return keepAlive && !reply.closeAfter;
}

bool HttpTestServer::SendBody(platform::Socket& socket, const Reply& reply,
                              const std::string& body) {
    const bool stall =
        reply.stallAfter && (!reply.cutAfter || *reply.stallAfter <= *reply.cutAfter);
    std::size_t count = body.size();
    if (stall) {
        count = std::min(count, *reply.stallAfter);
    } else if (reply.cutAfter) {
        count = std::min(count, *reply.cutAfter);
    }
    const std::size_t chunk =
        reply.chunkSize > 0 ? reply.chunkSize : std::max<std::size_t>(count, 1);
    for (std::size_t offset = 0; offset < count; offset += chunk) {
        if (reply.delayMs > 0 && !Pause(reply.delayMs)) {
            return false;
        }
        if (socket.SendAll(body.data() + offset, std::min(chunk, count - offset)) != 0) {
            return false;
        }
    }
    if (stall) {
        WaitForClose(socket);
        return false;
    }
    return !reply.cutAfter;
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
