#include "support/nginx_server.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/socket.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 15000;
constexpr int kStartAttempts = 3;

// Two distinct ports that were free a moment ago. nginx binds them a little
// later, so another program may take one first: the caller retries then.
bool PickPorts(std::uint16_t* first, std::uint16_t* second) {
    int error = 0;
    platform::ListenSocket a = platform::ListenSocket::OnLoopback(&error);
    platform::ListenSocket b = platform::ListenSocket::OnLoopback(&error);
    if (!a.Valid() || !b.Valid()) {
        return false;
    }
    *first = a.Port();
    *second = b.Port();
    return true;
}

bool Accepts(std::uint16_t port) {
    platform::ResolvedAddress address;
    if (platform::ResolveIPv4("127.0.0.1", std::to_string(port), address) != 0) {
        return false;
    }
    return platform::Socket::Connect(address, 1000, nullptr).Valid();
}

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

}  // namespace

std::string NginxServer::FindBinary() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs("/usr/sbin:" + std::string(path != nullptr ? path : ""));
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir) / "nginx";
        std::error_code ec;
        if (!dir.empty() && fs::is_regular_file(candidate, ec) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return "";
}

NginxServer::NginxServer(const fs::path& root, std::string serverConfig)
    : serverConfig_(std::move(serverConfig)) {
    const std::string binary = FindBinary();
    if (binary.empty()) {
        error_ = "no nginx program (looked for /usr/sbin/nginx and nginx on PATH)";
        return;
    }
    if (!WritePemFiles(dir_.path(), certs_.good.get(), certs_.key.get(), certs_.ca.get(), &pem_)) {
        error_ = "could not write the certificate files into " + dir_.path().string();
        return;
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (Start(binary, root)) {
            return;
        }
        if (error_.find("Address already in use") == std::string::npos) {
            return;
        }
    }
}

NginxServer::~NginxServer() {
    if (child_ != nullptr) {
        child_->Signal(SIGTERM);  // fast shutdown; the child's destructor kills a straggler
        child_->WaitExit(5000);
    }
}

bool NginxServer::Start(const std::string& binary, const fs::path& root) {
    child_.reset();
    if (!PickPorts(&httpPort_, &httpsPort_)) {
        error_ = "no free loopback port";
        return false;
    }
    const fs::path& d = dir_.path();
    std::error_code ec;
    fs::remove(d / "nginx.pid", ec);
    fs::remove(d / "error.log", ec);
    {
        std::ofstream conf(d / "nginx.conf", std::ios::trunc);
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
             << "pid " << Quoted(d / "nginx.pid") << ";\n"
             << "error_log " << Quoted(d / "error.log") << " notice;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n"
             << "    types { text/html html htm; text/plain txt; }\n"
             << "    default_type application/octet-stream;\n"
             << "    access_log " << Quoted(d / "access.log") << ";\n";
        for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
            conf << "    " << kind << "_temp_path " << Quoted(d / kind) << ";\n";
        }
        conf << "    server {\n"
             << "        listen 127.0.0.1:" << httpPort_ << ";\n"
             << "        listen 127.0.0.1:" << httpsPort_ << " ssl;\n"
             << "        ssl_certificate " << Quoted(pem_.cert) << ";\n"
             << "        ssl_certificate_key " << Quoted(pem_.key) << ";\n"
             << "        root " << Quoted(root) << ";\n"
             << serverConfig_ << "\n"
             << "    }\n}\n";
        if (!conf.flush()) {
            error_ = "could not write " + (d / "nginx.conf").string();
            return false;
        }
    }
    child_ = std::make_unique<ChildProcess>(
        binary, std::vector<std::string>{"-p", d.string(), "-c", (d / "nginx.conf").string()});
    if (!child_->Started()) {
        child_.reset();
        error_ = "could not start " + binary;
        return false;
    }
    // nginx writes its pid file once all its ports listen; before that a port
    // may still belong to someone else.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (child_->WaitExit(0) != -1) {
            error_ = "nginx ended at start: " + Diagnostics();
            child_.reset();
            return false;
        }
        if (fs::file_size(d / "nginx.pid", ec) > 0 && !ec && Accepts(httpPort_) &&
            Accepts(httpsPort_)) {
            error_.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    error_ = "nginx did not answer in time: " + Diagnostics();
    child_.reset();
    return false;
}

std::string NginxServer::Diagnostics() {
    return child_->Output() + ReadWholeFile(dir_.path() / "error.log");
}

}  // namespace wg::test
