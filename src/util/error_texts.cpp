#include "util/error_texts.h"

#include "platform/error_text.h"
#include "util/log_file.h"

namespace wg {

std::string FileErrorText(int systemError) {
    return platform::ShortFileErrorText(systemError);
}

std::string SystemErrorMessage(int error, const char* context) {
    std::string message = platform::ErrorText(error);
    if (message.empty()) {
        message = "Unknown error";
    }
    if (context != nullptr && *context != '\0') {
        message += " - ";
        message += context;
    }
    return message;
}

void LogWindowsError(const char* context) {
    const int error = platform::LastError();
    LogWindowsError(error, context);
}

void LogWindowsError(int error, const char* context) {
    ErrorLogFile().Write(SystemErrorMessage(error, context));
}

void ShowWindowsError(const char* context, const ErrorBoxFunction& showBox) {
    const int error = platform::LastError();
    ShowWindowsError(error, context, showBox);
}

void ShowWindowsError(int error, const char* context, const ErrorBoxFunction& showBox) {
    if (showBox) {
        showBox(SystemErrorMessage(error, context), kSystemErrorCaption);
    }
}

}  // namespace wg
