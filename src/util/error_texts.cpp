#include "util/error_texts.h"

#include <mutex>

#include "platform/error_text.h"
#include "util/log_file.h"

namespace wg {

namespace {

struct LastFileError {
    std::mutex mutex;
    std::string text;
};

LastFileError& LastFileErrorStore() {
    static LastFileError store;
    return store;
}

}  // namespace

std::string FileErrorText(int systemError) {
    std::string text = platform::ShortFileErrorText(systemError);
    LastFileError& last = LastFileErrorStore();
    std::lock_guard<std::mutex> lock(last.mutex);
    last.text = text;
    return text;
}

std::string LastFileErrorText() {
    LastFileError& last = LastFileErrorStore();
    std::lock_guard<std::mutex> lock(last.mutex);
    return last.text;
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
