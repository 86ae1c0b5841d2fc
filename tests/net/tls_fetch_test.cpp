// The https transport against a small TLS server inside the test process, with
// certificates made for the test: a private CA (trusted through SSL_CERT_FILE),
// a good server certificate for localhost/127.0.0.1, an expired one, one for
// another host name, and one from a CA nobody trusts.
#include "net/tls_fetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_dirs.h"

namespace wg {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    ASSERT_NE(extension, nullptr);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuerKey` (itself when issuer is null),
// valid from `fromDays` to `toDays` relative to now.
CertPtr MakeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                        const char* subjectAltName, long fromDays, long toDays) {
    static std::atomic<long> serial{1};
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), toDays * 86400);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (subjectAltName == nullptr) {
        AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(cert.get(), signer, NID_subject_alt_name, subjectAltName);
    }
    X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256());
    return cert;
}

// Certificates shared by every test of the suite.
struct Certificates {
    test::TempDir dir;
    std::filesystem::path caFile;
    KeyPtr key{EVP_EC_gen("P-256")};
    KeyPtr caKey{EVP_EC_gen("P-256")};
    KeyPtr strangerKey{EVP_EC_gen("P-256")};
    CertPtr ca, good, expired, otherName, stranger, strangerLeaf;

    Certificates() {
        const char* loopback = "DNS:localhost,IP:127.0.0.1";
        ca = MakeCertificate(caKey.get(), "Grubbler Test CA", nullptr, nullptr, nullptr, -1, 30);
        good = MakeCertificate(key.get(), "localhost", ca.get(), caKey.get(), loopback, -1, 30);
        expired = MakeCertificate(key.get(), "localhost", ca.get(), caKey.get(), loopback, -30, -1);
        otherName = MakeCertificate(key.get(), "other.example", ca.get(), caKey.get(),
                                    "DNS:other.example", -1, 30);
        stranger =
            MakeCertificate(strangerKey.get(), "Stranger CA", nullptr, nullptr, nullptr, -1, 30);
        strangerLeaf = MakeCertificate(key.get(), "localhost", stranger.get(), strangerKey.get(),
                                       loopback, -1, 30);
        caFile = dir / "ca.pem";
        BIO* out = BIO_new_file(caFile.c_str(), "w");
        PEM_write_bio_X509(out, ca.get());
        BIO_free(out);
    }
};

// Answers each connection with what the handler returns for the request; a
// handler answer of none keeps the connection silent until the client leaves.
class TlsServer {
public:
    using Handler = std::function<std::optional<std::string>(const std::string& request)>;

    TlsServer(X509* cert, EVP_PKEY* key, Handler handler) : handler_(std::move(handler)) {
        ctx_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(ctx_, cert);
        SSL_CTX_use_PrivateKey(ctx_, key);
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listen_, reinterpret_cast<sockaddr*>(&address), length);
        listen(listen_, 8);
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = std::to_string(ntohs(address.sin_port));
        thread_ = std::thread([this] { Run(); });
    }
    ~TlsServer() {
        stop_ = true;
        shutdown(listen_, SHUT_RDWR);
        thread_.join();
        close(listen_);
        SSL_CTX_free(ctx_);
    }

    const std::string& port() const { return port_; }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<std::string> serverNames() {
        std::lock_guard lock(mutex_);
        return serverNames_;
    }

private:
    void Run() {
        // A client that hangs up early must not end the test process.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        while (!stop_) {
            const int fd = accept(listen_, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            SSL* ssl = SSL_new(ctx_);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) == 1) {
                Serve(ssl);
            }
            SSL_free(ssl);
            close(fd);
        }
    }

    void Serve(SSL* ssl) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = SSL_read(ssl, buffer, sizeof buffer);
            if (got <= 0) {
                return;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            const char* sni = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
            serverNames_.push_back(sni != nullptr ? sni : "");
        }
        const std::optional<std::string> answer = handler_(request);
        if (!answer) {
            while (SSL_read(ssl, buffer, sizeof buffer) > 0) {
            }
            return;
        }
        std::size_t sent = 0;
        while (sent < answer->size()) {
            const int wrote =
                SSL_write(ssl, answer->data() + sent, static_cast<int>(answer->size() - sent));
            if (wrote <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(wrote);
        }
        SSL_shutdown(ssl);
    }

    Handler handler_;
    SSL_CTX* ctx_ = nullptr;
    int listen_ = -1;
    std::string port_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::string> serverNames_;
};

std::string RequestPath(const std::string& request) {
    const std::size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

std::string Answer(const std::string& statusLine, const std::string& body,
                   const std::string& extraHeaders = "") {
    return statusLine + "\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

class TlsFetchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certs_ = new Certificates(); }
    static void TearDownTestSuite() {
        delete certs_;
        certs_ = nullptr;
    }
    // The private CA is trusted through SSL_CERT_FILE; the old value comes back afterwards.
    void SetUp() override {
        const char* old = std::getenv("SSL_CERT_FILE");
        saved_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("SSL_CERT_FILE", certs_->caFile.c_str(), 1);
    }
    void TearDown() override {
        if (saved_) {
            setenv("SSL_CERT_FILE", saved_->c_str(), 1);
        } else {
            unsetenv("SSL_CERT_FILE");
        }
    }

    TlsResult Fetch(const TlsServer& server, const std::string& path, std::string* body,
                    const std::string& host = "127.0.0.1") {
        TlsRequest request;
        request.host = host;
        request.port = server.port();
        request.pathAndQuery = path;
        request.timeoutMs = 5000;
        return Fetch(request, body);
    }
    TlsResult Fetch(const TlsRequest& request, std::string* body) {
        return FetchHttps(request, [body](const char* data, std::size_t size) {
            body->append(data, size);
            return true;
        });
    }

    static Certificates* certs_;
    std::optional<std::string> saved_;
};

Certificates* TlsFetchTest::certs_ = nullptr;

TEST_F(TlsFetchTest, SendsTheRequestAndReportsStatusHeadersAndBody) {
    TlsServer server(certs_->good.get(), certs_->key.get(), [](const std::string& request) {
        const std::string path = RequestPath(request);
        if (path == "/missing") {
            return Answer("HTTP/1.0 404 Not Found", "no such page");
        }
        if (path == "/until-close") {
            return std::string("HTTP/1.0 200 OK\r\n\r\nread to the end");
        }
        if (path == "/short") {
            return std::string("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
        }
        return Answer("HTTP/1.0 200 OK", "hello", "Content-Type: text/plain\r\n");
    });

    TlsRequest request;
    request.host = "localhost";
    request.port = server.port();
    request.pathAndQuery = "/dir/a b.html?x=1";
    request.cookieHeader = "a=1; b=2";
    std::string body;
    TlsResult result = Fetch(request, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(body, "hello");
    EXPECT_EQ(result.bodyBytes, 5u);
    EXPECT_EQ(HeaderValue(result.headers, "content-type").value_or(""), "text/plain");
    EXPECT_EQ(result.finalUrl, "https://localhost:" + server.port() + "/dir/a%20b.html?x=1");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /dir/a%20b.html?x=1 HTTP/1.0\r\nAccept: */*\r\n"
              "Cookie: a=1; b=2\r\nUser-Agent: Grubble(1.0)\r\n"
              "Host: localhost:" +
                  server.port() + "\r\n\r\n");
    EXPECT_EQ(server.serverNames()[0], "localhost");  // SNI for a name, none for an address

    body.clear();
    result = Fetch(server, "/missing", &body);
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(body, "no such page");
    EXPECT_EQ(server.serverNames()[1], "");

    body.clear();
    result = Fetch(server, "/until-close", &body);
    EXPECT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(body, "read to the end");

    body.clear();
    result = Fetch(server, "/short", &body);
    EXPECT_EQ(result.error, TlsError::Truncated);
    EXPECT_EQ(body, "only this");
}

TEST_F(TlsFetchTest, ToleratesDatesAndHostNamesButNotUnknownIssuers) {
    auto hello = [](const std::string&) { return Answer("HTTP/1.0 200 OK", "hi"); };
    {
        TlsServer server(certs_->expired.get(), certs_->key.get(), hello);
        std::string body;
        const TlsResult result = Fetch(server, "/", &body);
        EXPECT_TRUE(result.Ok()) << result.errorText;
        EXPECT_EQ(body, "hi");
    }
    {
        TlsServer server(certs_->otherName.get(), certs_->key.get(), hello);
        std::string body;
        const TlsResult result = Fetch(server, "/", &body, "localhost");
        EXPECT_TRUE(result.Ok()) << result.errorText;
        EXPECT_EQ(body, "hi");
    }
    {
        TlsServer server(certs_->strangerLeaf.get(), certs_->key.get(), hello);
        std::string body;
        const TlsResult result = Fetch(server, "/", &body);
        EXPECT_EQ(result.error, TlsError::Certificate);
        EXPECT_NE(result.errorText.find("issuer"), std::string::npos) << result.errorText;
        EXPECT_EQ(body, "");
        EXPECT_TRUE(server.requests().empty());
    }
    {
        // The trust store is read per fetch: without the private CA the good certificate fails.
        TlsServer server(certs_->good.get(), certs_->key.get(), hello);
        const std::filesystem::path empty = certs_->dir / "empty.pem";
        std::fclose(std::fopen(empty.c_str(), "w"));
        setenv("SSL_CERT_FILE", empty.c_str(), 1);
        std::string body;
        EXPECT_EQ(Fetch(server, "/", &body).error, TlsError::Certificate);
    }
}

TEST_F(TlsFetchTest, FollowsUpToFiveRedirects) {
    std::string port;
    TlsServer server(certs_->good.get(), certs_->key.get(), [&port](const std::string& request) {
        const std::string path = RequestPath(request);
        if (path.rfind("/r/", 0) == 0) {  // /r/N sends on to N+1 until 6
            const int n = std::stoi(path.substr(3));
            if (n < 6) {
                return Answer("HTTP/1.0 302 Found", "moved",
                              "Location: " + std::to_string(n + 1) + "\r\n");
            }
        }
        if (path == "/away") {
            return Answer("HTTP/1.0 301 Moved", "",
                          "Location: https://localhost:" + port + "/end\r\n");
        }
        if (path == "/plain") {
            return Answer("HTTP/1.0 307 Temporary", "", "Location: http://127.0.0.1/x\r\n");
        }
        return Answer("HTTP/1.0 200 OK", "arrived at " + path);
    });
    port = server.port();

    std::string body;
    TlsResult result = Fetch(server, "/r/1", &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.redirects, 5);
    EXPECT_EQ(body, "arrived at /r/6");  // redirect bodies are not delivered
    EXPECT_EQ(result.finalUrl, "https://127.0.0.1:" + port + "/r/6");

    body.clear();
    result = Fetch(server, "/r/0", &body);
    EXPECT_EQ(result.error, TlsError::TooManyRedirects);
    EXPECT_EQ(body, "");

    // Another host does not get the first host's cookies.
    TlsRequest request;
    request.host = "127.0.0.1";
    request.port = port;
    request.pathAndQuery = "/away";
    request.cookieHeader = "session=secret";
    body.clear();
    result = Fetch(request, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(body, "arrived at /end");
    const std::vector<std::string> requests = server.requests();
    EXPECT_NE(requests[requests.size() - 2].find("Cookie: session=secret"), std::string::npos);
    EXPECT_EQ(requests.back().find("Cookie:"), std::string::npos);

    result = Fetch(server, "/plain", &body);
    EXPECT_EQ(result.error, TlsError::RedirectNotHttps);
    EXPECT_EQ(result.finalUrl, "http://127.0.0.1/x");
}

TEST_F(TlsFetchTest, ResumeAsksForTheRest) {
    TlsServer server(certs_->good.get(), certs_->key.get(), [](const std::string&) {
        return Answer("HTTP/1.0 206 Partial Content", "tail",
                      "Content-Range: bytes 5000-5003/5004\r\n");
    });
    TlsRequest request;
    request.host = "127.0.0.1";
    request.port = server.port();
    request.pathAndQuery = "/file.bin";
    request.resumeOffset = 5000;
    std::string body;
    const TlsResult result = Fetch(request, &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 206);
    EXPECT_EQ(body, "tail");
    EXPECT_EQ(ContentRangeTotal(result.headers).value_or(0), 5004u);
    EXPECT_EQ(ContentLength(result.headers).value_or(0), 4u);
    EXPECT_EQ(server.requests()[0],
              "GET /file.bin HTTP/1.0\r\nAccept: */*\r\nRange: bytes=5000-\r\n"
              "User-Agent: Grubble(1.0)\r\nHost: 127.0.0.1:" +
                  server.port() + "\r\n\r\n");
}

TEST_F(TlsFetchTest, DeliversLargeBodiesWholeAndStopsWhenCancelled) {
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    TlsServer server(certs_->good.get(), certs_->key.get(),
                     [&big](const std::string&) { return Answer("HTTP/1.0 200 OK", big); });
    std::string body;
    TlsResult result = Fetch(server, "/big", &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.bodyBytes, big.size());
    EXPECT_TRUE(body == big);

    std::size_t received = 0;
    int calls = 0;
    TlsRequest request;
    request.host = "127.0.0.1";
    request.port = server.port();
    request.pathAndQuery = "/big";
    result = FetchHttps(request, [&](const char*, std::size_t size) {
        received += size;
        return ++calls < 2;
    });
    EXPECT_EQ(result.error, TlsError::Cancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(received, big.size());
    EXPECT_EQ(result.bodyBytes, received);
}

TEST_F(TlsFetchTest, GivesUpOnASilentServer) {
    TlsServer server(certs_->good.get(), certs_->key.get(),
                     [](const std::string&) { return std::nullopt; });
    TlsRequest request;
    request.host = "127.0.0.1";
    request.port = server.port();
    request.timeoutMs = 200;
    std::string body;
    EXPECT_EQ(Fetch(request, &body).error, TlsError::Timeout);

    request.host = "bad host\r\nX: y";
    EXPECT_EQ(Fetch(request, &body).error, TlsError::BadRequest);
}

TEST(TlsFetchHelpers, ResolvesRedirectTargetsAndReadsLengths) {
    const std::string base = "https://h:8443/a/b/c.html?q=1";
    EXPECT_EQ(ResolveRedirect(base, "d.html"), "https://h:8443/a/b/d.html");
    EXPECT_EQ(ResolveRedirect(base, "../d.html?x"), "https://h:8443/a/d.html?x");
    EXPECT_EQ(ResolveRedirect(base, "/../../e"), "https://h:8443/e");
    EXPECT_EQ(ResolveRedirect(base, "?p=2"), "https://h:8443/a/b/c.html?p=2");
    EXPECT_EQ(ResolveRedirect(base, "//other/x"), "https://other/x");
    EXPECT_EQ(ResolveRedirect(base, "HTTPS://Other/"), "HTTPS://Other/");

    EXPECT_EQ(ContentLength({"content-length:  42 "}).value_or(0), 42u);
    EXPECT_FALSE(ContentLength({"Content-Length: 4x2"}));
    EXPECT_FALSE(ContentLength({"Content-Length: -1"}));
    EXPECT_FALSE(ContentRangeTotal({"Content-Range: bytes 0-1/*"}));
}

}  // namespace
}  // namespace wg
