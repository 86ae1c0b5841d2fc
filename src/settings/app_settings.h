// The option set of the application: every value that the settings file
// stores, with the value it holds before that file is read. Worker threads
// read these fields without a lock, so flags and numbers are atomics and texts
// are SharedText.
#pragma once

#include <array>
#include <atomic>
#include <string_view>

#include "settings/type_list.h"
#include "util/shared_text.h"

namespace wg {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/3.0 (compatible; MSIE 5.0; Windows NT 5.1)";

inline constexpr int kCheckDirCount = 10;
inline constexpr int kMaxThreads = 32;

// SEARCH_TYPE values.
enum SearchType : int { kNoSearch = 0, kSearchInUrl = 1, kSearchOnPage = 2 };

// DFT bits.
enum TypeGroupBit : int {
    kGroupWebPages = 1,
    kGroupMovies = 2,
    kGroupMusic = 4,
    kGroupPictures = 8,
};

struct AppSettings {
    // Flags (settings key in the comment).
    std::atomic<bool> verbose{true};                  // VERBOSE
    std::atomic<bool> logDebug{false};                // LOGDEBUG
    std::atomic<bool> keepAlive{false};               // KEEP_ALIVE: ask servers to keep connections
    std::atomic<bool> guessUrls{false};               // GUESS_URLS
    std::atomic<bool> noGuessAfterQuery{false};       // not stored: "Do not guess after '?'"
    std::atomic<bool> showLastImage{true};            // SHOW_LAST_IMAGE
    std::atomic<bool> resizeLastImage{true};          // RESIZE_LAST_IMAGE
    std::atomic<bool> logUrlErrors{false};            // LOG_URL_ERRORS
    std::atomic<bool> startClassic{false};            // START_CLASSIC
    std::atomic<bool> saveEvery5{false};              // SAVE_EVERY_5
    std::atomic<bool> showExitingMsgs{true};          // SHOW_EXITING_MSGS
    std::atomic<bool> alwaysSave{false};              // ALWAYS_SAVE
    std::atomic<bool> autoUpdates{false};             // AUTO_UPDATES_PARAM
    std::atomic<bool> urlEscapeFilenames{false};      // URL_ESCAPE_FILENAMES
    std::atomic<bool> alwaysLoad{false};              // ALWAYS_LOAD
    std::atomic<bool> singleRedirectParam{false};     // SINGLE_REDIRECT_PARAM
    std::atomic<bool> searchSubDirs{true};            // SEARCH_SUB_DIRS
    std::atomic<bool> ignoreList{false};              // IGNORE_LIST
    std::atomic<bool> saveDlSubDirs{true};            // SAVE_DLSUB_DIRS
    std::atomic<bool> searchDlSubDirs{false};         // SEARCH_DLSUB_DIRS
    std::atomic<bool> runtimeDuplicateDetect{false};  // RUNTIME_DUPLICATE_DETECT
    std::atomic<bool> sendCookie{false};              // SEND_COOKIE
    std::atomic<bool> logUrls{false};                 // LOGURLS
    std::atomic<bool> noDownload{false};              // NO_DOWNLOAD
    std::atomic<bool> downloadAsIs{false};            // DOWNLOAD_AS_IS

    // Numbers.
    std::atomic<int> downloadDirStructure{
        0};                                // DOWNLOAD_DIR_STRUCTURE: 0 mirror, 1 site dir, 2 flat
    std::atomic<int> redirDefaultType{1};  // REDIR_DEFAULT_TYPE: 0 PHP, 1 ASP, 2 JSP
    std::atomic<int> minFileSize{0};       // MIN_FILE_SIZE
    std::atomic<int> maxFileSize{0};       // MAX_FILE_SIZE
    // HEADER_TIMEOUT: seconds an answer may take to send its whole header block.
    std::atomic<int> headerTimeout{60};
    // MIN_BODY_RATE: bytes per second below which a slow body is given up
    // after a while; 0 = never.
    std::atomic<int> minBodyRate{0};
    std::atomic<int> numDownloadThreads{3};  // NUM_DOWNLOAD_THREADS
    std::atomic<int> numUrlThreads{1};       // NUM_URL_THREADS
    std::atomic<int> minDownloadQueue{50};   // MIN_DOWNLOAD_QUEUE
    std::atomic<int> priority{0};            // PRIORITY: 0 normal, -2 lowest
    std::atomic<int> dft{kGroupWebPages};    // DFT: type-group mask
    std::atomic<int> searchType{kNoSearch};  // SEARCH_TYPE

    // Texts.
    SharedText userAgent{kDefaultUserAgent};           // USER_AGENT
    SharedText caFile;                                 // CA_FILE: extra trusted roots (PEM)
    SharedText lastUrlScanned;                         // LAST_URL_SCANNED
    SharedText saveDlSubDirsFile;                      // SAVE_DLSUB_DIRS_FN
    std::array<SharedText, kCheckDirCount> checkDirs;  // CHECK_DIR0 .. CHECK_DIR9
    std::atomic<int> checkDirCount{0};

    // The eight lists.
    TypeLists types;
};

}  // namespace wg
