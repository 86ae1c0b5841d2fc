// webgrubbler-cli: the console front end over the engine.
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "cli/cli_options.h"
#include "cli/console_port.h"
#include "platform/interrupt.h"

int main(int argc, char** argv) {
    using namespace wg;
    std::vector<std::string> args(argv + 1, argv + argc);
    const CliParse parsed = ParseCliOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "webgrubbler-cli: %s\nTry 'webgrubbler-cli --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    const CliOptions& options = parsed.options;
    if (options.showHelp) {
        std::fputs(CliUsage().c_str(), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("webgrubbler-cli %s\n", WG_VERSION_TEXT);
        return 0;
    }
    if (!options.url.empty()) {
        std::fprintf(stderr, "webgrubbler-cli: this build cannot start a crawl yet\n");
        return 1;
    }

    platform::InstallInterruptHandler();
    ConsolePort port(options.answer, options.quiet);
    App app(port);
    port.SetInterruptHandlers([&app] { app.RequestExit(); }, [&app] { app.ExitNow(); });

    InitOptions init;
    init.programDir = options.home;
    if (!app.Initialise(init)) {
        return 1;
    }
    app.Run();
    app.Shutdown();
    return 0;
}
