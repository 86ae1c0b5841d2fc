// Hosts the program contacts on its own: the probe host that tells a dead line
// from a dead site, and the update servers. They come from the environment and
// have no built-in default, so nothing is contacted unless configured.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wg::platform {

struct HostPort {
    std::string host;
    std::string port = "80";
};

// "host" or "host:port" from WEBGRUBBLER_PROBE_HOST.
std::optional<HostPort> ProbeHost();

// Comma-separated "host" or "host:port" entries from WEBGRUBBLER_UPDATE_HOST.
std::vector<HostPort> UpdateHosts();

// Parses "host" or "host:port"; an empty host or a port that is not 1..65535 gives none.
std::optional<HostPort> ParseHostPort(const std::string& text);

}  // namespace wg::platform
