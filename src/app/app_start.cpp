// Starting a crawl: the typed address is checked, completed to an http
// address, names the per-site state and settings files, and is queued as a
// page (with the chosen scope) or as a single file. The workers, already
// running, pick it up.
#include <algorithm>
#include <string>

#include "app/app.h"
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
    RememberTypedUrl(address);
    if (StartsWithNoCase(address, "ftp:")) {
        port_.Tell("Sorry, Web Grubbler cannot process ftp sites yet.", "Error", Icon::Error);
        return false;
    }
    if (!HasScheme(address)) {
        address = "http://" + address;
    }
    NameStateFileForUrl(address);
    tally_.Reset(platform::SteadyMilliseconds());
    port_.SetCrawlRunning(true);
    run_.SetTrackLastDownload(true);

    if (request.scope == CrawlScope::FileUrl) {
        run_.SetDownloadingUserFile(true);
        AddFile(address, true, true);
        ResumeAfterStop();
        return true;
    }
    // The start address is queued even while links are not being added.
    const bool stopAddingLinks = run_.StopAddingLinks();
    run_.SetStopAddingLinks(false);
    run_.SetDownloadingUserFile(false);
    ClearRunDownloads();
    run_.SetCrawlStarted(true);
    const bool allLinked = request.scope == CrawlScope::AllLinked;
    const bool withinDomain = request.scope == CrawlScope::WithinDomain;
    if ((allLinked || withinDomain) && UrlInHistory(address)) {
        EraseUrlHistory(false);
    }
    {
        auto lock = queues_.Visited();
        RecordList& visited = *lock;
        counters_.earlierVisits.store(visited.Size());
    }
    (void)AddSite(address, allLinked ? 1 : 0, withinDomain ? 1 : 0, 0, request.webPagesChecked);
    run_.SetStopAddingLinks(stopAddingLinks);
    AddFileIfWanted(address, {}, true);
    ResumeAfterStop();
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
    tally_.Reset(platform::SteadyMilliseconds());
    port_.SetCrawlRunning(true);
    run_.SetTrackLastDownload(true);
    run_.SetStopAddingLinks(false);
    if (answers.fileMode) {
        AddFile(address, true, true);
    } else {
        ClearRunDownloads();
        run_.SetCrawlStarted(true);
        if ((answers.allLinked || answers.withinDomain) && UrlInHistory(address)) {
            EraseUrlHistory(false);
        }
        (void)AddSite(address, answers.allLinked ? 1 : 0, answers.withinDomain ? 1 : 0,
                      answers.thirdFlag, false);
        AddFileIfWanted(address, {}, true);
    }
    port_.SetScopeButtons(answers.allLinked, answers.withinDomain);
    ResumeAfterStop();
    return true;
}

void App::NameStateFileForUrl(std::string_view address) {
    if (run_.StateLoaded()) {
        bool queued = false;
        {
            auto lock = queues_.Pages();
            RecordList& linksToGrubble = *lock;
            queued = !linksToGrubble.Empty();
        }
        if (!queued) {
            auto lock = queues_.Files();
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
    if (settings_.urlEscapeFilenames.load()) {
        (void)UrlFormEncode(text, name, kPathLimit);
    } else {
        name = std::string(text);
        ReplaceChar(name, '/', '_');
    }
    const std::string dir = paths_.programDir.string();
    if (dir.size() + name.size() + 5 >= kPathLimit) {
        name.resize(kPathLimit > dir.size() + 6 ? kPathLimit - dir.size() - 6 : 0);
    }
    if (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    paths_.stateFile = paths_.programDir / (name + ".sav");
    paths_.settingsFile = paths_.programDir / (name + ".ini");
    run_.SetStateFileDirty(true);
}

void App::RememberTypedUrl(const std::string& address) {
    recentUrls_.Remember(address);
}

std::string App::RecentUrlOlder(const std::string& fieldText) const {
    return recentUrls_.Older(fieldText);
}

std::string App::RecentUrlNewer(const std::string& fieldText) const {
    return recentUrls_.Newer(fieldText);
}

}  // namespace wg
