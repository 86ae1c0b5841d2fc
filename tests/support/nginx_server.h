// A real nginx for integration tests: serves a fixture directory on two free
// loopback ports, plain http on one and https on the other, with a leaf
// certificate from a private test CA (trust it through SSL_CERT_FILE=CaFile()).
// Everything nginx writes (config, pid, logs, temp files) stays in a temporary
// directory of its own; nginx runs in the foreground as one process, a child of
// the test, and is stopped when the object goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/test_certificates.h"
#include "support/test_dirs.h"

namespace wg::test {

class NginxServer {
public:
    // The nginx program: /usr/sbin/nginx, else the first "nginx" on PATH; empty
    // when there is none.
    static std::string FindBinary();

    // Starts nginx for `root` and waits until both ports accept connections.
    // `serverConfig` is added inside the server block as it is (extra
    // locations, a types block, ...). Check Running() afterwards; Error() says
    // what went wrong.
    explicit NginxServer(const std::filesystem::path& root, std::string serverConfig = {});
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool Running() const { return child_ != nullptr; }
    const std::string& Error() const { return error_; }
    std::uint16_t HttpPort() const { return httpPort_; }
    std::uint16_t HttpsPort() const { return httpsPort_; }
    const std::filesystem::path& CaFile() const { return pem_.ca; }

private:
    bool Start(const std::string& binary, const std::filesystem::path& root);
    std::string Diagnostics();

    std::string serverConfig_;
    TempDir dir_;
    TestCertificates certs_;
    PemFiles pem_;
    std::unique_ptr<ChildProcess> child_;
    std::uint16_t httpPort_ = 0;
    std::uint16_t httpsPort_ = 0;
    std::string error_;
};

}  // namespace wg::test
