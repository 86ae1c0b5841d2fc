// The App's side of the logs: the switches come from its options, messages go
// through its port.
#include "app/app.h"
#include "util/error_texts.h"

namespace wg {

void App::RecordUrlError(int code, std::string_view url) {
    UrlErrorSwitches switches;
    switches.verbose = settings.verbose.load();
    switches.logUrlErrors = settings.logUrlErrors.load();
    switches.logDebug = settings.logDebug.load();
    wg::RecordUrlError(code, url, switches, urlErrorLog,
                       [this](const std::string& text) { ShowStatus(text); });
}

void App::SetUrlErrorLogging(bool on) {
    settings.logUrlErrors.store(on);
    if (on) {
        (void)urlErrorLog.Open(UrlErrorLogDirectory(paths.stateFile.string()));
    } else {
        urlErrorLog.Close();
    }
}

std::string App::UrlErrorLogPath() const {
    return wg::UrlErrorLogPath(paths.stateFile.string());
}

void App::LogValidUrl(std::string_view url, std::size_t length) {
    (void)wg::LogValidUrl(validUrlLog, url, length, [this](const std::string& message) {
        port_.Tell(message, kSystemErrorCaption, Icon::Error);
    });
}

void App::ShowWindowsError(const char* context) {
    wg::ShowWindowsError(context, [this](const std::string& text, const std::string& caption) {
        port_.Tell(text, caption, Icon::Error);
    });
}

}  // namespace wg
