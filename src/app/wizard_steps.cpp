// The wizard's pages as data: questions, the Next and Prev rules, what each
// page takes from its controls, the file-type groups of page 6, and the
// writing of the answers into the settings before the crawl starts.
#include "app/wizard_steps.h"
#include "app/option_setters.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/app.h"
#include "app/option_files.h"
#include "platform/files.h"
#include "settings/type_groups.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kListCapacity = 1024;
constexpr std::size_t kNameLimit = 259;
constexpr std::size_t kPathLimit = 260;
// More characters than this make search words worth a search page.
constexpr std::size_t kShortSearchWords = 2;

constexpr std::string_view kUrlMissing =
    "\n    Please enter the web address of the site you wish to search.    \n\n";
constexpr std::string_view kDirectoryMissing =
    "\n   Please enter a directory to download the files to.   \n\n";

constexpr std::array<std::string_view, 28> kMediaExtensions = {
    ".avi",  ".asf", ".moov", ".mov",  ".mpg",  ".mpeg", ".qt",  ".wmv", ".aac", ".ac",
    ".aiff", ".au",  ".kar",  ".m4a",  ".midi", ".mp3",  ".mp4", ".ogg", ".ra",  ".rm",
    ".wav",  ".bmp", ".gif",  ".jpeg", ".jpg",  ".png",  ".tga", ".tiff"};

constexpr std::array<std::string_view, kWizardLastPage + 1> kQuestions = {
    "Welcome to Web Grubbler. Please select an option below:",
    "Select a download option below:",
    "Enter Website Address below:",
    "Enter Download URL below:",
    "Select How To Download:",
    "Select Where To Download The Files On Your Computer:",
    "Enter File Types To Download:",
    "To Skip URLS containing Keywords Enter Word(s) Below:",
    "To Search By Keywords Within URLs Enter Word(s) Below:",
    "Select How To Search Below:",
    "Select How To Save Your Downloads:",
    "Miscellaneous Options:"};

// The help sections of each page, in website mode and in file mode.
constexpr std::array<std::string_view, kWizardLastPage + 1> kWebsiteHelp = {
    "wizard-step",
    "wizard-step2",
    "wizard-website-step",
    "wizard-files-step",
    "wizard-files-step2",
    "wizard-website-step6",
    "wizard-files-skip-step2",
    "wizard-website-step2",
    "wizard-website-step3",
    "wizard-website-step4",
    "wizard-website-step5",
    "wizard-website-step6"};
constexpr std::array<std::string_view, kWizardLastPage + 1> kFileHelp = {"wizard-step",
                                                                         "wizard-step2",
                                                                         "wizard-website-step",
                                                                         "wizard-files-step",
                                                                         "wizard-files-step2",
                                                                         "wizard-files-skip-step",
                                                                         "wizard-files-skip-step2",
                                                                         "wizard-files-skip-step3",
                                                                         "wizard-files-skip-step4",
                                                                         "wizard-files-skip-step5",
                                                                         "wizard-files-skip-step6",
                                                                         "wizard-files-skip-step7"};

std::string Join(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) {
        if (!text.empty()) {
            text += ';';
        }
        text += entry;
    }
    return CopyBounded(text, kListCapacity);
}

void AddEntries(std::vector<std::string>& list, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        if (std::find(list.begin(), list.end(), entry) == list.end()) {
            list.push_back(entry);
        }
    }
}

void RemoveEntries(std::vector<std::string>& list, const std::vector<std::string>& entries) {
    std::erase_if(list, [&](const std::string& entry) {
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    });
}

std::vector<std::string> GroupEntries(std::size_t box, const AppSettings& settings) {
    switch (box) {
        case kBoxMovies:
            return settings.types.Get(TypeKind::MovieTypes)->entries;
        case kBoxMusic:
            return settings.types.Get(TypeKind::MusicTypes)->entries;
        case kBoxPictures:
            return settings.types.Get(TypeKind::PictureTypes)->entries;
        default:
            return ParseTypeList(kDefaultFileTypes).entries;
    }
}

// The per-site settings file's name: the URL after "://" up to its '?', with
// '/' made '_' (or form-encoded), short enough for the whole path, without
// a trailing '_' (so it stands beside the state file of the same name).
std::string SettingsNameForUrl(std::string_view url, bool escape, std::size_t dirLength) {
    const std::size_t scheme = url.find("://");
    std::string_view text = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    text = text.substr(0, std::min(text.find('?'), kNameLimit));
    std::string name;
    if (escape) {
        (void)UrlFormEncode(text, name, kPathLimit);
    } else {
        name = std::string(text);
        ReplaceChar(name, '/', '_');
    }
    if (dirLength + name.size() + 5 >= kPathLimit) {
        name.resize(kPathLimit > dirLength + 6 ? kPathLimit - dirLength - 6 : 0);
    }
    if (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name;
}

}  // namespace

WizardState ReadWizardState(const App& app) {
    WizardState state;
    ReloadWizardSettings(state, app);
    state.stateAvailable = platform::FileExists(app.Paths().stateFile);
    state.stateLoaded = app.State().StateLoaded();
    return state;
}

void ReloadWizardSettings(WizardState& state, const App& app) {
    const AppSettings& s = app.Settings();
    state.directory = CopyBounded(app.Paths().downloadDir.string(), kUrlCapacity);
    state.fileTypes.clear();
    state.skipWords = s.types.Text(TypeKind::ExclusionTypes);
    state.searchWords = s.types.Text(TypeKind::SearchWords);
    state.searchType = s.searchType.load();
    state.saveStructure = s.downloadDirStructure.load();
    state.guess = s.guessUrls.load();
    state.cookie = s.sendCookie.load();
    state.saveEvery5 = s.saveEvery5.load();
    state.doNotModify = s.downloadAsIs.load();
    state.minFileSize = s.minFileSize.load();
    // Until page 6 is shown the groups are those in use, so that the answers
    // of an early page ("More Options") leave them alone.
    const int dft = s.dft.load();
    for (std::size_t box = 0; box < state.groups.size(); ++box) {
        state.groups[box] = (dft & (1 << box)) != 0;
    }
}

std::string_view WizardQuestion(int page, bool singleFile) {
    if (page == 5 && singleFile) {
        return "Select Where To Download The File On Your Computer:";
    }
    if (page < 0 || page > kWizardLastPage) {
        return "Style Error";
    }
    return kQuestions[static_cast<std::size_t>(page)];
}

std::string RemoveMinSizeLabel(int bytes) {
    char text[96];
    std::snprintf(text, sizeof text, "Remove minimum file size (currently set to %d bytes)", bytes);
    return text;
}

std::string WizardHelpAnchor(const WizardState& state) {
    if (state.page < 0 || state.page > kWizardLastPage) {
        return std::string(kWebsiteHelp[0]);
    }
    if (state.page == kWizardLastPage && state.singleFile && !state.websiteMode) {
        return "wizard-files-misc-step";
    }
    const auto page = static_cast<std::size_t>(state.page);
    return std::string(state.websiteMode ? kWebsiteHelp[page] : kFileHelp[page]);
}

bool IsMediaUrl(std::string_view url) {
    return std::any_of(kMediaExtensions.begin(), kMediaExtensions.end(),
                       [url](std::string_view ext) { return url.ends_with(ext); });
}

void EnterWizardPage(WizardState& state, int page) {
    state.page = page;
    if (page == 2) {
        state.websiteMode = true;
    } else if (page == 3) {
        state.websiteMode = false;
    }
}

void ChooseSinglePage(WizardState& state, bool onePage) {
    state.singlePage = onePage;
    if (onePage) {
        state.followAll = false;
        state.withinSite = false;
    } else {
        state.withinSite = true;
    }
}

WizardStep CollectWizardStep(App& app, WizardState& state, const WizardPageInput& input) {
    AppSettings& settings = app.Settings();
    switch (state.page) {
        case 2:
        case 3: {
            const std::string url = CopyBounded(TrimBlanks(input.text), kUrlCapacity);
            if (url.empty()) {
                return {false, std::string(kUrlMissing)};
            }
            state.url = url;
            settings.lastUrlScanned.Set(url);
            if (state.page == 2) {
                // A web site's address has no other way to be a single file:
                // an address typed anew decides again.
                state.singleFile = IsMediaUrl(url);
            } else if (!state.singleFile && IsMediaUrl(url)) {
                state.singleFile = true;
            }
            if (state.page == 2 && state.websiteMode && state.singlePage) {
                state.skipWords.clear();
                state.searchWords.clear();
            }
            break;
        }
        case 4:
            if (input.radio >= 0 && input.radio <= 2) {
                state.withinSite = input.radio == 0;
                state.followAll = input.radio == 1;
                state.singleFile = input.radio == 2;
            }
            break;
        case 5: {
            const std::string dir = CopyBounded(TrimBlanks(input.text), kUrlCapacity);
            if (dir.empty()) {
                return {false, std::string(kDirectoryMissing)};
            }
            state.directory = dir;
            break;
        }
        case 6:
            state.fileTypes = Join(input.entries);
            // An empty list would want no file at all: the list in use stays.
            if (!state.fileTypes.empty()) {
                settings.types.Set(TypeKind::FileTypes, state.fileTypes);
            }
            break;
        case 7:
            state.skipWords = Join(input.entries);
            settings.types.Set(TypeKind::ExclusionTypes, state.skipWords);
            break;
        case 8:
            state.searchWords = Join(input.entries);
            settings.types.Set(TypeKind::SearchWords, state.searchWords);
            break;
        case 9:
            if (input.radio >= 0 && input.radio <= 2) {
                constexpr std::array<int, 3> kTypes = {kSearchInUrl, kSearchOnPage, kNoSearch};
                state.searchType = kTypes[static_cast<std::size_t>(input.radio)];
            }
            break;
        case 10:
            if (input.radio >= 0 && input.radio <= 2) {
                state.saveStructure = input.radio;
            }
            break;
        case 11:
            state.cookie = input.checks[0];
            state.saveEvery5 = input.checks[1];
            if (state.websiteMode) {
                // "Modify HTML for offline viewing" is the opposite of DOWNLOAD_AS_IS.
                state.doNotModify = !input.checks[2];
            } else {
                state.guess = input.checks[2];
            }
            state.removeMinSize = state.websiteMode && state.minFileSize != 0 && input.checks[3];
            break;
        default:
            break;
    }
    return {};
}

int NextWizardPage(WizardState& state) {
    switch (state.page) {
        case 2:
            return state.websiteMode && state.singlePage ? 10 : 7;
        case 3:
            return 4;
        case 4:
            return 5;
        case 5:
            return state.singleFile || state.websiteMode ? 11 : 6;
        case 6:
            return 7;
        case 7:
            return 8;
        case 8:
            if (state.searchWords.size() > kShortSearchWords) {
                return 9;
            }
            state.searchType = kNoSearch;
            return 10;
        case 9:
            return 10;
        case 10:
            return state.websiteMode ? 5 : 11;
        case kWizardLastPage:
            return -1;
        default:
            return state.page;
    }
}

int PrevWizardPage(const WizardState& state) {
    switch (state.page) {
        case 1:
            return 0;
        case 2:
        case 3:
            return 1;
        case 4:
            return 3;
        case 5:
            return state.websiteMode ? 10 : 4;
        case 6:
            return 5;
        case 7:
            return state.websiteMode ? 2 : 6;
        case 8:
            return 7;
        case 9:
            return 8;
        case 10:
            if (state.websiteMode && state.singlePage) {
                return 2;
            }
            // Back the way Next came: page 9 was shown only for such words.
            return state.searchWords.size() > kShortSearchWords ? 9 : 8;
        case kWizardLastPage:
            return !state.singleFile && !state.websiteMode ? 10 : 5;
        default:
            return state.page;
    }
}

std::vector<std::string> ListEntriesOf(std::string_view text) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            entries.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return entries;
}

std::vector<std::string> OpenFileTypesPage(WizardState& state, const AppSettings& settings) {
    if (state.fileTypes.empty()) {
        state.fileTypes = settings.types.Text(TypeKind::FileTypes);
    }
    state.groups[kBoxWebPages] = state.websiteMode || state.fileTypes == kDefaultFileTypes;
    if (state.fileTypes == ".") {
        return {};
    }
    return ListEntriesOf(state.fileTypes);
}

void ToggleTypeGroup(WizardState& state, std::vector<std::string>& list, std::size_t box,
                     bool ticked, const AppSettings& settings) {
    if (box >= state.groups.size()) {
        return;
    }
    const std::vector<std::string> webPages = GroupEntries(kBoxWebPages, settings);
    if (box == kBoxWebPages) {
        if (ticked) {
            AddEntries(list, webPages);
            state.groups[kBoxMovies] = state.groups[kBoxMusic] = state.groups[kBoxPictures] = false;
        } else {
            RemoveEntries(list, webPages);
        }
    } else if (ticked) {
        if (state.groups[kBoxWebPages]) {
            RemoveEntries(list, webPages);
            state.groups[kBoxWebPages] = false;
        }
        AddEntries(list, GroupEntries(box, settings));
    } else {
        RemoveEntries(list, GroupEntries(box, settings));
    }
    state.groups[box] = ticked;
}

bool ApplyWizardChoices(App& app, const WizardState& state) {
    if (!app.Options().SetSaveDirectory(state.directory)) {
        return false;
    }
    AppSettings& s = app.Settings();
    int mask = 0;
    if (state.groups[kBoxWebPages] || state.websiteMode) {
        mask |= kGroupWebPages;
    }
    mask |= state.groups[kBoxMovies] ? kGroupMovies : 0;
    mask |= state.groups[kBoxMusic] ? kGroupMusic : 0;
    mask |= state.groups[kBoxPictures] ? kGroupPictures : 0;
    s.dft.store(mask);

    if (state.websiteMode) {
        s.types.Set(TypeKind::FileTypes, kDefaultFileTypes);
    } else if (!state.fileTypes.empty()) {
        s.types.Set(TypeKind::FileTypes, state.fileTypes);
    }
    s.types.Set(TypeKind::ExclusionTypes, state.skipWords);
    s.types.Set(TypeKind::DownloadKeywords,
                state.websiteMode ? std::string_view() : std::string_view(state.skipWords));
    s.types.Set(TypeKind::SearchWords, state.searchWords);

    s.downloadDirStructure.store(state.saveStructure);
    s.searchType.store(state.searchType == kSearchInUrl || state.searchType == kSearchOnPage
                           ? state.searchType
                           : kNoSearch);
    s.guessUrls.store(!state.websiteMode && state.guess);
    s.sendCookie.store(state.cookie);
    app.Setters().SetPeriodicSave(state.saveEvery5);
    if (state.removeMinSize) {
        s.minFileSize.store(0);
    }
    s.downloadAsIs.store(state.doNotModify);

    // Without an address there is no site to name the settings after.
    const std::string_view url = TrimBlanks(state.url);
    if (!url.empty()) {
        const std::string dir = app.Paths().programDir.string();
        app.Paths().settingsFile =
            app.Paths().programDir /
            (SettingsNameForUrl(url, s.urlEscapeFilenames.load(), dir.size()) + ".ini");
        app.State().SetStateFileDirty(true);
    }
    return true;
}

bool StartFromWizard(App& app, const WizardState& state) {
    if (!ApplyWizardChoices(app, state)) {
        return false;
    }
    WizardAnswers answers;
    answers.address = state.url;
    answers.fileMode = state.singleFile;
    answers.allLinked = state.followAll;
    answers.withinDomain = state.withinSite;
    answers.thirdFlag = state.websiteMode ? 1 : 0;
    answers.singlePage = state.singlePage;
    return app.StartCrawlFromWizard(answers);
}

CrawlScope WizardScope(const WizardState& state) {
    if (state.singleFile) {
        return CrawlScope::FileUrl;
    }
    if (state.followAll) {
        return CrawlScope::AllLinked;
    }
    return state.withinSite ? CrawlScope::WithinDomain : CrawlScope::OnlyThisPage;
}

}  // namespace wg
