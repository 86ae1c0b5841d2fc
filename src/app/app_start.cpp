// Starting a crawl: the typed address is checked, completed to an http
// address, names the per-site state and settings files, and is queued as a
// page (with the chosen scope) or as a single file. The workers, already
// running, pick it up.
#include <algorithm>
#include <string>

#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/crawl_work.h"
#include "app/recent_texts.h"
#include "platform/clock.h"
#include "util/text.h"

namespace wg {
namespace {

constexpr std::size_t kAddressLimit = 1023;
constexpr std::size_t kStateNameLimit = 259;
constexpr std::size_t kPathLimit = 260;

// An address names its scheme ("http://...", "https://..."); a bare host, also
// one with a port ("localhost:8080/a"), does not.
bool HasScheme(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    const std::string_view scheme = address.substr(0, colon);
    const bool letters = std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    return letters && address.substr(colon).starts_with("://");
}

}  // namespace

bool App::StartCrawl(const CrawlRequest& request) {
    // Blanks pasted around an address are not part of it.
    std::string address = CopyBounded(TrimBlanks(request.address), kAddressLimit + 1);
    if (address.empty()) {
        ShowStatus("Please type in a web address to the right of where it says URL above.");
        return false;
    }
    parts_->recentUrls.Remember(address);
    if (StartsWithNoCase(address, "ftp:")) {
        parts_->port.Tell("Sorry, Web Grubbler cannot process ftp sites yet.", "Error",
                          Icon::Error);
        return false;
    }
    if (!HasScheme(address)) {
        address = "http://" + address;
    }
    NameStateFileForUrl(address);
    parts_->tally.Reset(platform::SteadyMilliseconds());
    parts_->port.SetCrawlRunning(true);
    parts_->run.SetTrackLastDownload(true);

    if (request.scope == CrawlScope::FileUrl) {
        parts_->run.SetDownloadingUserFile(true);
        Work().AddFile(address, true, true);
        Control().ResumeAfterStop();
        return true;
    }
    // The start address is queued even while links are not being added.
    const bool stopAddingLinks = parts_->run.StopAddingLinks();
    parts_->run.SetStopAddingLinks(false);
    parts_->run.SetDownloadingUserFile(false);
    Work().ClearRunDownloads();
    parts_->run.SetCrawlStarted(true);
    const bool allLinked = request.scope == CrawlScope::AllLinked;
    const bool withinDomain = request.scope == CrawlScope::WithinDomain;
    if ((allLinked || withinDomain) && Work().UrlInHistory(address)) {
        Work().EraseUrlHistory(false);
    }
    {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        parts_->counters.earlierVisits.store(visited.Size());
    }
    (void)Work().AddSite(address, allLinked ? 1 : 0, withinDomain ? 1 : 0, 0,
                         request.webPagesChecked);
    parts_->run.SetStopAddingLinks(stopAddingLinks);
    Work().AddFileIfWanted(address, {}, true);
    Control().ResumeAfterStop();
    return true;
}

bool App::StartCrawlFromWizard(const WizardAnswers& answers) {
    std::string address = CopyBounded(TrimBlanks(answers.address), kAddressLimit + 1);
    if (address.empty()) {
        return false;
    }
    if (!HasScheme(address)) {
        address = "http://" + address;
    }
    // A single file keeps the state file in use; a crawl names its own.
    if (!answers.fileMode) {
        NameStateFileForUrl(address);
    }
    parts_->tally.Reset(platform::SteadyMilliseconds());
    parts_->port.SetCrawlRunning(true);
    parts_->run.SetTrackLastDownload(true);
    parts_->run.SetStopAddingLinks(false);
    if (answers.fileMode) {
        Work().AddFile(address, true, true);
    } else {
        Work().ClearRunDownloads();
        parts_->run.SetCrawlStarted(true);
        if ((answers.allLinked || answers.withinDomain) && Work().UrlInHistory(address)) {
            Work().EraseUrlHistory(false);
        }
        (void)Work().AddSite(address, answers.allLinked ? 1 : 0, answers.withinDomain ? 1 : 0,
                             answers.thirdFlag, false);
        Work().AddFileIfWanted(address, {}, true);
    }
    parts_->port.SetScopeButtons(answers.allLinked, answers.withinDomain);
    Control().ResumeAfterStop();
    return true;
}

void App::NameStateFileForUrl(std::string_view address) {
    if (parts_->run.StateLoaded()) {
        bool queued = false;
        {
            auto lock = parts_->queues.Pages();
            RecordList& linksToGrubble = *lock;
            queued = !linksToGrubble.Empty();
        }
        if (!queued) {
            auto lock = parts_->queues.Files();
            UrlList& toDownload = *lock;
            queued = !toDownload.Empty();
        }
        if (queued) {
            return;
        }
    }
    const std::size_t colon = address.find(':');
    std::string_view text = colon == std::string_view::npos
                                ? address
                                : address.substr(std::min(colon + 3, address.size()));
    text = text.substr(0, std::min(text.find('?'), kStateNameLimit));

    std::string name;
    if (parts_->settings.urlEscapeFilenames.load()) {
        (void)UrlFormEncode(text, name, kPathLimit);
    } else {
        name = std::string(text);
        ReplaceChar(name, '/', '_');
    }
    const std::string dir = parts_->paths.programDir.string();
    if (dir.size() + name.size() + 5 >= kPathLimit) {
        name.resize(kPathLimit > dir.size() + 6 ? kPathLimit - dir.size() - 6 : 0);
    }
    if (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    parts_->paths.stateFile = parts_->paths.programDir / (name + ".sav");
    parts_->paths.settingsFile = parts_->paths.programDir / (name + ".ini");
    parts_->run.SetStateFileDirty(true);
}

}  // namespace wg
