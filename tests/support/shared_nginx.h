// A test suite whose tests share one nginx server: the suite starts it before
// its first test (Start, from SetUpTestSuite) and stops it after its last;
// each test is skipped when nginx is not installed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/nginx_server.h"

namespace wg::test {

template <typename Base = ::testing::Test>
class SharedNginxSuite : public Base {
protected:
    static void Start(const std::filesystem::path& root, const std::string& config) {
        if (!NginxServer::FindBinary().empty()) {
            server_ = new NginxServer(root, config);
        }
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (server_ == nullptr) {
            GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
        }
        ASSERT_TRUE(server_->Running()) << server_->Error();
    }

    static inline NginxServer* server_ = nullptr;
};

}  // namespace wg::test
