// The App's side of the logs: the switches come from its options, messages go
// through its port.
#include "app/app.h"
#include "util/error_texts.h"

namespace wg {

void App::RecordUrlError(int code, std::string_view url) {
    UrlErrorSwitches switches;
    switches.verbose = settings_.verbose.load();
    switches.logUrlErrors = settings_.logUrlErrors.load();
    switches.logDebug = settings_.logDebug.load();
    wg::RecordUrlError(code, url, switches, urlErrorLog_,
                       [this](const std::string& text) { ShowStatus(text); });
}

void App::SetUrlErrorLogging(bool on) {
    settings_.logUrlErrors.store(on);
    if (on) {
        (void)urlErrorLog_.Open(UrlErrorLogDirectory(paths_.stateFile.string()));
    } else {
        urlErrorLog_.Close();
    }
}

std::string App::UrlErrorLogPath() const {
    return wg::UrlErrorLogPath(paths_.stateFile.string());
}

void App::LogValidUrl(std::string_view url, std::size_t length) {
    (void)wg::LogValidUrl(validUrlLog_, url, length, [this](const std::string& message) {
        port_.Tell(message, kSystemErrorCaption, Icon::Error);
    });
}

void App::ShowWindowsError(const char* context) {
    wg::ShowWindowsError(context, [this](const std::string& text, const std::string& caption) {
        port_.Tell(text, caption, Icon::Error);
    });
}

}  // namespace wg
