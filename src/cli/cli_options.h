// The command line of webgrubbler-cli.
#pragma once

#include <string>
#include <vector>

#include "cli/console_port.h"

namespace wg {

struct CliOptions {
    std::string home;  // program directory; empty = the working directory
    DefaultAnswer answer = DefaultAnswer::Ask;
    bool quiet = false;
    bool showHelp = false;
    bool showVersion = false;
    std::string url;
};

struct CliParse {
    CliOptions options;
    std::string error;  // non-empty: bad usage, exit status 2
};

CliParse ParseCliOptions(const std::vector<std::string>& args);

// The --help text.
std::string CliUsage();

}  // namespace wg
