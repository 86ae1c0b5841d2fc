// The " Options" and " Advanced Options" dialogs as plain values: what their
// fields show, read from the App's settings, and the one apply of "Save" that
// checks every field first and changes nothing when one is refused. The
// apply goes through the App's setters, so a running crawl follows the new
// values (more workers start at once; fewer take effect at the next start).
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

class App;

// Labels of the fields that can be refused, as the dialogs show them.
namespace option_field {
inline constexpr std::string_view kMinFileSize = "Min. File Size:";
inline constexpr std::string_view kMaxFileSize = "Max. File Size:";
inline constexpr std::string_view kDownloadDir = "Download Directory: ";
inline constexpr std::string_view kFileTypes = "Download Files Types:";
inline constexpr std::string_view kSiteTypes = "Site Types To Parse:";
inline constexpr std::string_view kSkipKeywords = "Keywords In URL To Skip:";
inline constexpr std::string_view kDownloadKeywords = "Keywords In Download To Skip:";
inline constexpr std::string_view kSearchWords = "Site Search Words:";
inline constexpr std::string_view kDownloadThreads = "Num. File Download Threads:";
inline constexpr std::string_view kUrlThreads = "Num. URL Download Threads:";
inline constexpr std::string_view kMinDownloads = "Min. Downloads (below which search for more):";
inline constexpr std::string_view kUserAgent = "User-Agent:";
}  // namespace option_field

// The fields of " Options".
struct OptionValues {
    std::string minFileSize;  // decimal; empty for 0
    std::string maxFileSize;  // decimal; empty for 0 (no maximum)
    std::string downloadDir;
    std::string fileTypes;
    std::string siteTypes;
    std::string skipKeywords;      // EXCLUSION_TYPES
    std::string downloadKeywords;  // DOWNLOAD_KEYWORDS
    std::string searchWords;       // URL_SEARCH_WORDS
    // "Web Pages", "Movies", "Music", "Pictures" (the DFT bits in that order).
    std::array<bool, 4> groups{};
    int searchType = 0;    // SearchType
    int dirStructure = 0;  // DOWNLOAD_DIR_STRUCTURE, 0..2
    bool ignoreList = false;
    bool verbose = false;
    bool logUrlErrors = false;
    bool sendCookie = false;
    bool guessUrls = false;
    bool noGuessAfterQuery = false;
    bool startClassic = false;
    bool alwaysSave = false;
    bool saveEvery5 = false;
    bool alwaysLoad = false;
};

// The fields of " Advanced Options".
struct AdvancedValues {
    std::string downloadThreads;
    std::string urlThreads;
    std::string minDownloadQueue;
    std::string userAgent;
    bool logDebug = false;
    bool autoUpdates = false;
    bool showExitingMsgs = false;
    bool downloadAsIs = false;
    bool singleRedirectParam = false;
    bool showLastImage = false;
    bool resizeLastImage = false;
    bool urlEscapeFilenames = false;
    bool logUrls = false;
    bool noDownload = false;
    int redirType = 1;  // REDIR_DEFAULT_TYPE: 0 PHP, 1 ASP, 2 JSP
    bool lowPriority = false;
};

// A field that "Save" refused: its label and what it takes. An empty
// message means the user has been told already (the download directory).
struct FieldRefusal {
    std::string_view field;
    std::string message;
};

OptionValues ReadOptionValues(const App& app);
AdvancedValues ReadAdvancedValues(const App& app);

// What "Save" would refuse; empty when every field is fine.
std::vector<FieldRefusal> CheckOptionValues(const OptionValues& values);
std::vector<FieldRefusal> CheckAdvancedValues(const AdvancedValues& values);

// "Save": checks every field; with a refusal nothing is applied and nothing
// written. Otherwise applies the fields in the dialog's order (with the '*'
// warnings and the queue questions) and writes the settings file. Returns
// the refusals.
std::vector<FieldRefusal> ApplyOptionValues(App& app, const OptionValues& values);
std::vector<FieldRefusal> ApplyAdvancedValues(App& app, const AdvancedValues& values);

// " Options", or " Options: <name>" when the settings file is not
// "Grubbler.ini" (the same for " Advanced Options").
std::string OptionsDialogTitle(std::string_view title, const std::filesystem::path& settingsFile);

}  // namespace wg
