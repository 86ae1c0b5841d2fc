// webgrubbler: the desktop program. Qt's event loop drives the engine's main
// loop: a 50 ms timer runs one round of it (the picture preview, the window's
// pending work, the periodic save) and, once an exit has been asked for,
// leaves it and shuts the engine down.
#include <QApplication>
#include <QIcon>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "platform/interrupt.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "util/timing.h"

namespace {

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

int main(int argc, char** argv) {
    using namespace wg;
    // Help and version need no display.
    const Arguments early = Parse(argc, argv);
    if (early.error.empty() && (early.help || early.version)) {
        if (early.help) {
            std::printf(
                "Usage: webgrubbler [--home DIR]\n\n"
                "Web Grubbler's desktop program. DIR is the program directory (settings, state,\n"
                "logs; downloads go to DIR/Downloads); default: the working directory.\n");
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

    QtPort port;
    int status = 0;
    {
        App app(port);
        InitOptions init;
        init.programDir = args.home;
        if (!app.Initialise(init)) {
            return 1;
        }
        MainWindow window(app, port);
        if (!window.Create()) {
            return 1;
        }
        port.SetView(&window);
        window.ViewStatus(port.StatusText());
        app.UseNetworkWorkers();
        window.show();
        app.StartWorkers();

        QTimer loop;
        loop.setInterval(CurrentTiming().mainLoopMs);
        QObject::connect(&loop, &QTimer::timeout, [&] {
            if (!app.m_bExitRequested.load()) {
                app.MainLoopStep();
                window.ProcessMessages();
            }
            if (app.m_bExitRequested.load()) {
                loop.stop();
                app.LeaveMainLoop();
                port.SetClosing();
                QApplication::quit();
            }
        });
        loop.start();
        status = QApplication::exec();
        port.SetClosing();
        app.Shutdown();
        port.SetView(nullptr);
    }
    return status;
}
