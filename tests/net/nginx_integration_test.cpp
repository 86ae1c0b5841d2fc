// Transfers against a real nginx on loopback ports: whole files, resumed
// ranges and missing files, over https with the TLS client, then over http and
// https as the workers run them (RunTransaction).
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "download/transaction_fixture.h"
#include "net/tls_fetch.h"
#include "net/transfer_slots.h"
#include "support/shared_nginx.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

constexpr std::size_t kPatternBytes = 300000;

// A small site on disk, and the nginx that serves it to every test of the suite.
class NginxIntegration : public test::SharedNginxSuite<> {
protected:
    static void SetUpTestSuite() {
        root_ = new test::TempDir();
        test::WriteWholeFile(*root_ / "files/pattern.bin", test::PatternBytes(kPatternBytes));
        test::WriteWholeFile(*root_ / "nested/deeper/page.html",
                             "<html><body>deep</body></html>\n");
        Start(root_->path(), "");
        certFile_ = new test::EnvGuard("SSL_CERT_FILE");
        if (server_ != nullptr) {
            certFile_->Set(server_->CaFile().c_str());
        }
    }
    static void TearDownTestSuite() {
        delete certFile_;
        SharedNginxSuite::TearDownTestSuite();
        delete root_;
        root_ = nullptr;
    }

    // The bytes of a file of the site, as nginx should send them.
    static std::string Read(const std::string& relative) {
        return test::ReadWholeFile(*root_ / relative);
    }
    static TlsResult Https(const std::string& path, std::string* body,
                           std::uint64_t resumeOffset = 0, const std::string& host = "127.0.0.1") {
        TlsRequest request;
        request.host = host;
        request.port = std::to_string(server_->HttpsPort());
        request.pathAndQuery = path;
        request.resumeOffset = resumeOffset;
        request.timeoutMs = 5000;
        return FetchHttps(request, [body](const char* data, std::size_t size) {
            body->append(data, size);
            return true;
        });
    }

    static inline test::TempDir* root_ = nullptr;
    static inline test::EnvGuard* certFile_ = nullptr;
};

TEST_F(NginxIntegration, HttpsWholeResumedAndMissingFiles) {
    const std::string expected = Read("files/pattern.bin");
    ASSERT_EQ(expected.size(), kPatternBytes);
    std::string body;
    TlsResult result = Https("/files/pattern.bin", &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(ContentLength(result.headers).value_or(0), kPatternBytes);
    EXPECT_EQ(result.bodyBytes, kPatternBytes);
    EXPECT_TRUE(body == expected);

    body.clear();  // by host name too: the leaf names localhost
    result = Https("/nested/deeper/page.html", &body, 0, "localhost");
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(body, Read("nested/deeper/page.html"));

    // Content-Length of a range counts only the rest; the whole is offset plus that, or the
    // stated total.
    const std::uint64_t offset = 123457;
    body = expected.substr(0, offset);
    result = Https("/files/pattern.bin", &body, offset);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 206);
    EXPECT_EQ(ContentLength(result.headers).value_or(0), kPatternBytes - offset);
    EXPECT_EQ(ContentRangeTotal(result.headers).value_or(0), kPatternBytes);
    EXPECT_TRUE(body == expected) << body.size();

    body.clear();
    result = Https("/files/none.bin", &body);
    ASSERT_TRUE(result.Ok()) << result.errorText;
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(body.find("pattern"), std::string::npos);
}

class NginxFetch : public NginxIntegration {
protected:
    std::unique_ptr<HttpConnection> Open(bool secure, const std::string& path) {
        auto c = std::make_unique<HttpConnection>();
        c->environment = &env;
        const std::uint16_t port = secure ? server_->HttpsPort() : server_->HttpPort();
        c->Open("127.0.0.1", std::to_string(port), path, secure);
        state = {};
        return c;
    }
    long Fetch(HttpConnection& c, const std::string& name, std::optional<std::string> saveDir,
               std::uint32_t resumeFrom = 0) {
        return test::Transact(c, state, env, name, std::move(saveDir), std::nullopt, resumeFrom);
    }

    test::CurrentDirGuard cwd;
    test::TempDir downloads;
    test::RecordingEnvironment env;
    FetchState state;  // of the last connection opened
};

TEST_F(NginxFetch, HttpWholeResumedAndMissingFiles) {
    std::filesystem::current_path(downloads.path());
    const std::string expected = Read("files/pattern.bin");
    auto c = Open(false, "files");
    EXPECT_EQ(Fetch(*c, "pattern.bin", ""), static_cast<long>(kPatternBytes));
    EXPECT_TRUE(test::ReadWholeFile("pattern.bin") == expected);
    EXPECT_EQ(env.Counted(), 1);

    // A 206 answer completes a partly saved file byte for byte.
    constexpr std::uint32_t kHave = 123457;
    std::ofstream("pattern.bin.wgpart", std::ios::binary | std::ios::trunc)
        .write(expected.data(), kHave);
    EXPECT_EQ(Fetch(*c, "pattern.bin", "", kHave), static_cast<long>(kPatternBytes));
    EXPECT_EQ(env.slot.status, 206);
    EXPECT_TRUE(state.answer.IsComplete());
    EXPECT_TRUE(test::ReadWholeFile("pattern.bin") == expected);
    EXPECT_EQ(env.Counted(), 2);

    EXPECT_EQ(Fetch(*c, "none.bin", ""), 0);
    EXPECT_EQ(env.slot.status, 404);
    EXPECT_FALSE(std::filesystem::exists("none.bin"));
    EXPECT_EQ(env.Counted(), 2);
}

TEST_F(NginxFetch, HttpsPagesAndFiles) {
    std::filesystem::current_path(downloads.path());
    const std::string expected = Read("files/pattern.bin");
    auto c = Open(true, "files");
    // A page larger than the buffer keeps 262,143 bytes and a terminator.
    EXPECT_EQ(Fetch(*c, "pattern.bin", std::nullopt), 1);
    EXPECT_EQ(state.answer.received, kPageBufferLimit - 1);
    EXPECT_EQ(c->buffer[kPageBufferLimit - 1], '\0');
    EXPECT_TRUE(std::string_view(c->buffer.data(), kPageBufferLimit - 1) ==
                std::string_view(expected).substr(0, kPageBufferLimit - 1));

    EXPECT_EQ(Fetch(*c, "pattern.bin", "127.0.0.1"), 1);
    EXPECT_TRUE(test::ReadWholeFile("127_0_0_1/pattern.bin") == expected);
    EXPECT_EQ(env.Counted(), 1);

    // An error answer saves nothing and counts nothing.
    EXPECT_EQ(Fetch(*c, "none.bin", "127.0.0.1"), 0);
    EXPECT_EQ(env.slot.status, 404);
    EXPECT_FALSE(std::filesystem::exists("127_0_0_1/none.bin"));
    EXPECT_EQ(env.Counted(), 1);
}

}  // namespace
}  // namespace wg
