#include "platform/hosts.h"

#include <cstdlib>

namespace wg::platform {

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

}  // namespace

std::optional<HostPort> ParseHostPort(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) {
        return std::nullopt;
    }
    HostPort hp;
    const auto colon = t.rfind(':');
    if (colon == std::string::npos) {
        hp.host = t;
        return hp;
    }
    hp.host = t.substr(0, colon);
    const std::string port = t.substr(colon + 1);
    if (hp.host.empty() || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long value = std::strtol(port.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    hp.port = std::to_string(value);
    return hp;
}

std::optional<HostPort> ProbeHost() {
    return ParseHostPort(Env("WEBGRUBBLER_PROBE_HOST"));
}

std::vector<HostPort> UpdateHosts() {
    std::vector<HostPort> hosts;
    const std::string all = Env("WEBGRUBBLER_UPDATE_HOST");
    std::size_t start = 0;
    while (start <= all.size()) {
        const auto comma = all.find(',', start);
        const auto end = comma == std::string::npos ? all.size() : comma;
        if (auto hp = ParseHostPort(all.substr(start, end - start))) {
            hosts.push_back(*hp);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return hosts;
}

}  // namespace wg::platform
