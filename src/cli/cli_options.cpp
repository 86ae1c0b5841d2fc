#include "cli/cli_options.h"

#include <algorithm>
#include <sstream>

#include "settings/setting_checks.h"
#include "util/text.h"

namespace wg {

std::string CliUsage() {
    return "Usage: webgrubbler-cli [OPTION]... URL\n"
           "       webgrubbler-cli [OPTION]... --load [URL]\n"
           "       webgrubbler-cli find-duplicates [--no-recursive] [--delete] [--log] DIR\n"
           "\n"
           "Web Grubbler's console front end: crawls from URL as \"Go Fetch\" does in the\n"
           "main window, and exits when the crawl ends.\n"
           "\n"
           "Startup:\n"
           "  --version           print the version and exit\n"
           "  --help              print this text and exit\n"
           "  --home DIR          program directory: settings, state, logs (default: the\n"
           "                      working directory); downloads go to DIR/Downloads\n"
           "\n"
           "Crawl:\n"
           "  --scope S           page | domain | all | file: the four scope buttons\n"
           "                      (default: page)\n"
           "  --types LIST        comma list of web,movies,music,pictures: ticks those\n"
           "                      type-group boxes; the crawl then applies the composed\n"
           "                      download types and DFT as \"Go Fetch\" does; without it\n"
           "                      FILE_TYPES and DFT stay as the settings have them\n"
           "  --set KEY=VALUE     a settings key for this run only, applied after the\n"
           "                      settings file (repeatable; for a key given twice the\n"
           "                      last one counts). Unknown keys and values out of range\n"
           "                      are refused: switches take 0 or 1, NUM_URL_THREADS and\n"
           "                      NUM_DOWNLOAD_THREADS 1 to 32, texts one line\n"
           "\n"
           "State:\n"
           "  --load              load the state file first (as ALWAYS_LOAD) and resume\n"
           "                      its queues; the URL may then be left out\n"
           "  --save-on-exit      save the state file when the program ends (as\n"
           "                      ALWAYS_SAVE); Ctrl-C then ends after the current items\n"
           "                      and keeps the queues, so that --load resumes the crawl\n"
           "\n"
           "Questions and output:\n"
           "  --yes, --no         the answer to every question (default: ask on a\n"
           "                      terminal, otherwise No)\n"
           "  -q, --quiet         print only errors and the final summary\n"
           "\n"
           "The URL may be at most 1023 bytes long; a port in it must be 1 to 65535.\n"
           "Ctrl-C or SIGTERM stops the crawl (\"Stopped.\"); a second one exits at once.\n"
           "\n"
           "Exit status:\n"
           "  0  the crawl finished and nothing the user asked for failed\n"
           "  1  the crawl was stopped (Ctrl-C, SIGTERM) or could not start\n"
           "  2  bad usage\n"
           "  3  the crawl finished with failures (the summary says which)\n"
           "\n"
           "find-duplicates lists the files under DIR that hold the same bytes;\n"
           "'webgrubbler-cli find-duplicates --help' tells more.\n";
}

namespace {

bool ParseScope(const std::string& text, CrawlScope& scope) {
    if (text == "page") {
        scope = CrawlScope::OnlyThisPage;
    } else if (text == "domain") {
        scope = CrawlScope::WithinDomain;
    } else if (text == "all") {
        scope = CrawlScope::AllLinked;
    } else if (text == "file") {
        scope = CrawlScope::FileUrl;
    } else {
        return false;
    }
    return true;
}

bool ParseTypes(const std::string& text, std::vector<std::string>& types) {
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        if (item != "web" && item != "movies" && item != "music" && item != "pictures") {
            return false;
        }
        types.push_back(item);
    }
    return true;
}

// An address names its scheme when letters and "://" open it, as the start
// of a crawl sees it; otherwise "http://" is put in front.
std::size_t SchemeLength(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        address.substr(colon).rfind("://", 0) != 0) {
        return 0;
    }
    const bool letters = std::all_of(address.begin(), address.begin() + colon, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    return letters ? colon + 3 : 0;
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const int value = std::stoi(std::string(port));
    return value >= 1 && value <= 65535;
}

// Adds a --set value; an earlier value of the same key gives way.
void AddSetting(std::vector<std::string>& sets, const std::string& keyValue) {
    const std::string prefix = keyValue.substr(0, keyValue.find('=') + 1);
    std::erase_if(sets, [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    sets.push_back(keyValue);
}

}  // namespace

std::string AddressProblem(std::string_view address) {
    address = TrimBlanks(address);
    if (address.empty()) {
        return "the URL is empty";
    }
    if (address.size() > kMaxAddressBytes) {
        return "the URL is " + std::to_string(address.size()) + " bytes long; at most " +
               std::to_string(kMaxAddressBytes) + " are allowed";
    }
    std::string_view authority = address.substr(SchemeLength(address));
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::optional<std::string_view> port;
    // A bracketed address holds colons of its own; the port follows the ']'.
    const std::size_t hostEnd = authority.starts_with('[') ? authority.find(']') : 0;
    const std::size_t colon =
        hostEnd == std::string_view::npos ? hostEnd : authority.find(':', hostEnd);
    if (colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty()) {
        return "no host name in the URL '" + std::string(address) + "'";
    }
    if (port && !ValidPort(*port)) {
        return "invalid port '" + std::string(*port) + "' in the URL (a port is 1 to 65535)";
    }
    return {};
}

CliParse ParseCliOptions(const std::vector<std::string>& args) {
    CliParse result;
    CliOptions& o = result.options;
    bool answerGiven = false;
    bool urlGiven = false;
    // The value of "--name VALUE" or "--name=VALUE"; false when missing.
    auto valueOf = [&](std::size_t& i, const std::string& name, std::string& value) {
        const std::string& arg = args[i];
        if (arg == name) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return false;
            }
            value = args[++i];
            return true;
        }
        value = arg.substr(name.size() + 1);
        return !value.empty();
    };
    auto named = [](const std::string& arg, const std::string& name) {
        return arg == name || arg.rfind(name + "=", 0) == 0;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--help" || arg == "-h") {
            o.showHelp = true;
        } else if (arg == "--version") {
            o.showVersion = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--load") {
            o.loadState = true;
        } else if (arg == "--save-on-exit") {
            o.saveOnExit = true;
        } else if (arg == "--yes" || arg == "--no") {
            const DefaultAnswer a = arg == "--yes" ? DefaultAnswer::Yes : DefaultAnswer::No;
            if (answerGiven && o.answer != a) {
                result.error = "--yes and --no cannot be used together";
                return result;
            }
            o.answer = a;
            answerGiven = true;
        } else if (named(arg, "--home")) {
            if (!valueOf(i, "--home", o.home)) {
                result.error = "--home needs a directory";
                return result;
            }
        } else if (named(arg, "--scope")) {
            if (!valueOf(i, "--scope", value) || !ParseScope(value, o.scope)) {
                result.error = "--scope needs one of page, domain, all, file";
                return result;
            }
        } else if (named(arg, "--types")) {
            std::vector<std::string> types;
            if (!valueOf(i, "--types", value) || !ParseTypes(value, types)) {
                result.error = "--types needs a comma list of web, movies, music, pictures";
                return result;
            }
            o.types = std::move(types);
        } else if (named(arg, "--set")) {
            if (!valueOf(i, "--set", value)) {
                result.error = "--set needs KEY=VALUE";
                return result;
            }
            if (std::string problem; !CheckSettingOverride(value, &problem)) {
                result.error = "--set: " + problem;
                return result;
            }
            AddSetting(o.sets, value);
        } else if (arg == "--") {
            if (i + 1 < args.size()) {
                if (urlGiven || i + 2 < args.size()) {
                    result.error = "only one URL may be given";
                    return result;
                }
                o.url = args[i + 1];
                urlGiven = true;
            }
            break;
        } else if (!arg.empty() && arg[0] == '-') {
            result.error = "unknown option '" + arg + "'";
            return result;
        } else {
            if (urlGiven) {
                result.error = "only one URL may be given";
                return result;
            }
            o.url = arg;
            urlGiven = true;
        }
    }
    if (o.showHelp || o.showVersion) {
        return result;
    }
    if (!urlGiven) {
        if (!o.loadState) {
            result.error = "missing URL (give the address to crawl, or --load to resume)";
        }
        return result;
    }
    result.error = AddressProblem(o.url);
    return result;
}

}  // namespace wg
