// Timestamped text logs: the debug log "Debug.log" and the error log
// "Error.log". Every entry is appended and flushed at once; any thread may write.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"

namespace wg {

// Length of a timestamp text.
inline constexpr std::size_t kTimestampLength = 24;

// "Www Mmm dd hh:mm:ss yyyy": English day and month names, the day of the
// month right-aligned in two characters.
std::string FormatTimestamp(const platform::LocalTime& time);

// FormatTimestamp of the local time of a calendar second.
std::string TimestampText(std::int64_t calendarSeconds);

// The longest entry DebugLog writes (characters, without the line end).
inline constexpr std::size_t kDebugEntryLimit = 511;

// One log file "<directory>/<name>.log", opened for appending at its first
// entry. Each entry is "<timestamp> <text>\n".
class LogFile {
public:
    using Clock = std::int64_t (*)();

    explicit LogFile(std::string_view name, std::string_view directory = {});
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Writes one entry; an empty text writes nothing. When the file cannot be
    // opened the entry is dropped and the next entry tries again.
    void Write(std::string_view text);

    // Sets the directory (empty: the current directory at the next open). An
    // open file in another directory is closed, so the next entry goes to the
    // new place.
    void SetDirectory(std::string_view directory);
    std::string Directory() const;

    // Closes the file; the next entry opens it again.
    void Close();
    bool IsOpen() const;

    // The file's path as it is opened.
    std::string Path() const;

    // Replaces the calendar clock (seconds) used for the timestamps.
    void SetClock(Clock clock);

private:
    std::string PathLocked() const;

    mutable std::mutex mutex_;
    std::string name_;
    std::string directory_;
    platform::FilePtr file_;
    Clock clock_ = &platform::CalendarSeconds;
    std::int64_t stampSecond_ = 0;
    bool haveStamp_ = false;
    std::string stampText_;
};

// The process-wide debug log (name "Debug"). Its directory is set at start-up.
LogFile& DebugLogFile();

// The process-wide error log (name "Error", in the current directory).
LogFile& ErrorLogFile();

// printf-style entry of at most kDebugEntryLimit characters in the debug log.
// Callers decide whether debug logging is on.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace wg
