// The command line of webgrubbler-cli.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ui_port.h"
#include "cli/console_port.h"

namespace wg {

struct CliOptions {
    std::string home;  // program directory; empty = the working directory
    CrawlScope scope = CrawlScope::OnlyThisPage;
    // Type-group boxes to tick ("web", "movies", "music", "pictures"); none
    // given: the settings' download types stay as they are.
    std::optional<std::vector<std::string>> types;
    // "KEY=VALUE", applied after the settings file; each key once, the last
    // one given winning, every value checked against its key.
    std::vector<std::string> sets;
    DefaultAnswer answer = DefaultAnswer::Ask;
    bool quiet = false;
    bool loadState = false;   // --load: resume from the state file (ALWAYS_LOAD)
    bool saveOnExit = false;  // --save-on-exit: save the state file at exit (ALWAYS_SAVE)
    bool showHelp = false;
    bool showVersion = false;
    std::string url;  // a usable address, or empty with --load
};

struct CliParse {
    CliOptions options;
    std::string error;  // non-empty: bad usage, exit status 2
};

// The longest address a crawl starts from: the start of a crawl cuts the
// typed address (blanks around it dropped) to this many bytes.
inline constexpr std::size_t kMaxAddressBytes = 1023;

// Parses the command line. Besides the options themselves, a crawl needs an
// address (or --load), and the address and every --set are checked here, so
// that a mistake is bad usage before anything starts.
CliParse ParseCliOptions(const std::vector<std::string>& args);

// What is wrong with a start address, or empty when it can start a crawl:
// blank, longer than kMaxAddressBytes, no host name, or a port that is not
// 1 to 65535.
std::string AddressProblem(std::string_view address);

// The --help text.
std::string CliUsage();

}  // namespace wg
