// The App's side of the logs: the switches come from its options, messages go
// through its port.
#include "app/app_parts.h"
#include "util/error_texts.h"

namespace wg {

void App::RecordUrlError(int code, std::string_view url) {
    UrlErrorSwitches switches;
    switches.verbose = parts_->settings.verbose.load();
    switches.logUrlErrors = parts_->settings.logUrlErrors.load();
    switches.logDebug = parts_->settings.logDebug.load();
    wg::RecordUrlError(code, url, switches, parts_->urlErrorLog,
                       [this](const std::string& text) { ShowStatus(text); });
}

std::string App::UrlErrorLogPath() const {
    return wg::UrlErrorLogPath(parts_->paths.stateFile.string());
}

void App::LogValidUrl(std::string_view url, std::size_t length) {
    (void)wg::LogValidUrl(parts_->validUrlLog, url, length, [this](const std::string& message) {
        parts_->port.Tell(message, kSystemErrorCaption, Icon::Error);
    });
}

void App::ShowWindowsError(const char* context) {
    wg::ShowWindowsError(context, [this](const std::string& text, const std::string& caption) {
        parts_->port.Tell(text, caption, Icon::Error);
    });
}

}  // namespace wg
