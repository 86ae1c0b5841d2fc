#include "app/option_values.h"
#include "app/crawl_work.h"
#include "app/option_setters.h"

#include <string>

#include "app/app.h"
#include "app/option_files.h"
#include "settings/setting_checks.h"
#include "settings/settings_file.h"
#include "settings/type_groups.h"
#include "util/text.h"

namespace wg {

namespace {

namespace field = option_field;

constexpr std::string_view kWildCardWords = "Wild cards (like *) are not supported.";
constexpr std::string_view kWildCardTypes =
    "* is not support. To download all file types that\nstart with, for example, .sw, just "
    "enter .sw";
// How much of a refused text the message repeats.
constexpr std::size_t kShownTextMax = 40;

std::string NumberText(int value) {
    return value == 0 ? std::string() : std::to_string(value);
}

std::string Shown(std::string_view text) {
    if (text.size() <= kShownTextMax) {
        return std::string(text);
    }
    return std::string(text.substr(0, kShownTextMax)) + "...";
}

// A number field: empty (the caller's rule applies) or a whole number that
// the settings key accepts.
void CheckNumber(std::vector<FieldRefusal>& refusals, std::string_view label, std::string_view text,
                 std::string_view key, std::string_view unit) {
    const std::string_view value = TrimBlanks(text);
    if (value.empty() ||
        CheckSettingOverride(std::string(key) + "=" + std::string(value), nullptr)) {
        return;
    }
    const SettingRule* rule = FindSettingRule(key);
    std::string message = std::string(label) + " takes a whole number";
    message += unit;
    if (rule != nullptr) {
        message += " from " + std::to_string(rule->min) + " to " + std::to_string(rule->max);
    }
    message += ", not '" + Shown(value) + "'.";
    refusals.push_back({label, std::move(message)});
}

// A text field: one line within the bound of its settings key.
void CheckText(std::vector<FieldRefusal>& refusals, std::string_view label, std::string_view text,
               std::string_view key) {
    std::string error;
    if (CheckSettingOverride(std::string(key) + "=" + std::string(text), &error)) {
        return;
    }
    const SettingRule* rule = FindSettingRule(key);
    std::string message = std::string(label);
    if (text.find_first_of("\r\n\xff") != std::string_view::npos) {
        message += " takes one line of text.";
    } else {
        message += " takes at most " + std::to_string(rule != nullptr ? rule->maxLength : 0) +
                   " characters, not " + std::to_string(text.size()) + ".";
    }
    refusals.push_back({label, std::move(message)});
}

// The number of a checked, non-empty number field.
int NumberOf(std::string_view text) {
    return ParseSettingNumber(TrimBlanks(text));
}

// Sets a keyword list when its text changed; true when it did.
bool SetWhenChanged(App& app, TypeKind kind, const std::string& text) {
    if (text == app.Settings().types.Text(kind)) {
        return false;
    }
    app.Settings().types.Set(kind, text);
    return true;
}

void WarnOfWildCard(App& app, const std::string& text, std::string_view warning) {
    if (text.find('*') != std::string::npos) {
        app.Port().Tell(warning, "Warning", Icon::Warning);
    }
}

}  // namespace

OptionValues ReadOptionValues(const App& app) {
    const AppSettings& s = app.Settings();
    OptionValues v;
    v.minFileSize = NumberText(s.minFileSize.load());
    v.maxFileSize = NumberText(s.maxFileSize.load());
    v.downloadDir = app.Paths().downloadDir.string();
    v.fileTypes = s.types.Text(TypeKind::FileTypes);
    v.siteTypes = s.types.Text(TypeKind::SiteTypes);
    v.skipKeywords = s.types.Text(TypeKind::ExclusionTypes);
    v.downloadKeywords = s.types.Text(TypeKind::DownloadKeywords);
    v.searchWords = s.types.Text(TypeKind::SearchWords);
    const int dft = s.dft.load();
    for (std::size_t i = 0; i < v.groups.size(); ++i) {
        v.groups[i] = (dft & (1 << i)) != 0;
    }
    v.searchType = s.searchType.load();
    v.dirStructure = s.downloadDirStructure.load();
    v.ignoreList = s.ignoreList.load();
    v.verbose = s.verbose.load();
    v.logUrlErrors = s.logUrlErrors.load();
    v.sendCookie = s.sendCookie.load();
    v.guessUrls = s.guessUrls.load();
    v.noGuessAfterQuery = s.noGuessAfterQuery.load();
    v.startClassic = s.startClassic.load();
    v.alwaysSave = s.alwaysSave.load();
    v.saveEvery5 = s.saveEvery5.load();
    v.alwaysLoad = s.alwaysLoad.load();
    return v;
}

AdvancedValues ReadAdvancedValues(const App& app) {
    const AppSettings& s = app.Settings();
    AdvancedValues v;
    v.downloadThreads = std::to_string(s.numDownloadThreads.load());
    v.urlThreads = std::to_string(s.numUrlThreads.load());
    v.minDownloadQueue = std::to_string(s.minDownloadQueue.load());
    v.userAgent = s.userAgent.Get();
    v.logDebug = s.logDebug.load();
    v.autoUpdates = s.autoUpdates.load();
    v.showExitingMsgs = s.showExitingMsgs.load();
    v.downloadAsIs = s.downloadAsIs.load();
    v.singleRedirectParam = s.singleRedirectParam.load();
    v.showLastImage = s.showLastImage.load();
    v.resizeLastImage = s.resizeLastImage.load();
    v.urlEscapeFilenames = s.urlEscapeFilenames.load();
    v.logUrls = s.logUrls.load();
    v.noDownload = s.noDownload.load();
    v.redirType = s.redirDefaultType.load();
    v.lowPriority = s.priority.load() != 0;
    return v;
}

std::vector<FieldRefusal> CheckOptionValues(const OptionValues& v) {
    std::vector<FieldRefusal> refusals;
    CheckNumber(refusals, field::kMinFileSize, v.minFileSize, "MIN_FILE_SIZE", " of bytes");
    CheckNumber(refusals, field::kMaxFileSize, v.maxFileSize, "MAX_FILE_SIZE", " of bytes");
    if (refusals.empty()) {
        const int minimum = NumberOf(v.minFileSize);
        const int maximum = NumberOf(v.maxFileSize);
        if (maximum != 0 && maximum <= minimum) {
            refusals.push_back({field::kMaxFileSize, std::string(field::kMaxFileSize) +
                                                         " must be larger than the minimum size (" +
                                                         std::to_string(minimum) +
                                                         "), or empty for no maximum."});
        }
    }
    CheckText(refusals, field::kDownloadDir, TrimBlanks(v.downloadDir), "SAVEPATH");
    CheckText(refusals, field::kFileTypes, v.fileTypes, "FILE_TYPES");
    CheckText(refusals, field::kSiteTypes, v.siteTypes, "SITE_TYPES");
    CheckText(refusals, field::kSkipKeywords, v.skipKeywords, "EXCLUSION_TYPES");
    CheckText(refusals, field::kDownloadKeywords, v.downloadKeywords, "DOWNLOAD_KEYWORDS");
    CheckText(refusals, field::kSearchWords, v.searchWords, "URL_SEARCH_WORDS");
    return refusals;
}

std::vector<FieldRefusal> CheckAdvancedValues(const AdvancedValues& v) {
    std::vector<FieldRefusal> refusals;
    CheckNumber(refusals, field::kDownloadThreads, v.downloadThreads, "NUM_DOWNLOAD_THREADS", "");
    CheckNumber(refusals, field::kUrlThreads, v.urlThreads, "NUM_URL_THREADS", "");
    CheckNumber(refusals, field::kMinDownloads, v.minDownloadQueue, "MIN_DOWNLOAD_QUEUE", "");
    CheckText(refusals, field::kUserAgent, v.userAgent, "USER_AGENT");
    return refusals;
}

std::vector<FieldRefusal> ApplyOptionValues(App& app, const OptionValues& v) {
    std::vector<FieldRefusal> refusals = CheckOptionValues(v);
    if (!refusals.empty()) {
        return refusals;
    }
    AppSettings& s = app.Settings();
    // The download directory comes first: when it cannot be used (the user
    // is told why), nothing else has changed yet.
    const std::string dir(TrimBlanks(v.downloadDir));
    if (!dir.empty() && dir != app.Paths().downloadDir.string() &&
        !app.Options().SetSaveDirectory(dir)) {
        refusals.push_back({field::kDownloadDir, std::string()});
        return refusals;
    }
    if (!v.siteTypes.empty()) {
        s.types.Set(TypeKind::SiteTypes, v.siteTypes);
    }
    if (SetWhenChanged(app, TypeKind::ExclusionTypes, v.skipKeywords)) {
        app.Work().ApplySkipKeywordsToQueue();
    }
    if (SetWhenChanged(app, TypeKind::DownloadKeywords, v.downloadKeywords)) {
        app.Work().ApplyDownloadKeywordsToQueue();
    }
    // The search-word question follows the search type chosen in the same
    // dialog, so it is asked once that type is in place.
    bool askSearchWords = false;
    if (v.searchWords != s.types.Text(TypeKind::SearchWords)) {
        WarnOfWildCard(app, v.searchWords, kWildCardWords);
        s.types.Set(TypeKind::SearchWords, v.searchWords);
        askSearchWords = v.searchType == kSearchInUrl;
    }
    if (!v.fileTypes.empty()) {
        WarnOfWildCard(app, v.fileTypes, kWildCardTypes);
        s.types.Set(TypeKind::FileTypes, v.fileTypes);
    }
    s.downloadDirStructure.store(v.dirStructure);
    TypeBoxes boxes{};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = v.groups[i] ? BoxState::Ticked : BoxState::Unticked;
    }
    s.dft.store(DftFromTickedBoxes(boxes, s.types.Text(TypeKind::FileTypes), s));
    s.searchType.store(v.searchType);
    if (askSearchWords) {
        app.Work().ApplySearchWordsToQueue();
    }
    s.sendCookie.store(v.sendCookie);
    s.minFileSize.store(NumberOf(v.minFileSize));
    app.Setters().SetMaxFileSize(NumberOf(v.maxFileSize));
    if (v.logUrlErrors != s.logUrlErrors.load()) {
        app.Setters().SetUrlErrorLogging(v.logUrlErrors);
    }
    s.verbose.store(v.verbose);
    s.guessUrls.store(v.guessUrls);
    s.noGuessAfterQuery.store(v.noGuessAfterQuery);
    s.alwaysSave.store(v.alwaysSave);
    s.alwaysLoad.store(v.alwaysLoad);
    if (v.saveEvery5 != s.saveEvery5.load()) {
        app.Setters().SetPeriodicSave(v.saveEvery5);
    }
    app.Setters().SetIgnoreList(v.ignoreList);
    s.startClassic.store(v.startClassic);
    app.Options().SaveSettings();
    return refusals;
}

std::vector<FieldRefusal> ApplyAdvancedValues(App& app, const AdvancedValues& v) {
    std::vector<FieldRefusal> refusals = CheckAdvancedValues(v);
    if (!refusals.empty()) {
        return refusals;
    }
    AppSettings& s = app.Settings();
    if (!TrimBlanks(v.urlThreads).empty()) {
        app.Setters().SetUrlThreadCount(NumberOf(v.urlThreads));
    }
    if (!TrimBlanks(v.downloadThreads).empty()) {
        app.Setters().SetDownloadThreadCount(NumberOf(v.downloadThreads));
    }
    if (!TrimBlanks(v.minDownloadQueue).empty()) {
        app.Setters().SetMinDownloadQueue(NumberOf(v.minDownloadQueue));
    }
    s.resizeLastImage.store(v.resizeLastImage);
    s.logDebug.store(v.logDebug);
    if (v.showLastImage != s.showLastImage.load()) {
        app.Setters().SetShowLastImage(v.showLastImage);
    }
    s.showExitingMsgs.store(v.showExitingMsgs);
    s.autoUpdates.store(v.autoUpdates);
    s.singleRedirectParam.store(v.singleRedirectParam);
    s.redirDefaultType.store(v.redirType);
    app.Setters().SetThreadPriority(v.lowPriority ? -2 : 0);
    app.Setters().SetUserAgent(v.userAgent);
    s.logUrls.store(v.logUrls);
    s.noDownload.store(v.logUrls && v.noDownload);
    s.urlEscapeFilenames.store(v.urlEscapeFilenames);
    s.downloadAsIs.store(v.downloadAsIs);
    app.Options().SaveSettings();
    return refusals;
}

std::string OptionsDialogTitle(std::string_view title, const std::filesystem::path& settingsFile) {
    const std::string name = settingsFile.filename().string();
    if (name == kSettingsFileName) {
        return std::string(title);
    }
    return std::string(title) + ": " + name;
}

}  // namespace wg
