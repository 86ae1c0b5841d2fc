// webgrubbler: the desktop program. Qt's event loop drives the engine's main
// loop: a 50 ms timer runs one round of it (the picture preview, the window's
// pending work, the periodic save) and, once an exit has been asked for,
// leaves it, writes the settings, ends Qt's loop and shuts the engine down.
// SIGTERM and SIGINT (log-out, Ctrl-C in the terminal) take the Exit path.
// The first argument "1" or "2" names a stage of an update's hand-over
// (src/app/update_stages.h); a run that fetched an update starts the first
// stage as it ends.
#include <QApplication>
#include <QIcon>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/option_files.h"
#include "app/update_check.h"
#include "app/update_stages.h"
#include "platform/clock.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "platform/xdg_dirs.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/ui_snapshot.h"
#include "ui/wizard_window.h"
#include "util/timing.h"

namespace {

// The old program has this long to end before its files are swapped.
constexpr int kStageSettleMs = 1000;
// The hand-over's new process gets this long before this one ends.
constexpr int kHandOverPauseMs = 100;

struct Arguments {
    std::string home;
    bool help = false;
    bool version = false;
    std::string error;
};

Arguments Parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--home" && i + 1 < argc) {
            a.home = argv[++i];
        } else if (arg.starts_with("--home=")) {
            a.home = arg.substr(7);
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--version") {
            a.version = true;
        } else if (arg == "--home") {
            a.error = "--home needs a directory";
        } else if (arg.starts_with("-") && arg.size() > 1) {
            // Qt's own options (-platform, -style, ...) were taken out already.
            a.error = "unknown option '" + arg + "'";
        } else {
            a.error = "unexpected argument '" + arg + "'";
        }
    }
    return a;
}

}  // namespace

int main(int argcIn, char** argvIn) {
    using namespace wg;
    // The update stages come first: stage "1" swaps the program files and
    // ends; stage "2" removes the new program's waiting copy and goes on.
    const UpdateStage stage = UpdateStageOf(argcIn, argvIn);
    const std::vector<std::string> passOn = ArgumentsAfterStage(argcIn, argvIn);
    if (stage == UpdateStage::Replace) {
        (void)ReplaceProgram(ProgramFilesOf(platform::RunningProgramPath(), true), passOn,
                             kStageSettleMs);
        return 0;
    }
    if (stage == UpdateStage::Tidy) {
        (void)RemoveStagedProgram(ProgramFilesOf(platform::RunningProgramPath()));
    }
    // The rest of the program sees the arguments without the stage.
    std::vector<char*> argvKept{argvIn[0]};
    for (int i = stage == UpdateStage::None ? 1 : 2; i < argcIn; ++i) {
        argvKept.push_back(argvIn[i]);
    }
    argvKept.push_back(nullptr);
    int argc = static_cast<int>(argvKept.size()) - 1;
    char** argv = argvKept.data();
    // Help and version need no display.
    const Arguments early = Parse(argc, argv);
    if (early.error.empty() && (early.help || early.version)) {
        if (early.help) {
            std::printf(
                "Usage: webgrubbler [--home DIR]\n\n"
                "Web Grubbler's desktop program. DIR is the program directory (settings, state,\n"
                "logs; downloads go to DIR/Downloads). Without --home the program keeps its\n"
                "files in $XDG_DATA_HOME/webgrubbler (~/.local/share/webgrubbler) and downloads\n"
                "into the desktop's download folder, below \"webgrubbler\".\n");
        } else {
            std::printf("webgrubbler %s\n", WG_VERSION_TEXT);
        }
        return 0;
    }
    QApplication qapp(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app-icon.png")));
    QApplication::setApplicationName(QStringLiteral("webgrubbler"));
    QApplication::setDesktopFileName(QStringLiteral("webgrubbler"));
    // The engine decides when the program ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    const Arguments args = Parse(argc, argv);
    if (!args.error.empty()) {
        std::fprintf(stderr, "webgrubbler: %s\nUsage: webgrubbler [--home DIR]\n",
                     args.error.c_str());
        return 2;
    }
    platform::IgnoreBrokenPipe();
    platform::IgnoreFileSizeLimitSignal();
    platform::InstallInterruptHandler();

    QtPort port;
    int status = 0;
    bool updatePending = false;
    {
        App app(port);
        InitOptions init;
        init.programDir = args.home;
        if (init.programDir.empty()) {
            // Started from a menu the working directory is "/" or the home
            // folder: the desktop's own places are used instead.
            init.programDir = platform::DataHomeDirectory() / "webgrubbler";
            init.downloadDir = platform::DownloadDirectory() / "webgrubbler";
        }
        std::unique_ptr<UiSnapshotWriter> snapshot;
        if (const QByteArray path = qgetenv("WEBGRUBBLER_UI_SNAPSHOT"); !path.isEmpty()) {
            snapshot = std::make_unique<UiSnapshotWriter>(QString::fromLocal8Bit(path));
        }
        port.SetWizardRunner([&app, &port, &snapshot] {
            // The wizard at start-up is described too, before any main window.
            QTimer describe;
            if (snapshot) {
                QObject::connect(&describe, &QTimer::timeout,
                                 [&snapshot] { snapshot->Update(nullptr); });
                describe.start(app.Timings().mainLoopMs);
            }
            return RunStartupWizard(app, port);
        });
        if (!app.Initialise(init)) {
            return 1;
        }
        if (app.State().WorkersStopping()) {
            // The user left from the wizard: no main window, no worker.
            app.LeaveMainLoop();
            port.SetClosing();
            app.Shutdown();
            return 0;
        }
        MainWindow window(app, port);
        if (!window.Create()) {
            return 1;
        }
        port.SetView(&window);
        window.ViewStatus(port.StatusText());
        app.UseNetworkWorkers();
        window.show();
        // "Look For Updates At Start Up": a fetched update ends the run here.
        if (app.Settings().autoUpdates.load()) {
            CheckForUpdate(app, DefaultUpdateSetup(app));
        }
        app.StartWorkers();

        int interruptsSeen = 0;
        bool leaving = false;
        QTimer loop;
        loop.setInterval(app.Timings().mainLoopMs);
        QObject::connect(&loop, &QTimer::timeout, [&] {
            if (leaving) {
                return;  // a nested event loop while the engine leaves
            }
            if (!app.State().ExitRequested()) {
                // Each termination request counts as one press of Exit.
                const int interrupts = platform::InterruptCount();
                if (interrupts > interruptsSeen) {
                    interruptsSeen = interrupts;
                    window.ExitOnRequest();
                }
            }
            if (!app.State().ExitRequested()) {
                app.MainLoopStep();
                window.ProcessMessages();
                if (snapshot) {
                    snapshot->Update(&window, app.State().WorkersStopping());
                }
            }
            if (app.State().ExitRequested()) {
                if (snapshot) {
                    snapshot->Update(&window, true);
                }
                leaving = true;
                loop.stop();
                app.LeaveMainLoop();
                app.Options().SaveSettingsAtExit();
                port.SetClosing();
                // exit() ends every event loop without asking the windows to
                // close (quit() would be refused by the main window, which
                // turns a close into the Exit command).
                window.AllowClose();
                QApplication::exit(0);
            }
        });
        loop.start();
        status = QApplication::exec();
        port.SetClosing();
        app.Shutdown();
        port.SetView(nullptr);
        updatePending = app.State().UpdatePending();
    }
    if (updatePending &&
        HandOverUpdate(ProgramFilesOf(platform::RunningProgramPath()), passOn) == 0) {
        platform::SleepMs(kHandOverPauseMs);
    }
    return status;
}
