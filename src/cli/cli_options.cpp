#include "cli/cli_options.h"

#include <sstream>

namespace wg {

std::string CliUsage() {
    return "Usage: webgrubbler-cli [options] URL\n"
           "       webgrubbler-cli [options] --load [URL]\n"
           "       webgrubbler-cli find-duplicates [--no-recursive] [--delete] [--log] DIR\n"
           "\n"
           "Web Grubbler's console front end: crawls from URL as \"Go Fetch\" does in the\n"
           "main window. Without a URL it starts, shows its start-up status and waits\n"
           "until Ctrl-C.\n"
           "\n"
           "Options:\n"
           "  --home DIR        program directory: settings, state, logs (default: the\n"
           "                    working directory); downloads go to DIR/Downloads\n"
           "  --scope S         page | domain | all | file: the four scope buttons\n"
           "                    (default: page)\n"
           "  --types LIST      comma list of web,movies,music,pictures: ticks those\n"
           "                    type-group boxes; the crawl then applies the composed\n"
           "                    download types and DFT as \"Go Fetch\" does; without it\n"
           "                    FILE_TYPES and DFT stay as the settings have them\n"
           "  --set KEY=VALUE   any settings key, applied after the settings file, for\n"
           "                    this run only (repeatable)\n"
           "  --yes | --no      the answer to every question (default: ask on a terminal,\n"
           "                    otherwise No)\n"
           "  --load            load the state file first (as ALWAYS_LOAD) and resume its\n"
           "                    queues; the URL may then be left out\n"
           "  --save-on-exit    save the state file when the program ends (as ALWAYS_SAVE);\n"
           "                    Ctrl-C then ends after the current items and keeps the\n"
           "                    queues, so that --load resumes the crawl\n"
           "  -q, --quiet       only errors and the final status line\n"
           "  --version         print the version and exit\n"
           "  --help            print this text and exit\n"
           "\n"
           "Ctrl-C stops the crawl; a second Ctrl-C exits at once.\n"
           "Exit status: 0 the crawl finished, 1 it was stopped or could not start,\n"
           "2 bad usage.\n"
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

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args) {
    CliParse result;
    CliOptions& o = result.options;
    bool answerGiven = false;
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
            if (!valueOf(i, "--set", value) || value.find('=') == std::string::npos ||
                value.front() == '=' || value.find('\n') != std::string::npos) {
                result.error = "--set needs KEY=VALUE";
                return result;
            }
            o.sets.push_back(value);
        } else if (arg == "--") {
            if (i + 1 < args.size()) {
                if (!o.url.empty() || i + 2 < args.size()) {
                    result.error = "only one URL may be given";
                    return result;
                }
                o.url = args[i + 1];
            }
            break;
        } else if (!arg.empty() && arg[0] == '-') {
            result.error = "unknown option '" + arg + "'";
            return result;
        } else {
            if (!o.url.empty()) {
                result.error = "only one URL may be given";
                return result;
            }
            o.url = arg;
        }
    }
    return result;
}

}  // namespace wg
