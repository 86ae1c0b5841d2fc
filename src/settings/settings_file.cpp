// Reading, writing and resetting the settings file.
#include "settings/settings_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/files.h"
#include "util/text.h"

namespace wg {

namespace {

namespace fs = std::filesystem;

constexpr char kEndMark = '\xff';

// The file separator that splits a settings path into directory and name.
constexpr char kPathSeparator = '/';

// One lookup after another over the same settings text.
class KeyReader {
public:
    explicit KeyReader(std::string_view text) : text_(text) {}

    // The value of `key`, or nothing when the key does not occur.
    const std::string* Find(std::string_view key, std::size_t max = kSettingValueMax) {
        return GetSettingValue(text_, key, value_, max) ? &value_ : nullptr;
    }

    bool Number(std::string_view key, int& out) {
        const std::string* value = Find(key);
        if (value == nullptr) {
            return false;
        }
        out = ParseSettingNumber(*value);
        return true;
    }

    // Stores the number when the key occurs; returns whether it did.
    bool ReadNumber(std::string_view key, std::atomic<int>& field) {
        int number = 0;
        if (!Number(key, number)) {
            return false;
        }
        field.store(number);
        return true;
    }

    // Stores the flag (any number but 0 is on) when the key occurs.
    bool ReadFlag(std::string_view key, std::atomic<bool>& field) {
        int number = 0;
        if (!Number(key, number)) {
            return false;
        }
        field.store(number != 0);
        return true;
    }

    // Stores the text with the path-buffer bound when the key occurs.
    void ReadText(std::string_view key, SharedText& field) {
        if (const std::string* value = Find(key)) {
            field.Set(CopyBounded(*value, kPathCapacity));
        }
    }

    // Sets a list from its value; a missing key re-parses the current text,
    // or empties the list when `emptyWhenMissing`.
    void ReadList(std::string_view key, TypeLists& lists, TypeKind kind, bool emptyWhenMissing) {
        if (const std::string* value = Find(key)) {
            lists.Set(kind, CopyBounded(*value, kTypeListCapacity));
        } else if (emptyWhenMissing) {
            lists.Set(kind, std::string_view{});
        } else {
            lists.Set(kind, lists.Text(kind));
        }
    }

private:
    std::string_view text_;
    std::string value_;
};

// Reads at most `limit` bytes of a regular file. False when the file cannot
// be opened or read.
bool ReadFileHead(const fs::path& path, std::size_t limit, std::string& out) {
    out.clear();
    if (path.empty() || !platform::FileExists(path)) {
        return false;
    }
    const platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    char chunk[16384];
    while (out.size() < limit) {
        const std::size_t want = std::min(sizeof chunk, limit - out.size());
        const std::size_t got = std::fread(chunk, 1, want, file.get());
        out.append(chunk, got);
        if (got < want) {
            break;
        }
    }
    return std::ferror(file.get()) == 0;
}

// "Gleanix.ini" in the settings file's directory; empty when the settings
// path names no directory.
fs::path OldSettingsPath(const fs::path& settingsFile) {
    const std::string path = settingsFile.string();
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos) {
        return {};
    }
    return fs::path(path.substr(0, slash + 1) + std::string(kOldSettingsFileName));
}

// Line writers of FormatSettings.
class LineWriter {
public:
    void Text(std::string_view key, std::string_view value) {
        out_.append(key);
        out_ += '=';
        out_.append(value);
        out_ += '\n';
    }
    void Number(std::string_view key, int value) { Text(key, std::to_string(value)); }
    void Flag(std::string_view key, const std::atomic<bool>& value) {
        Number(key, value.load() ? 1 : 0);
    }
    void List(std::string_view key, const TypeLists& lists, TypeKind kind) {
        Text(key, lists.Text(kind));
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

std::string CheckDirKey(int index) {
    return "CHECK_DIR" + std::to_string(index);
}

}  // namespace

bool GetSettingValue(std::string_view text, std::string_view key, std::string& out,
                     std::size_t max) {
    out.clear();
    const std::size_t found = key.empty() ? std::string_view::npos : text.find(key);
    if (found == std::string_view::npos) {
        return false;
    }
    std::size_t pos = found + key.size();
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '=')) {
        ++pos;
    }
    for (; pos < text.size() && out.size() < max; ++pos) {
        const char c = text[pos];
        if (c == '\n' || c == kEndMark) {
            break;
        }
        // Text-mode line end: the CR of a CR LF pair is not part of the value.
        if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            break;
        }
        out += c;
    }
    return true;
}

int ParseSettingNumber(std::string_view value) {
    std::size_t pos = 0;
    while (pos < value.size() &&
           (value[pos] == ' ' || value[pos] == '\t' || value[pos] == '\v' || value[pos] == '\f')) {
        ++pos;
    }
    bool negative = false;
    if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) {
        negative = value[pos] == '-';
        ++pos;
    }
    std::int64_t number = 0;
    for (; pos < value.size() && value[pos] >= '0' && value[pos] <= '9'; ++pos) {
        number = number * 10 + (value[pos] - '0');
        if (number > static_cast<std::int64_t>(INT_MAX) + 1) {
            number = static_cast<std::int64_t>(INT_MAX) + 1;  // clamped below
        }
    }
    if (negative) {
        number = -number;
    }
    if (number > INT_MAX) {
        return INT_MAX;
    }
    if (number < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(number);
}

void ParseSettings(std::string_view text, AppSettings& s, AppPaths& paths, SettingsHooks& hooks) {
    KeyReader r(text);

    // 1. The download directory, made current.
    if (const std::string* value = r.Find("SAVEPATH")) {
        const std::string dir = CopyBounded(*value, kPathCapacity);
        if (!dir.empty()) {
            paths.downloadDir = dir;
            hooks.EnterSaveDirectory(paths.downloadDir);
        }
    }

    // 2. Thread counts; 0 keeps the current count.
    int number = 0;
    if (r.Number("NUM_URL_THREADS", number) && number != 0) {
        s.numUrlThreads.store(number);
    }
    if (r.Number("NUM_DOWNLOAD_THREADS", number) && number != 0) {
        s.numDownloadThreads.store(number);
    }

    // 3.-4. Page and file types; the two keyword lists are emptied when missing.
    r.ReadList("SITE_TYPES", s.types, TypeKind::SiteTypes, false);
    r.ReadList("FILE_TYPES", s.types, TypeKind::FileTypes, false);
    r.ReadList("EXCLUSION_TYPES", s.types, TypeKind::ExclusionTypes, true);
    r.ReadList("DOWNLOAD_KEYWORDS", s.types, TypeKind::DownloadKeywords, true);

    // 5. Size limits as read, 0 included.
    r.ReadNumber("MIN_FILE_SIZE", s.minFileSize);
    r.ReadNumber("MAX_FILE_SIZE", s.maxFileSize);
    r.ReadNumber("HEADER_TIMEOUT", s.headerTimeout);
    r.ReadNumber("MIN_BODY_RATE", s.minBodyRate);

    // 6. The type-group mask; the older SAVEWEBPAGES=0 clears it when DFT is absent.
    if (!r.ReadNumber("DFT", s.dft)) {
        if (r.Number("SAVEWEBPAGES", number) && number == 0) {
            s.dft.store(0);
        }
    }

    // 7. Layout and switches.
    r.ReadNumber("DOWNLOAD_DIR_STRUCTURE", s.downloadDirStructure);
    r.ReadFlag("VERBOSE", s.verbose);
    if (r.ReadFlag("LOG_URL_ERRORS", s.logUrlErrors)) {
        hooks.SetUrlErrorLogging(s.logUrlErrors.load());
    }
    r.ReadFlag("START_CLASSIC", s.startClassic);
    r.ReadFlag("LOGDEBUG", s.logDebug);
    r.ReadFlag("SINGLE_REDIRECT_PARAM", s.singleRedirectParam);
    r.ReadFlag("AUTO_UPDATES_PARAM", s.autoUpdates);
    r.ReadFlag("URL_ESCAPE_FILENAMES", s.urlEscapeFilenames);
    r.ReadFlag("SHOW_EXITING_MSGS", s.showExitingMsgs);
    r.ReadFlag("SHOW_LAST_IMAGE", s.showLastImage);
    r.ReadFlag("RESIZE_LAST_IMAGE", s.resizeLastImage);
    r.ReadFlag("GUESS_URLS", s.guessUrls);
    r.ReadFlag("ALWAYS_SAVE", s.alwaysSave);
    r.ReadFlag("ALWAYS_LOAD", s.alwaysLoad);
    if (r.ReadFlag("IGNORE_LIST", s.ignoreList)) {
        hooks.SetIgnoreList(s.ignoreList.load());
    }
    r.ReadFlag("SAVE_EVERY_5", s.saveEvery5);
    r.ReadFlag("SEARCH_SUB_DIRS", s.searchSubDirs);
    r.ReadFlag("SEARCH_DLSUB_DIRS", s.searchDlSubDirs);
    r.ReadFlag("SAVE_DLSUB_DIRS", s.saveDlSubDirs);

    // 8. The saved sub-directory list is loaded as soon as it is named.
    if (const std::string* value = r.Find("SAVE_DLSUB_DIRS_FN")) {
        const std::string file = CopyBounded(*value, kPathCapacity);
        if (!file.empty()) {
            s.saveDlSubDirsFile.Set(file);
            hooks.LoadSubDirList();
        }
    }
    r.ReadText("USER_AGENT", s.userAgent);
    r.ReadText("CA_FILE", s.caFile);
    r.ReadFlag("KEEP_ALIVE", s.keepAlive);
    r.ReadFlag("SEND_COOKIE", s.sendCookie);
    r.ReadNumber("PRIORITY", s.priority);

    // 9. The group lists and the search words.
    r.ReadList("MOVIE_FILE_TYPES", s.types, TypeKind::MovieTypes, false);
    r.ReadList("MUSIC_FILE_TYPES", s.types, TypeKind::MusicTypes, false);
    r.ReadList("PICTURES_FILE_TYPES", s.types, TypeKind::PictureTypes, false);
    r.ReadList("URL_SEARCH_WORDS", s.types, TypeKind::SearchWords, false);

    // 10.
    r.ReadNumber("SEARCH_TYPE", s.searchType);
    r.ReadNumber("REDIR_DEFAULT_TYPE", s.redirDefaultType);
    r.ReadNumber("MIN_DOWNLOAD_QUEUE", s.minDownloadQueue);

    // 11. Check directories: a found entry counts, a missing one is emptied.
    for (int i = 0; i < kCheckDirCount; ++i) {
        SharedText& dir = s.checkDirs[static_cast<std::size_t>(i)];
        if (const std::string* value = r.Find(CheckDirKey(i))) {
            dir.Set(CopyBounded(*value, kPathCapacity));
            s.checkDirCount.store(i + 1);
        } else {
            dir.Set({});
        }
    }

    // 12. NO_DOWNLOAD counts only beside LOGURLS.
    r.ReadText("LAST_URL_SCANNED", s.lastUrlScanned);
    if (r.ReadFlag("LOGURLS", s.logUrls)) {
        r.ReadFlag("NO_DOWNLOAD", s.noDownload);
    }
    r.ReadFlag("DOWNLOAD_AS_IS", s.downloadAsIs);
    r.ReadFlag("RUNTIME_DUPLICATE_DETECT", s.runtimeDuplicateDetect);
    if (const std::string* value = r.Find("SAVE_FILE", kPathCapacity)) {
        const std::string file = CopyBounded(*value, kPathCapacity);
        if (!file.empty()) {
            paths.stateFile = file;
        }
    }

    // 13. "Generate At Run Time": the list is built on every read.
    if (s.searchDlSubDirs.load() && !s.saveDlSubDirs.load()) {
        hooks.ShowStatus("Creating Download Sub-directoy List.");
        hooks.BuildSubDirList();
        hooks.ShowStatus("Loaded Options Data.");
    }
}

std::string FormatSettings(const AppSettings& s, const AppPaths& paths) {
    LineWriter w;
    w.Text("SAVEPATH", paths.downloadDir.string());
    w.Number("NUM_DOWNLOAD_THREADS", s.numDownloadThreads.load());
    if (s.numUrlThreads.load() != 0) {
        w.Number("NUM_URL_THREADS", s.numUrlThreads.load());
    }
    w.List("SITE_TYPES", s.types, TypeKind::SiteTypes);
    w.List("FILE_TYPES", s.types, TypeKind::FileTypes);
    w.List("EXCLUSION_TYPES", s.types, TypeKind::ExclusionTypes);
    w.List("DOWNLOAD_KEYWORDS", s.types, TypeKind::DownloadKeywords);
    w.Number("MIN_FILE_SIZE", s.minFileSize.load());
    w.Number("MAX_FILE_SIZE", s.maxFileSize.load());
    w.Number("DOWNLOAD_DIR_STRUCTURE", s.downloadDirStructure.load());
    w.Flag("VERBOSE", s.verbose);
    w.Flag("LOG_URL_ERRORS", s.logUrlErrors);
    w.Flag("SEARCH_SUB_DIRS", s.searchSubDirs);
    w.Flag("SEARCH_DLSUB_DIRS", s.searchDlSubDirs);
    w.Flag("SAVE_DLSUB_DIRS", s.saveDlSubDirs);
    w.Flag("RUNTIME_DUPLICATE_DETECT", s.runtimeDuplicateDetect);
    if (const std::string file = s.saveDlSubDirsFile.Get(); !file.empty()) {
        w.Text("SAVE_DLSUB_DIRS_FN", file);
    }
    w.Flag("SEND_COOKIE", s.sendCookie);
    w.Text("LAST_URL_SCANNED", s.lastUrlScanned.Get());
    w.Flag("SHOW_EXITING_MSGS", s.showExitingMsgs);
    w.Flag("LOGDEBUG", s.logDebug);
    w.Flag("RESIZE_LAST_IMAGE", s.resizeLastImage);
    w.Flag("SHOW_LAST_IMAGE", s.showLastImage);
    w.Flag("START_CLASSIC", s.startClassic);
    w.Flag("SINGLE_REDIRECT_PARAM", s.singleRedirectParam);
    w.Flag("AUTO_UPDATES_PARAM", s.autoUpdates);
    w.Flag("GUESS_URLS", s.guessUrls);
    w.Flag("ALWAYS_SAVE", s.alwaysSave);
    w.Flag("ALWAYS_LOAD", s.alwaysLoad);
    w.Flag("SAVE_EVERY_5", s.saveEvery5);
    w.Flag("IGNORE_LIST", s.ignoreList);
    w.Flag("URL_ESCAPE_FILENAMES", s.urlEscapeFilenames);
    w.List("MOVIE_FILE_TYPES", s.types, TypeKind::MovieTypes);
    w.List("MUSIC_FILE_TYPES", s.types, TypeKind::MusicTypes);
    w.List("PICTURES_FILE_TYPES", s.types, TypeKind::PictureTypes);
    w.List("URL_SEARCH_WORDS", s.types, TypeKind::SearchWords);
    w.Number("SEARCH_TYPE", s.searchType.load());
    w.Number("PRIORITY", s.priority.load());
    w.Number("DFT", s.dft.load());
    w.Number("REDIR_DEFAULT_TYPE", s.redirDefaultType.load());
    w.Number("MIN_DOWNLOAD_QUEUE", s.minDownloadQueue.load());
    w.Text("USER_AGENT", s.userAgent.Get());
    for (int i = 0; i < kCheckDirCount; ++i) {
        w.Text(CheckDirKey(i), s.checkDirs[static_cast<std::size_t>(i)].Get());
    }
    w.Flag("LOGURLS", s.logUrls);
    w.Flag("NO_DOWNLOAD", s.noDownload);
    w.Flag("DOWNLOAD_AS_IS", s.downloadAsIs);
    // The waits on slow servers came later: after the older keys.
    w.Number("HEADER_TIMEOUT", s.headerTimeout.load());
    w.Number("MIN_BODY_RATE", s.minBodyRate.load());
    // Written only when set, so that a file without a private CA reads as before.
    if (const std::string caFile = s.caFile.Get(); !caFile.empty()) {
        w.Text("CA_FILE", caFile);
    }
    if (s.keepAlive.load()) {
        w.Flag("KEEP_ALIVE", s.keepAlive);
    }
    return w.Take();
}

std::string FormatStatePointer(const AppPaths& paths) {
    return "SAVE_FILE=" + paths.stateFile.string() + "\n";
}

bool LoadSettingsFile(AppSettings& settings, AppPaths& paths, SettingsHooks& hooks) {
    std::string text;
    bool read = ReadFileHead(paths.settingsFile, kMaxSettingsFileBytes, text);
    if (!read) {
        const fs::path old = OldSettingsPath(paths.settingsFile);
        read = !old.empty() && ReadFileHead(old, kMaxSettingsFileBytes, text);
    }
    if (!read) {
        text.clear();
    }
    ParseSettings(text, settings, paths, hooks);

    std::string pointer;
    if (ReadFileHead(paths.pointerFile, kMaxPointerFileBytes, pointer)) {
        std::string value;
        if (GetSettingValue(pointer, "SAVE_FILE", value, kPathCapacity)) {
            const std::string file = CopyBounded(value, kPathCapacity);
            if (!file.empty()) {
                paths.stateFile = file;
            }
        }
    }
    return read;
}

int SaveSettingsFile(const AppSettings& settings, const AppPaths& paths) {
    if (paths.settingsFile.empty()) {
        return ENOENT;
    }
    return platform::WriteFileAtomically(paths.settingsFile, FormatSettings(settings, paths));
}

int SaveStatePointerFile(const AppPaths& paths) {
    if (paths.pointerFile.empty()) {
        return ENOENT;
    }
    return platform::WriteFileAtomically(paths.pointerFile, FormatStatePointer(paths));
}

void ResetOptions(AppSettings& s, AppPaths& paths) {
    paths.downloadDir = platform::CurrentDirectory();
    s.types.Set(TypeKind::SiteTypes, kDefaultSiteTypes);
    s.types.Set(TypeKind::FileTypes, kDefaultFileTypes);
    s.types.Set(TypeKind::ExclusionTypes, std::string_view{});
    s.types.Set(TypeKind::SearchWords, std::string_view{});
    s.types.Set(TypeKind::DownloadKeywords, std::string_view{});
    s.minFileSize.store(0);
    s.maxFileSize.store(0);
    s.headerTimeout.store(60);
    s.minBodyRate.store(0);
    s.downloadDirStructure.store(0);
    s.verbose.store(true);
    s.logUrlErrors.store(false);
    s.sendCookie.store(false);
    s.startClassic.store(false);
    s.guessUrls.store(false);
    s.noGuessAfterQuery.store(false);
    s.alwaysSave.store(false);
    s.alwaysLoad.store(false);
    s.saveEvery5.store(false);
    s.ignoreList.store(false);
    s.searchType.store(kNoSearch);
    s.dft.store(kGroupWebPages);
}

void ResetAdvancedOptions(AppSettings& s) {
    s.numDownloadThreads.store(2);
    s.numUrlThreads.store(1);
    s.showExitingMsgs.store(true);
    s.logDebug.store(false);
    s.singleRedirectParam.store(true);
    s.autoUpdates.store(false);
    s.priority.store(0);
    s.redirDefaultType.store(1);
    s.minDownloadQueue.store(50);
    s.userAgent.Set(kDefaultUserAgent);
    s.logUrls.store(false);
    s.noDownload.store(false);
}

int EnterDirectory(const fs::path& dir) {
    if (dir.empty()) {
        return ENOENT;
    }
    if (platform::SetCurrentDirectory(dir) == 0) {
        return 0;
    }
    if (const int error = platform::CreateDirectories(dir); error != 0) {
        return error;
    }
    return platform::SetCurrentDirectory(dir);
}

}  // namespace wg
