// The URL error log "URLerrors.txt" beside the state file, the routing of a
// failed URL to that log, the debug log and the status line, and the log of
// successfully downloaded URLs "ValidURLs.log" in the program directory.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace wg {

inline constexpr const char* kUrlErrorLogName = "URLerrors.txt";
inline constexpr const char* kValidUrlLogName = "ValidURLs.log";

// Longest URL text written in one URL error log entry.
inline constexpr std::size_t kUrlErrorUrlLimit = 1016;

// The directory of a state file: its path up to its last '/' (empty when it has none).
std::string UrlErrorLogDirectory(std::string_view stateFilePath);

// "<state file directory>/URLerrors.txt".
std::string UrlErrorLogPath(std::string_view stateFilePath);

// The open URL error log. Opened when URL error logging is switched on and
// closed when it is switched off; the file stays where it was opened.
class UrlErrorLog {
public:
    UrlErrorLog() = default;
    UrlErrorLog(const UrlErrorLog&) = delete;
    UrlErrorLog& operator=(const UrlErrorLog&) = delete;

    // Opens "<directory>/URLerrors.txt" for appending (closing a file already
    // open). Returns 0 or the system error.
    int Open(std::string_view directory);
    void Close();
    bool IsOpen() const;

    // Appends "<timestamp>:  <code>  <url>\n" with the URL cut to
    // kUrlErrorUrlLimit characters, as one entry. False when the log is closed.
    bool WriteEntry(int code, std::string_view url);

private:
    mutable std::mutex mutex_;
    platform::FilePtr file_;
};

// The options that decide where a failed URL is reported.
struct UrlErrorSwitches {
    bool verbose = false;       // VERBOSE: status line
    bool logUrlErrors = false;  // LOG_URL_ERRORS: URL error log
    bool logDebug = false;      // LOGDEBUG: debug log
};

// True when `url` holds script text that the link scanner took for a link.
bool LooksLikeScriptText(std::string_view url);

using StatusFunction = std::function<void(const std::string&)>;

// Reports a URL that could not be fetched: to the URL error log (when logging
// is on and the log is open), to the debug log ("Failed To download(%d): %s")
// and on the status line ("%d Error: %s", never for 404). Script text
// mistaken for a URL is not reported anywhere.
void RecordUrlError(int code, std::string_view url, const UrlErrorSwitches& switches,
                    UrlErrorLog& log, const StatusFunction& showStatus);

// The log of downloaded URLs, "<program directory>/ValidURLs.log", opened for
// appending at its first entry and kept open. One URL per line.
class ValidUrlLog {
public:
    explicit ValidUrlLog(std::string_view directory = {}) : directory_(directory) {}
    ValidUrlLog(const ValidUrlLog&) = delete;
    ValidUrlLog& operator=(const ValidUrlLog&) = delete;

    // Sets the program directory; takes effect when the file is next opened.
    void SetDirectory(std::string_view directory);
    std::string Path() const;
    bool IsOpen() const;
    void Close();

    // Appends the first `length` characters of `url` (all of it for 0) and a
    // line end. When the file cannot be opened, `onOpenError` gets the system
    // error message for "Opening ValidURLs.log" and the entry is dropped.
    bool Write(std::string_view url, std::size_t length, const StatusFunction& onOpenError);

private:
    std::string PathLocked() const;

    mutable std::mutex mutex_;
    std::string directory_;
    platform::FilePtr file_;
};

// Appends one URL to the valid-URL log (see ValidUrlLog::Write).
bool LogValidUrl(ValidUrlLog& log, std::string_view url, std::size_t length,
                 const StatusFunction& onOpenError);

}  // namespace wg
