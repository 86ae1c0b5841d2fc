#include "util/url_error_log.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "util/error_texts.h"
#include "util/log_file.h"
#include "util/text.h"

namespace wg {

namespace {

// Script fragments that never occur in a real address.
constexpr const char* kScriptMarkers[] = {"document.", "window.", "this.", "self.",
                                          "</script",  "{ //",    "/* ",   "if("};

std::string JoinFileName(std::string_view directory, const char* name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path + name;
}

}  // namespace

std::string UrlErrorLogDirectory(std::string_view stateFilePath) {
    const std::size_t slash = stateFilePath.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    // A state file in the root directory keeps its "/".
    return std::string(stateFilePath.substr(0, slash == 0 ? 1 : slash));
}

std::string UrlErrorLogPath(std::string_view stateFilePath) {
    return JoinFileName(UrlErrorLogDirectory(stateFilePath), kUrlErrorLogName);
}

int UrlErrorLog::Open(std::string_view directory) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.reset();
    int error = 0;
    file_ = platform::OpenFile(JoinFileName(directory, kUrlErrorLogName), "a", &error);
    return file_ ? 0 : error;
}

void UrlErrorLog::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.reset();
}

bool UrlErrorLog::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

bool UrlErrorLog::WriteEntry(int code, std::string_view url) {
    const std::string_view cut = url.substr(0, std::min(url.size(), kUrlErrorUrlLimit));
    char number[24];
    const int digits = std::snprintf(number, sizeof number, "%d", code);
    std::string entry = TimestampText(platform::CalendarSeconds());
    entry += ":  ";
    entry.append(number, static_cast<std::size_t>(digits));
    entry += "  ";
    entry += cut;
    entry += '\n';

    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) {
        return false;
    }
    (void)std::fwrite(entry.data(), 1, entry.size(), file_.get());
    (void)std::fflush(file_.get());
    return true;
}

bool LooksLikeScriptText(std::string_view url) {
    for (const char* marker : kScriptMarkers) {
        if (FindNoCase(url, marker, true) != kNotFound) {
            return true;
        }
    }
    return false;
}

void RecordUrlError(int code, std::string_view url, const UrlErrorSwitches& switches,
                    UrlErrorLog& log, const StatusFunction& showStatus) {
    if (!(switches.verbose || switches.logUrlErrors || switches.logDebug)) {
        return;
    }
    if (LooksLikeScriptText(url)) {
        return;
    }
    if (switches.logUrlErrors) {
        (void)log.WriteEntry(code, url);
    }
    const std::string urlText(url);
    if (switches.logDebug) {
        DebugLog("Failed To download(%d): %s", code, urlText.c_str());
    }
    if (switches.verbose && !url.empty() && code != 404 && showStatus) {
        showStatus(std::to_string(code) + " Error: " + urlText);
    }
}

void ValidUrlLog::SetDirectory(std::string_view directory) {
    std::lock_guard<std::mutex> lock(mutex_);
    directory_.assign(directory);
}

std::string ValidUrlLog::PathLocked() const {
    return JoinFileName(directory_, kValidUrlLogName);
}

std::string ValidUrlLog::Path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return PathLocked();
}

bool ValidUrlLog::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

void ValidUrlLog::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.reset();
}

bool ValidUrlLog::Write(std::string_view url, std::size_t length,
                        const StatusFunction& onOpenError) {
    if (length == 0 || length > url.size()) {
        length = url.size();
    }
    std::string entry(url.substr(0, length));
    entry += '\n';

    int error = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_) {
            file_ = platform::OpenFile(PathLocked(), "a", &error);
        }
        if (file_) {
            (void)std::fwrite(entry.data(), 1, entry.size(), file_.get());
            (void)std::fflush(file_.get());
            return true;
        }
    }
    // Reported outside the lock: the callback may block on the user.
    if (onOpenError) {
        onOpenError(SystemErrorMessage(error, "Opening ValidURLs.log"));
    }
    return false;
}

bool LogValidUrl(ValidUrlLog& log, std::string_view url, std::size_t length,
                 const StatusFunction& onOpenError) {
    return log.Write(url, length, onOpenError);
}

}  // namespace wg
