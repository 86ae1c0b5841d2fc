// webgrubbler-cli: the console front end over the engine.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/crawl_control.h"
#include "app/crawl_state_file.h"
#include "app/option_files.h"
#include "cli/cli_options.h"
#include "cli/console_port.h"
#include "cli/find_duplicates.h"
#include "platform/clock.h"
#include "platform/interrupt.h"
#include "util/timing.h"

int main(int argc, char** argv) {
    using namespace wg;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "find-duplicates") {
        return RunFindDuplicates(std::vector<std::string>(args.begin() + 1, args.end()));
    }
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
    platform::InstallInterruptHandler();
    ConsolePort port(options.answer, options.quiet);
    App app(port);
    port.SetInterruptHandlers([&app] { app.Control().RequestExit(); },
                              [&app] { app.Control().ExitNow(); });

    InitOptions init;
    init.programDir = options.home;
    if (!app.Initialise(init)) {
        return 1;
    }
    if (port.Interrupted()) {
        app.Shutdown();  // Ctrl-C or SIGTERM while starting up
        port.ReportStopped();
        return 1;
    }

    // A crawl, as "Go Fetch" starts it: Ctrl-C stops it, a second one exits.
    app.Options().ApplySettingOverrides(options.sets);
    if (options.types) {
        app.Options().TickTypeGroups(*options.types);
    }
    if (options.saveOnExit) {
        app.Settings().alwaysSave.store(true);
    }
    // Tests shorten the periodic save (SAVE_EVERY_5) to see saves happen.
    if (const char* every = std::getenv("WEBGRUBBLER_SAVE_INTERVAL_MS"); every != nullptr) {
        Timing t = app.Timings();
        t.periodicSaveMs = std::max(1, std::atoi(every));
        app.SetTimings(t);
    }
    port.SetScope(options.scope);
    std::atomic<bool> interrupted{false};
    if (options.saveOnExit) {
        // The queues are kept for the save: the workers end their items and
        // the program exits, as "Save and Exit" does.
        port.SetInterruptHandlers(
            [&app, &interrupted] {
                interrupted = true;
                app.Control().SetExitAfterThisDownload(true);
            },
            [&app] { app.Control().ExitNow(); });
    } else {
        port.SetInterruptHandlers(
            [&app, &interrupted] {
                interrupted = true;
                app.Control().StopAll();
                // The workers leave at once: a transfer under way is
                // abandoned, and the stop ends even when no item is in hand.
                app.Control().RequestExit();
            },
            [&app] { app.Control().ExitNow(); });
    }
    std::atomic<bool> stopped{false};
    port.SetCrawlEndHandler([&app, &stopped](bool wasStopped) {
        stopped = wasStopped;
        app.Control().RequestExit();
    });
    app.UseNetworkWorkers();
    if (options.loadState && !app.State().StateLoaded()) {
        app.StateFile().Load(false);
        if (!app.State().StateLoaded()) {
            app.Shutdown();
            return 1;  // the reason is on the status line
        }
    }
    if (!options.url.empty()) {
        CrawlRequest request;
        request.address = options.url;
        request.scope = options.scope;
        request.webPagesChecked = (app.Settings().dft.load() & kGroupWebPages) != 0;
        if (!app.StartCrawl(request)) {
            app.Shutdown();
            return 1;
        }
    } else if (!app.Snapshot().HasQueuedWork()) {
        port.ShowStatus("Nothing to resume: the state file holds no queued work.");
        app.Shutdown();
        return 0;
    } else {
        app.Tally().Reset(platform::SteadyMilliseconds());
    }
    // The live line is drawn under the port's lock, perhaps by a worker that
    // holds a queue's lock: it reads the tally alone, not a whole snapshot.
    port.SetProgressSource([&app] {
        const CrawlCounts c = app.Tally().Read(platform::SteadyMilliseconds());
        const std::uint64_t rate = c.elapsedMs == 0 ? 0 : c.bytesSaved * 1000 / c.elapsedMs;
        return FormatByteCount(c.bytesSaved) + "  " + FormatByteCount(rate) + "/s";
    });
    app.Run();
    if (interrupted.load()) {
        port.ReportStopped();
    }
    port.EndLiveLine();
    const CrawlCounts counts = app.Snapshot().tally;
    app.Shutdown();
    port.PrintSummary(FormatCrawlSummary(counts));
    // Queues that were to be kept and could not be are lost work: 3 whatever
    // ended the crawl. Stopped by the user: 1; otherwise what failed decides.
    if (options.saveOnExit && app.Snapshot().stateSaveFailed) {
        port.PrintSummary("The state file could not be saved: the queues are lost.");
        return 3;
    }
    if (interrupted.load()) {
        return 1;
    }
    if (counts.FailedAgainstTheUser() > 0) {
        return 3;
    }
    return stopped.load() ? 1 : 0;
}
