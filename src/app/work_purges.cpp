// Applying changed keyword lists to the queues that are already filled.
#include <vector>

#include "app/app_parts.h"
#include "app/crawl_work.h"
#include "util/text.h"

namespace wg {

namespace {

// Entries are taken literally here: '!' is part of the word. The lone '.'
// that the list parser appends to a list of required words is not a keyword:
// every URL contains it, and it would empty the whole queue.
bool ContainsLiteralEntry(const TypeEntries& list, std::string_view url) {
    for (const std::string& entry : list.entries) {
        if (entry == ".") {
            continue;
        }
        if (FindNoCase(url, entry, true) != kNotFound) {
            return true;
        }
    }
    return false;
}

bool HasEntries(const TypeSnapshot& list) {
    return !list->entries.empty();
}

}  // namespace

void CrawlWork::ApplySkipKeywordsToQueue() {
    const TypeSnapshot words = parts_->settings.types.Get(TypeKind::ExclusionTypes);
    bool queued = false;
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        queued = !linksToGrubble.Empty();
    }
    if (!HasEntries(words) || !queued) {
        return;
    }
    if (parts_->port.Ask("Apply new 'Keywords in URL To Skip' to current 'To Grubble' list?",
                         "Question", Buttons::YesNo, Icon::Question) != Answer::Yes) {
        return;
    }
    PurgeQueuedPages([&words](const UrlRecord& r) { return ContainsLiteralEntry(*words, r.url); });
}

void CrawlWork::ApplyDownloadKeywordsToQueue() {
    const TypeSnapshot words = parts_->settings.types.Get(TypeKind::DownloadKeywords);
    bool queued = false;
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        queued = !toDownload.Empty();
    }
    if (!HasEntries(words) || !queued) {
        return;
    }
    if (parts_->port.Ask("Apply new 'Keywords in Download To Skip' to current download list?",
                         "Question", Buttons::YesNo, Icon::Question) != Answer::Yes) {
        return;
    }
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        toDownload.RemoveIf(
            [&words](const std::string& url) { return ContainsLiteralEntry(*words, url); });
    }
    app_.RefreshCounterText(Counter::ToDownload);
}

void CrawlWork::ApplySearchWordsToQueue() {
    const TypeSnapshot words = parts_->settings.types.Get(TypeKind::SearchWords);
    bool queued = false;
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        queued = !linksToGrubble.Empty();
    }
    if (!HasEntries(words) || !queued || parts_->settings.searchType.load() != kSearchInUrl) {
        return;
    }
    if (parts_->port.Ask("Apply new 'Search Words' to current site list?", "Question",
                         Buttons::YesNo, Icon::Question) != Answer::Yes) {
        return;
    }
    PurgeQueuedPages([&words](const UrlRecord& r) { return !ContainsLiteralEntry(*words, r.url); });
}

void CrawlWork::PurgeQueuedPages(const std::function<bool(const UrlRecord&)>& remove) {
    std::vector<UrlRecordPtr> removed;
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        for (const auto& e : linksToGrubble.Entries()) {
            if (remove(*e)) {
                removed.push_back(e);
            }
        }
        linksToGrubble.RemoveIf(remove);
    }
    // Disposed as taken pages: they join the visited list.
    for (const auto& r : removed) {
        RecordVisited(r, true);
    }
    app_.RefreshCounterText(Counter::LinksToGrubble);
}

}  // namespace wg
