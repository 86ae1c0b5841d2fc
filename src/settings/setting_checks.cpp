#include "settings/setting_checks.h"

#include <array>
#include <charconv>
#include <climits>

#include "settings/app_settings.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr long long kIntMax = INT_MAX;
// Texts stored in path-sized fields, and the type and word lists, keep one
// byte for the terminator.
constexpr std::size_t kPathText = kPathCapacity - 1;
constexpr std::size_t kListText = kTypeListCapacity - 1;

constexpr SettingRule Flag(std::string_view key) {
    return {key, SettingKind::Flag, 0, 1, 0};
}
constexpr SettingRule Number(std::string_view key, long long min, long long max) {
    return {key, SettingKind::Number, min, max, 0};
}
constexpr SettingRule Text(std::string_view key) {
    return {key, SettingKind::Text, 0, 0, kPathText};
}
constexpr SettingRule List(std::string_view key) {
    return {key, SettingKind::TypeList, 0, 0, kListText};
}

// Every key the settings file reads, with what the program does with it.
constexpr std::array kRules = {
    // Worker counts: the engine runs at most kMaxThreads of each kind.
    Number("NUM_URL_THREADS", 1, kMaxThreads),
    Number("NUM_DOWNLOAD_THREADS", 1, kMaxThreads),
    // Sizes in bytes; 0 is "no limit".
    Number("MIN_FILE_SIZE", 0, kIntMax),
    Number("MAX_FILE_SIZE", 0, kIntMax),
    // Seconds for a whole header block; the fetch clamps to 1 .. one day.
    Number("HEADER_TIMEOUT", 1, 86400),
    // Bytes per second; 0 is "never give up on a slow body".
    Number("MIN_BODY_RATE", 0, kIntMax),
    // The four type-group bits.
    Number("DFT", 0, kGroupWebPages | kGroupMovies | kGroupMusic | kGroupPictures),
    // 0 mirror, 1 one directory per site, 2 flat.
    Number("DOWNLOAD_DIR_STRUCTURE", 0, 2),
    // 0 normal, -1 low, -2 lowest.
    Number("PRIORITY", -2, 0),
    Number("SEARCH_TYPE", kNoSearch, kSearchOnPage),
    // 0 PHP, 1 ASP, 2 JSP redirect scripts.
    Number("REDIR_DEFAULT_TYPE", 0, 2),
    // Page workers go on while the download queue is shorter than this, so 0
    // would stop every crawl after its first page.
    Number("MIN_DOWNLOAD_QUEUE", 1, kIntMax),

    Flag("VERBOSE"),
    Flag("LOG_URL_ERRORS"),
    Flag("START_CLASSIC"),
    Flag("LOGDEBUG"),
    Flag("SINGLE_REDIRECT_PARAM"),
    Flag("AUTO_UPDATES_PARAM"),
    Flag("URL_ESCAPE_FILENAMES"),
    Flag("SHOW_EXITING_MSGS"),
    Flag("SHOW_LAST_IMAGE"),
    Flag("RESIZE_LAST_IMAGE"),
    Flag("GUESS_URLS"),
    Flag("ALWAYS_SAVE"),
    Flag("ALWAYS_LOAD"),
    Flag("IGNORE_LIST"),
    Flag("SAVE_EVERY_5"),
    Flag("SEARCH_SUB_DIRS"),
    Flag("SEARCH_DLSUB_DIRS"),
    Flag("SAVE_DLSUB_DIRS"),
    Flag("SEND_COOKIE"),
    Flag("LOGURLS"),
    Flag("NO_DOWNLOAD"),
    Flag("KEEP_ALIVE"),
    Flag("DOWNLOAD_AS_IS"),
    Flag("RUNTIME_DUPLICATE_DETECT"),
    Flag("SAVEWEBPAGES"),

    Text("SAVEPATH"),
    Text("SAVE_DLSUB_DIRS_FN"),
    Text("USER_AGENT"),
    Text("CA_FILE"),
    Text("LAST_URL_SCANNED"),
    Text("SAVE_FILE"),
    Text("CHECK_DIR0"),
    Text("CHECK_DIR1"),
    Text("CHECK_DIR2"),
    Text("CHECK_DIR3"),
    Text("CHECK_DIR4"),
    Text("CHECK_DIR5"),
    Text("CHECK_DIR6"),
    Text("CHECK_DIR7"),
    Text("CHECK_DIR8"),
    Text("CHECK_DIR9"),

    List("SITE_TYPES"),
    List("FILE_TYPES"),
    List("EXCLUSION_TYPES"),
    List("DOWNLOAD_KEYWORDS"),
    List("MOVIE_FILE_TYPES"),
    List("MUSIC_FILE_TYPES"),
    List("PICTURES_FILE_TYPES"),
    List("URL_SEARCH_WORDS"),
};

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number with an optional sign, blanks around it allowed.
// False for anything else, and for a number beyond long long.
bool ParseWholeNumber(std::string_view text, long long& out) {
    text = TrimSpaces(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return false;
        }
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
    return false;
}

}  // namespace

const SettingRule* FindSettingRule(std::string_view key) {
    for (const SettingRule& rule : kRules) {
        if (rule.key == key) {
            return &rule;
        }
    }
    return nullptr;
}

bool CheckSettingOverride(std::string_view keyValue, std::string* error) {
    const std::size_t equals = keyValue.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return Fail(error, "expected KEY=VALUE, not '" + std::string(keyValue) + "'");
    }
    const std::string key(keyValue.substr(0, equals));
    const std::string_view value = keyValue.substr(equals + 1);
    const SettingRule* rule = FindSettingRule(key);
    if (rule == nullptr) {
        return Fail(error, "unknown settings key '" + key + "'");
    }
    const std::string shown(value);
    switch (rule->kind) {
        case SettingKind::Flag:
        case SettingKind::Number: {
            long long number = 0;
            if (ParseWholeNumber(value, number) && number >= rule->min && number <= rule->max) {
                return true;
            }
            if (rule->kind == SettingKind::Flag) {
                return Fail(error, key + " takes 0 or 1, not '" + shown + "'");
            }
            return Fail(error, key + " takes a whole number from " + std::to_string(rule->min) +
                                   " to " + std::to_string(rule->max) + ", not '" + shown + "'");
        }
        case SettingKind::Text:
        case SettingKind::TypeList:
            // The settings reader ends a value at a line end or the byte 255.
            if (value.find_first_of("\r\n\xff") != std::string_view::npos) {
                return Fail(error, key + " takes one line of text");
            }
            if (value.size() > rule->maxLength) {
                return Fail(error, key + " takes at most " + std::to_string(rule->maxLength) +
                                       " bytes, not " + std::to_string(value.size()));
            }
            return true;
    }
    return false;
}

}  // namespace wg
