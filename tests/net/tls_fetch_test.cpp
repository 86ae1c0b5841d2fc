// The https transport against a TLS server inside the test process, with test certificates:
// a private CA (trusted through SSL_CERT_FILE, or named as the request's CA file) and leaves
// that are good, expired, for another host name, or from a CA nobody trusts.
#include "net/tls_fetch.h"

#include <openssl/ssl.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "support/test_certificates.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

// The certificates of the suite, with the CA written out for SSL_CERT_FILE.
struct Certificates : test::TestCertificates {
    test::TempDir dir;
    test::PemFiles files;
    bool written = test::WritePemFiles(dir.path(), good.get(), key.get(), ca.get(), &files);
};

// Answers each connection with what the handler returns for the request; none keeps it silent
// until the client leaves.
class TlsServer {
public:
    using Handler = std::function<std::optional<std::string>(const std::string& request)>;

    TlsServer(X509* cert, EVP_PKEY* key, Handler handler)
        : handler_(std::move(handler)), listener_(platform::ListenSocket::OnLoopback(nullptr)) {
        SSL_CTX_use_certificate(ctx_, cert);
        SSL_CTX_use_PrivateKey(ctx_, key);
        thread_ = std::thread([this] {
            while (!stop_) {
                platform::Socket client = listener_.Accept(50, nullptr);
                if (!client.Valid()) {
                    continue;
                }
                SSL* ssl = SSL_new(ctx_);
                SSL_set_fd(ssl, client.Fd());
                if (SSL_accept(ssl) == 1) {
                    Serve(ssl);
                }
                SSL_free(ssl);
            }
        });
    }
    ~TlsServer() {
        stop_ = true;
        thread_.join();
        SSL_CTX_free(ctx_);
    }

    std::string port() const { return std::to_string(listener_.Port()); }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void Serve(SSL* ssl) {
        std::string request;
        char buffer[4096];
        int got = 0;
        while (request.find("\r\n\r\n") == std::string::npos) {
            if ((got = SSL_read(ssl, buffer, sizeof buffer)) <= 0) {
                return;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const std::optional<std::string> answer = handler_(request);
        if (!answer) {
            while (SSL_read(ssl, buffer, sizeof buffer) > 0) {
            }
            return;
        }
        for (std::size_t sent = 0; sent < answer->size(); sent += static_cast<std::size_t>(got)) {
            if ((got = SSL_write(ssl, answer->data() + sent,
                                 static_cast<int>(answer->size() - sent))) <= 0) {
                return;
            }
        }
        SSL_shutdown(ssl);
    }

    Handler handler_;
    SSL_CTX* ctx_ = SSL_CTX_new(TLS_server_method());
    platform::ListenSocket listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string Answer(const std::string& statusLine, const std::string& body,
                   const std::string& extraHeaders = "") {
    return statusLine + "\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

class TlsFetchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        signal(SIGPIPE, SIG_IGN);  // a client hanging up early must not end the test program
        certs_ = new Certificates();
        certFile_ = new test::EnvGuard("SSL_CERT_FILE");
        ASSERT_TRUE(certs_->written);
        certFile_->Set(certs_->files.ca.c_str());
    }
    static void TearDownTestSuite() {
        delete certFile_;
        delete certs_;
    }

    static TlsRequest Request(const TlsServer& server, const std::string& path,
                              const std::string& host = "127.0.0.1") {
        TlsRequest request;
        request.host = host;
        request.port = server.port();
        request.pathAndQuery = path;
        request.timeoutMs = 5000;
        return request;
    }
    static TlsResult Fetch(const TlsRequest& request, std::string* body) {
        return FetchHttps(request, [body](const char* data, std::size_t size) {
            body->append(data, size);
            return true;
        });
    }

    static inline Certificates* certs_ = nullptr;
    static inline test::EnvGuard* certFile_ = nullptr;
};

TEST_F(TlsFetchTest, SendsTheExactRequestAndReportsStatusHeadersAndBody) {
    TlsServer server(certs_->good.get(), certs_->key.get(), [](const std::string& request) {
        if (request.starts_with("GET /short ")) {
            return std::string("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
        }
        return Answer("HTTP/1.0 200 OK", "hello", "Content-Type: text/plain\r\n");
    });
    TlsRequest request = Request(server, "/dir/a b.html?x=1", "localhost");
    request.cookieHeader = "a=1; b=2";
    std::string body;
    TlsResult result = Fetch(request, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(body, "hello");
    EXPECT_EQ(HeaderValue(result.headers, "content-type").value_or(""), "text/plain");
    EXPECT_EQ(result.finalUrl, "https://localhost:" + server.port() + "/dir/a%20b.html?x=1");
    EXPECT_EQ(server.requests().at(0),
              "GET /dir/a%20b.html?x=1 HTTP/1.0\r\nAccept: */*\r\n"
              "Cookie: a=1; b=2\r\nUser-Agent: Grubble(1.0)\r\n"
              "Host: localhost:" +
                  server.port() + "\r\n\r\n");

    body.clear();
    EXPECT_EQ(Fetch(Request(server, "/short"), &body).error, TlsError::Truncated);
    EXPECT_EQ(body, "only this");
}

TEST_F(TlsFetchTest, ToleratesDatesButNotOtherNamesOrUnknownIssuers) {
    const struct {
        X509* cert;
        const char* host;
        TlsError error;
        const char* reason;  // a part of the error text
    } cases[] = {
        {certs_->expired.get(), "localhost", TlsError::None, ""},
        {certs_->good.get(), "127.0.0.1", TlsError::None, ""},
        {certs_->otherName.get(), "localhost", TlsError::Certificate, "hostname mismatch"},
        {certs_->otherName.get(), "127.0.0.1", TlsError::Certificate, "IP address mismatch"},
        {certs_->strangerLeaf.get(), "127.0.0.1", TlsError::Certificate, "issuer"},
        {certs_->selfSigned.get(), "localhost", TlsError::Certificate, "self"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host + std::string(" ") + c.reason);
        TlsServer server(c.cert, certs_->key.get(),
                         [](const std::string&) { return Answer("HTTP/1.0 200 OK", "hi"); });
        std::string body;
        const TlsResult result = Fetch(Request(server, "/", c.host), &body);
        EXPECT_EQ(result.error, c.error) << result.errorText;
        EXPECT_NE(result.errorText.find(c.reason), std::string::npos) << result.errorText;
        EXPECT_EQ(body, c.error == TlsError::None ? "hi" : "");
        EXPECT_EQ(server.requests().size(), c.error == TlsError::None ? 1u : 0u);
    }
}

// A CA file adds roots to the system's; one that cannot be read stops the fetch before it
// connects.
TEST_F(TlsFetchTest, TrustsTheRootsOfACaFile) {
    const test::EnvGuard systemRootsOnly("SSL_CERT_FILE");  // without the suite's CA meanwhile
    systemRootsOnly.Set((certs_->dir.path() / "none.pem").c_str());
    const std::string missing = (certs_->dir.path() / "missing.pem").string();
    const struct {
        std::string caFile;
        TlsError error;
        std::string text;  // a part of the error text
    } cases[] = {
        {certs_->files.ca.string(), TlsError::None, ""},
        {"", TlsError::Certificate, "issuer"},
        {missing, TlsError::Certificate, "The CA file could not be read: " + missing},
        {certs_->files.key.string(), TlsError::Certificate, "The CA file could not be read"},
    };
    TlsServer server(certs_->good.get(), certs_->key.get(),
                     [](const std::string&) { return Answer("HTTP/1.0 200 OK", "hi"); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caFile);
        TlsRequest request = Request(server, "/");
        request.caFile = c.caFile;
        std::string body;
        const TlsResult result = Fetch(request, &body);
        EXPECT_EQ(result.error, c.error) << result.errorText;
        EXPECT_NE(result.errorText.find(c.text), std::string::npos) << result.errorText;
    }
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(TlsFetchTest, FollowsUpToFiveRedirectsAndResumesWithRange) {
    TlsServer server(certs_->good.get(), certs_->key.get(), [](const std::string& request) {
        if (request.starts_with("GET /hop ")) {  // on to another host name, same server
            const std::size_t at = request.find("Host: 127.0.0.1:");
            const std::string port = request.substr(at + 16, request.find('\r', at) - at - 16);
            return Answer("HTTP/1.0 302 Found", "",
                          "Location: https://localhost:" + port + "/landed\r\n");
        }
        if (request.starts_with("GET /landed ")) {
            return Answer("HTTP/1.0 404 Not Found", "none here");
        }
        const int n = request.starts_with("GET /r/") ? request[7] - '0' : 9;
        if (n < 6) {  // /r/N sends on to N+1 until 6
            return Answer("HTTP/1.0 302 Found", "moved",
                          "Location: " + std::to_string(n + 1) + "\r\n");
        }
        return Answer("HTTP/1.0 206 Partial Content", "tail",
                      "Content-Range: bytes 5000-5003/5004\r\n");
    });
    std::string body;
    TlsResult result = Fetch(Request(server, "/r/1"), &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.redirects, 5);
    EXPECT_EQ(body, "tail");  // redirect bodies are not delivered
    EXPECT_EQ(result.finalUrl, "https://127.0.0.1:" + server.port() + "/r/6");
    body.clear();
    EXPECT_EQ(Fetch(Request(server, "/r/0"), &body).error, TlsError::TooManyRedirects);
    EXPECT_EQ(body, "");

    // Cookies stay with their host; an error status is reported, not hidden.
    TlsRequest hop = Request(server, "/hop");
    hop.cookieHeader = "sid=1";
    body.clear();
    result = Fetch(hop, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 404);
    EXPECT_NE(server.requests().at(server.requests().size() - 2).find("Cookie: sid=1"),
              std::string::npos);
    EXPECT_EQ(server.requests().back().find("Cookie:"), std::string::npos);

    body.clear();
    TlsRequest request = Request(server, "/file.bin");
    request.resumeOffset = 5000;
    result = Fetch(request, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 206);
    EXPECT_EQ(ContentRangeTotal(result.headers).value_or(0), 5004u);
    EXPECT_EQ(server.requests().back(),
              "GET /file.bin HTTP/1.0\r\nAccept: */*\r\nRange: bytes=5000-\r\n"
              "User-Agent: Grubble(1.0)\r\nHost: 127.0.0.1:" +
                  server.port() + "\r\n\r\n");
}

TEST_F(TlsFetchTest, DeliversLargeBodiesWholeAndStopsWhenCancelled) {
    const std::string big = test::PatternBytes(300000);
    TlsServer server(certs_->good.get(), certs_->key.get(),
                     [&big](const std::string&) { return Answer("HTTP/1.0 200 OK", big); });
    std::string body;
    TlsResult result = Fetch(Request(server, "/big"), &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.bodyBytes, big.size());
    EXPECT_TRUE(body == big);

    std::size_t received = 0;
    int calls = 0;
    result = FetchHttps(Request(server, "/big"), [&](const char*, std::size_t size) {
        received += size;
        return ++calls < 2;
    });
    EXPECT_EQ(result.error, TlsError::Cancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(received, big.size());
}

TEST_F(TlsFetchTest, GivesUpOnASilentServerAndRefusesBadHosts) {
    TlsServer server(certs_->good.get(), certs_->key.get(),
                     [](const std::string&) { return std::nullopt; });
    TlsRequest request = Request(server, "/");
    request.timeoutMs = 200;
    std::string body;
    EXPECT_EQ(Fetch(request, &body).error, TlsError::Timeout);
    request.host = "bad host\r\nX: y";
    EXPECT_EQ(Fetch(request, &body).error, TlsError::BadRequest);
    request.host = "nowhere.invalid";
    EXPECT_EQ(Fetch(request, &body).error, TlsError::Connect);
    request.host = "127.0.0.1";
    request.port = [] {  // a port that was free a moment ago: nobody listens there
        return std::to_string(platform::ListenSocket::OnLoopback(nullptr).Port());
    }();
    EXPECT_EQ(Fetch(request, &body).error, TlsError::Connect);
}

TEST(TlsFetchHelpers, ResolvesRedirectTargetsAndReadsLengths) {
    const std::string base = "https://h:8443/a/b/c.html?q=1";
    EXPECT_EQ(ResolveRedirect(base, "../d.html?x"), "https://h:8443/a/d.html?x");
    EXPECT_EQ(ResolveRedirect(base, "/../../e"), "https://h:8443/e");
    EXPECT_EQ(ResolveRedirect(base, "?p=2"), "https://h:8443/a/b/c.html?p=2");
    EXPECT_EQ(ResolveRedirect(base, "//other/x"), "https://other/x");
    EXPECT_EQ(ContentLength({"content-length:  42 "}).value_or(0), 42u);
    EXPECT_FALSE(ContentLength({"Content-Length: -1"}));
}

}  // namespace
}  // namespace wg
