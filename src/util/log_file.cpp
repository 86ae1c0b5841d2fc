#include "util/log_file.h"

#include <cstdarg>
#include <cstdio>

namespace wg {

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int Wrap(int value, int count) {
    const int r = value % count;
    return r < 0 ? r + count : r;
}

}  // namespace

std::string FormatTimestamp(const platform::LocalTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d",
                  kDayNames[Wrap(time.weekday, 7)], kMonthNames[Wrap(time.month, 12)], time.day,
                  time.hour, time.minute, time.second, time.year);
    return text;
}

std::string TimestampText(std::int64_t calendarSeconds) {
    return FormatTimestamp(platform::ToLocalTime(calendarSeconds));
}

LogFile::LogFile(std::string_view name, std::string_view directory)
    : name_(name), directory_(directory) {}

LogFile::~LogFile() = default;

std::string LogFile::PathLocked() const {
    std::string fileName = name_ + ".log";
    if (directory_.empty()) {
        return fileName;
    }
    std::string path = directory_;
    if (path.back() != '/') {
        path += '/';
    }
    return path + fileName;
}

std::string LogFile::Path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return PathLocked();
}

void LogFile::Write(std::string_view text) {
    if (text.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) {
        file_ = platform::OpenFile(PathLocked(), "a+");
        if (!file_) {
            return;
        }
    }
    const std::int64_t now = clock_();
    if (!haveStamp_ || now != stampSecond_) {
        stampSecond_ = now;
        stampText_ = TimestampText(now);
        haveStamp_ = true;
    }
    std::string entry;
    entry.reserve(stampText_.size() + text.size() + 2);
    entry += stampText_;
    entry += ' ';
    entry += text;
    entry += '\n';
    // Write errors are ignored: a log never stops the program.
    (void)std::fwrite(entry.data(), 1, entry.size(), file_.get());
    (void)std::fflush(file_.get());
}

void LogFile::SetDirectory(std::string_view directory) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (directory_ == directory) {
        return;
    }
    directory_.assign(directory);
    file_.reset();
}

std::string LogFile::Directory() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return directory_;
}

void LogFile::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.reset();
}

bool LogFile::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

void LogFile::SetClock(Clock clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = clock != nullptr ? clock : &platform::CalendarSeconds;
    haveStamp_ = false;
}

// The two logs live for the whole process and are never destroyed, so that a
// thread still writing while the program ends never meets a destroyed log.
// Every entry is flushed when written; the C runtime closes the streams at exit.
LogFile& DebugLogFile() {
    static LogFile* const log = new LogFile("Debug");
    return *log;
}

LogFile& ErrorLogFile() {
    static LogFile* const log = new LogFile("Error");
    return *log;
}

void DebugLog(const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    char entry[kDebugEntryLimit + 1];
    va_list args;
    va_start(args, format);
    // The analyzer does not see va_start through the early return above.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int n = std::vsnprintf(entry, sizeof entry, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    DebugLogFile().Write(entry);
}

}  // namespace wg
