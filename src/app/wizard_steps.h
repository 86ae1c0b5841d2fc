// The start-up wizard without its window: the answers collected so far, the
// page that follows or precedes each page, what each page takes from its
// controls, the lists of pages 6 to 8, and the two operations that write the
// answers into the settings and start the crawl. The window
// (src/ui/wizard_window.*) shows a page and hands its controls' states here.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/ui_port.h"

namespace wg {

class App;
struct AppSettings;

inline constexpr int kWizardLastPage = 11;

// How the wizard was closed.
enum class WizardResult { Continue, ClassicView, LoadState, Exit };

// The wizard's answers, alive while the window is open.
struct WizardState {
    int page = 0;
    bool websiteMode = false;  // "Download Web Page(s)" (else "Download File(s)")
    bool singlePage = false;   // "Download This One Page"
    bool singleFile = false;   // "Only Download This One File.", or a media URL
    bool followAll = false;    // "Follow All Links (even if they link to other sites)."
    bool withinSite = true;    // "Only Download Files From Within This Website."
    std::string url;
    std::string directory;        // SAVEPATH at the start
    std::string fileTypes;        // empty until page 6 takes FILE_TYPES
    std::string skipWords;        // EXCLUSION_TYPES at the start
    std::string searchWords;      // URL_SEARCH_WORDS at the start
    int searchType = 0;           // SEARCH_TYPE
    int saveStructure = 2;        // DOWNLOAD_DIR_STRUCTURE
    bool guess = false;           // GUESS_URLS
    bool cookie = false;          // SEND_COOKIE
    bool saveEvery5 = false;      // SAVE_EVERY_5
    bool doNotModify = false;     // DOWNLOAD_AS_IS
    bool removeMinSize = false;   // "Remove minimum file size ..." ticked
    int minFileSize = 0;          // MIN_FILE_SIZE, for that box's label
    bool stateAvailable = false;  // a state file can be loaded
    bool stateLoaded = false;     // a state file is in use ("Load As")
    // The boxes of page 6 in TypeBox order: web pages, movies, music, pictures.
    std::array<bool, 4> groups{};
};

// The state the wizard opens with, read from the App.
WizardState ReadWizardState(const App& app);
// After "More Options": the answers that the options hold are read again;
// the page, the mode, the scope and the URL stay.
void ReloadWizardSettings(WizardState& state, const App& app);

// What a page's controls hold when it is left.
struct WizardPageInput {
    int radio = -1;                    // the checked one of the page's three radios; -1 none
    std::array<bool, 4> checks{};      // page 11's boxes, top to bottom
    std::string text;                  // the URL (pages 2, 3) or the directory (page 5)
    std::vector<std::string> entries;  // the list (pages 6 to 8)
};

// The outcome of leaving a page: refused with a message for the "Error" box.
struct WizardStep {
    bool accepted = true;
    std::string message;
};

// The question of a page ("Style Error" for a page that does not exist).
std::string_view WizardQuestion(int page, bool singleFile);
// The label of page 11's fourth box.
std::string RemoveMinSizeLabel(int bytes);
// The help page's anchor for the current page and mode.
std::string WizardHelpAnchor(const WizardState& state);
// Whether a URL ends in one of the media extensions (case-sensitive).
bool IsMediaUrl(std::string_view url);

// Makes `page` the current one; page 2 sets the website mode, page 3 clears it.
void EnterWizardPage(WizardState& state, int page);
// Page 2's pair: "Download This One Page" or "Download Entire Website".
void ChooseSinglePage(WizardState& state, bool onePage);

// Takes the page's controls into the state (and applies the lists of pages
// 6 to 8 at once). Refused for an empty URL or directory.
WizardStep CollectWizardStep(App& app, WizardState& state, const WizardPageInput& input);

// The page after the current one, once it was collected (page 8 may clear
// the search type on the way); -1 from page 11, where the crawl starts.
int NextWizardPage(WizardState& state);
// The page before the current one.
int PrevWizardPage(const WizardState& state);

// Page 6 opened: the file-types text (FILE_TYPES when still empty), the
// "Web Pages" box, and the list entries to show.
std::vector<std::string> OpenFileTypesPage(WizardState& state, const AppSettings& settings);
// Pages 7 and 8 opened: the entries of the skip or search words.
std::vector<std::string> ListEntriesOf(std::string_view text);
// A click on one of page 6's boxes (`box` in TypeBox order), `ticked` its new
// state: the list gains or loses the group's entries, and the boxes follow.
void ToggleTypeGroup(WizardState& state, std::vector<std::string>& list, std::size_t box,
                     bool ticked, const AppSettings& settings);

// Writes the answers into the settings. The download directory comes first:
// when it is refused (the user is told), nothing else is applied (false).
bool ApplyWizardChoices(App& app, const WizardState& state);
// "Go Dig": applies the answers and starts the crawl or the single file;
// false when nothing was started.
bool StartFromWizard(App& app, const WizardState& state);
// The scope button the main window shows after the start.
CrawlScope WizardScope(const WizardState& state);

}  // namespace wg
