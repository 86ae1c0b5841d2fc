// The command line of webgrubbler-cli.
#pragma once

#include <optional>
#include <string>
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
    std::vector<std::string> sets;  // "KEY=VALUE", applied after the settings file
    DefaultAnswer answer = DefaultAnswer::Ask;
    bool quiet = false;
    bool loadState = false;   // --load: resume from the state file (ALWAYS_LOAD)
    bool saveOnExit = false;  // --save-on-exit: save the state file at exit (ALWAYS_SAVE)
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
