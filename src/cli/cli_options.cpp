#include "cli/cli_options.h"

namespace wg {

std::string CliUsage() {
    return "Usage: webgrubbler-cli [options] [URL]\n"
           "\n"
           "Web Grubbler's console front end. Without a URL it starts, shows its start-up\n"
           "status and waits until Ctrl-C.\n"
           "\n"
           "Options:\n"
           "  --home DIR   program directory: settings, state, logs (default: the working\n"
           "               directory); downloads go to DIR/Downloads\n"
           "  --yes | --no the answer to every question (default: ask on a terminal,\n"
           "               otherwise No)\n"
           "  -q, --quiet  only errors and the final status line\n"
           "  --version    print the version and exit\n"
           "  --help       print this text and exit\n"
           "\n"
           "Ctrl-C asks the program to exit after the current items; a second Ctrl-C exits\n"
           "at once. Exit status: 0 done, 1 stopped or could not start, 2 bad usage.\n";
}

CliParse ParseCliOptions(const std::vector<std::string>& args) {
    CliParse result;
    CliOptions& o = result.options;
    bool answerGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.showHelp = true;
        } else if (arg == "--version") {
            o.showVersion = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--yes" || arg == "--no") {
            const DefaultAnswer a = arg == "--yes" ? DefaultAnswer::Yes : DefaultAnswer::No;
            if (answerGiven && a != o.answer) {
                result.error = "--yes and --no cannot be used together";
                return result;
            }
            answerGiven = true;
            o.answer = a;
        } else if (arg == "--home" || arg.rfind("--home=", 0) == 0) {
            if (arg == "--home") {
                if (i + 1 >= args.size() || args[i + 1].empty()) {
                    result.error = "--home needs a directory";
                    return result;
                }
                o.home = args[++i];
            } else {
                o.home = arg.substr(7);
                if (o.home.empty()) {
                    result.error = "--home needs a directory";
                    return result;
                }
            }
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
