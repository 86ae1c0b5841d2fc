// Queuing pages and files, and taking them back out.
#include <new>

#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"
#include "crawl/block_pool.h"
#include "settings/type_filters.h"
#include "util/log_file.h"
#include "util/text.h"
#include "util/url_unescape.h"

namespace wg {

namespace {

constexpr std::size_t kVisitedLimit = 65536;
constexpr std::size_t kRejectReasonLimit = 255;

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) {
        return false;
    }
    return FindNoCase(text.substr(text.size() - tail.size()), tail, true) == tail.size();
}

// "page.htm>" loses its '>' when a '.' stands 4 or 5 characters from the end.
void DropTrailingAngle(std::string& url) {
    const std::size_t n = url.size();
    if (n >= 4 && url.back() == '>' && (url[n - 4] == '.' || (n >= 5 && url[n - 5] == '.'))) {
        url.pop_back();
    }
}

// The 5th or 6th character is '%': the address was typed or found escaped.
bool LooksEscaped(std::string_view url) {
    return (url.size() > 4 && url[4] == '%') || (url.size() > 5 && url[5] == '%');
}

}  // namespace

void CrawlWork::SetRejectReason(std::string_view reason) {
    parts_->rejectReason.Set(reason.substr(0, std::min(reason.size(), kRejectReasonLimit)));
}

UrlRecordPtr CrawlWork::AddSite(std::string_view urlIn, std::uint8_t allLinked,
                                std::uint8_t withinDomain, std::uint8_t thirdFlag, bool filtered,
                                const std::string* baseUrl) {
    int step = 0;
    std::string url;
    try {
        // 1.
        if (parts_->run.StopAddingLinks()) {
            return nullptr;
        }
        // The index lines of the duplicate tests below load while the filters run.
        parts_->queues.PrefetchPage(urlIn, filtered && (allLinked != 0 || withinDomain != 0));
        // 2.-3.
        url.assign(urlIn);
        if (LooksEscaped(url)) {
            UrlUnescapeInPlace(url);
        }
        parts_->run.SetAbortTransfers(false);
        url = std::string(TrimSpaces(url));

        // 4. The filters of scoped crawls.
        if (filtered && (allLinked != 0 || withinDomain != 0)) {
            step = 2;
            if (!SearchWordsInUrl(parts_->settings, url)) {
                SetRejectReason(kNoSearchWordsRefusal);
                return nullptr;
            }
            if (ContainsSkipKeyword(parts_->settings.types, url)) {
                SetRejectReason(kSkipWordRefusal);
                return nullptr;
            }
            bool seen = false;
            {
                auto lock = parts_->queues.Visited();
                RecordList& visited = *lock;
                seen = visited.ContainsUrl(url);
            }
            if (seen) {
                // Pages this crawl has itself visited are no news: the hint is
                // for a history that earlier crawls left.
                if (parts_->counters.earlierVisits.load() > 0) {
                    SetRejectReason(
                        "URL has been processed before. See Files menu 'Erase URL History'.");
                }
                return nullptr;
            }
        }
        step = 3;
        // 5.
        if (url.size() > 4 && EndsWithNoCase(url, ".gif")) {
            return nullptr;
        }
        // 6.
        const std::string key = parts_->settings.singleRedirectParam.load()
                                    ? std::string(SingleParamKey(url))
                                    : std::string();
        // 7.
        if (url.size() >= 5 && url.compare(url.size() - 5, 5, ";//--") == 0) {
            return nullptr;
        }
        // 8.
        std::size_t cut = 0;
        if (EndsWithNoCase(url, " target=_blank")) {
            cut = 14;
        } else if (EndsWithNoCase(url, " target=")) {
            cut = 8;
        }
        if (cut != 0) {
            url.resize(url.size() - cut);
            if (!url.empty() && url.back() == '\n') {
                url.pop_back();
            }
        }
        // 9.-10. The duplicate test and the append, under one lock.
        auto record = NewUrlRecord();
        record->allLinked = allLinked;
        record->withinDomain = withinDomain;
        record->thirdFlag = thirdFlag;
        if (baseUrl != nullptr) {
            record->baseUrl = *baseUrl;
            record->hasBaseUrl = true;
        }
        {
            auto lock = parts_->queues.Pages();
            RecordList& linksToGrubble = *lock;
            const bool duplicate =
                key.empty() ? linksToGrubble.ContainsUrl(url) : linksToGrubble.ContainsKey(key);
            if (duplicate) {
                return nullptr;
            }
            step = 6;
            parts_->rejectReason.Set({});
            DropTrailingAngle(url);
            record->url = url;
            linksToGrubble.PushBack(record);
        }
        app_.Workers().WakeOneWorker(WorkerKind::Page);
        // 11.
        step = 7;
        app_.RefreshCounterText(Counter::LinksToGrubble);
        if (!filtered) {
            if (allLinked == 0 && withinDomain == 0) {
                app_.ShowStatus("Added single page to fetch.");
            } else if (allLinked != 0) {
                app_.ShowStatus("Added site:  Following ALL links.");
            } else {
                app_.ShowStatus("Added site:  Following links within this domain only.");
            }
            if (parts_->settings.guessUrls.load()) {
                GuessUrls(*record, true);
            }
        }
        // 12.
        if (parts_->settings.logDebug.load()) {
            DebugLog("SITE: %s", record->url.c_str());
        }
        return record;
    } catch (const std::bad_alloc&) {
        DebugLog("AddSite internal error: %d", step);
        const std::string shown = CopyBounded(url.empty() ? urlIn : url, kPathCapacity);
        DebugLog("AddSite error site: %s", shown.c_str());
        return nullptr;
    }
}

void CrawlWork::AddFile(std::string_view urlIn, bool userAdded, bool fileUrlMode) {
    // The index lines of the history and the queue load together, the
    // queue's while the history and the keywords are tested.
    parts_->queues.PrefetchFile(urlIn, !userAdded && parts_->settings.ignoreList.load());
    // 1.-2.
    if (!userAdded) {
        if (DownloadedBefore(urlIn) || parts_->run.StopRequested()) {
            return;
        }
        if (!PassesDownloadKeywords(parts_->settings.types, urlIn)) {
            return;
        }
    }
    // 3.
    std::string url(TrimSpaces(urlIn));
    DropTrailingAngle(url);
    if (!url.empty() && (url.back() == '/' || url.back() == ')')) {
        url.pop_back();
    }
    // 4.-6.
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        if (toDownload.Contains(url)) {
            return;
        }
        // A file a download worker is fetching right now is in neither the
        // queue nor the histories yet.
        if (!userAdded && HeldByDownloadWorker(url)) {
            return;
        }
        if (!userAdded && !fileUrlMode && parts_->hooks.alreadyOnDisk &&
            parts_->hooks.alreadyOnDisk(url)) {
            return;
        }
        toDownload.PushBack(url);
    }
    app_.Workers().WakeOneWorker(WorkerKind::Download);
    // 7.
    parts_->run.SetDownloadingUserFile(fileUrlMode);
    app_.RefreshCounterText(Counter::ToDownload);
    if (parts_->settings.logDebug.load()) {
        DebugLog("FILE : %s", url.c_str());
    }
    // 8.
    if (userAdded && parts_->settings.guessUrls.load()) {
        GuessFileUrls(url);
    }
}

void CrawlWork::AddFileIfWanted(std::string_view url, std::string_view requiredDomain,
                                bool userAdded) {
    const bool withinDomain = parts_->port.SelectedScope() == CrawlScope::WithinDomain;
    switch (CheckFileWanted(parts_->settings, url, requiredDomain, withinDomain)) {
        case FileWanted::Add:
            AddFile(url, userAdded, parts_->run.DownloadingUserFile());
            break;
        case FileWanted::Refuse:
            SetRejectReason(kFileTypeRefusal);
            break;
        case FileWanted::Ignore:
            break;
    }
}

UrlRecordPtr CrawlWork::TakeNextPage(int slot, bool& keepRecord) {
    if (parts_->run.Paused() || parts_->run.StopRequested() ||
        parts_->run.ExitAfterThisDownload()) {
        return nullptr;
    }
    UrlRecordPtr record;
    {
        // Taken and held in one step, as for files.
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        // The slot shows busy before the lock goes: a worker that finds the
        // queues empty must not see this page as neither queued nor in hand.
        record = linksToGrubble.PopFront();
        if (record) {
            NoteHeldPage(slot, record);
            TransferSlot& s = parts_->slots[slot];
            s.SetUrl(record->url);
            s.ResetForItem();
            parts_->itemsSinceFinished.store(true);
        }
    }
    if (!record) {
        return nullptr;
    }
    parts_->counters.pagesTaken.fetch_add(1);
    keepRecord = parts_->run.StopAddingHistory();
    if (!keepRecord) {
        RecordVisited(record, false);
    } else {
        app_.RefreshCounterText(Counter::LinksToGrubble);
    }
    return record;
}

void CrawlWork::RecordVisited(const UrlRecordPtr& record, bool freeIfNotRecorded) {
    app_.RefreshCounterText(Counter::LinksToGrubble);
    if (record && !parts_->run.StopAddingHistory()) {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        // A page saved while it was being scanned is scanned again after a
        // resume; it is visited once.
        if (visited.ContainsUrl(record->url)) {
            return;
        }
        if (visited.Size() >= kVisitedLimit) {
            // A worker still reading the oldest record keeps its own reference.
            (void)visited.PopFront();
        }
        visited.PushBack(record);
    } else if (freeIfNotRecorded && record) {
        PageDone(*record);
    }
}

bool CrawlWork::RemovePage(const UrlRecord* record) {
    UrlRecordPtr taken;
    {
        auto lock = parts_->queues.Pages();
        RecordList& linksToGrubble = *lock;
        for (const auto& e : linksToGrubble.Entries()) {
            if (e.get() == record) {
                taken = e;
                break;
            }
        }
        if (!taken) {
            return false;
        }
        linksToGrubble.RemoveRecord(record);
    }
    parts_->counters.pagesTaken.fetch_add(1);
    app_.RefreshCounterText(Counter::LinksToGrubble);
    if (parts_->run.StopAddingHistory()) {
        PageDone(*taken);
    } else {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        if (!visited.ContainsRecord(taken.get())) {
            visited.PushBack(taken);
        }
    }
    return true;
}

void CrawlWork::PageDone(const UrlRecord& record) {
    parts_->port.PageRecordGone(record);
}

std::optional<std::string> CrawlWork::TakeNextDownload(int slot) {
    if (parts_->run.Paused() || parts_->run.StopRequested() ||
        parts_->run.ExitAfterThisDownload() || parts_->run.WorkHeld() || parts_->run.DiskFull()) {
        return std::nullopt;
    }
    std::optional<std::string> url;
    bool wakePages = false;
    {
        // Taken and held in one step: a state save sees the URL in one place
        // or the other.
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        url = toDownload.PopFront();
        if (url) {
            NoteHeldDownload(slot, *url);
            TransferSlot& s = parts_->slots[slot];
            s.SetUrl(*url);
            s.ResetForItem();
            parts_->itemsSinceFinished.store(true);
            // The page workers wait while the queue is full: the moment it
            // is not, they may go on.
            wakePages = static_cast<std::int64_t>(toDownload.Size()) + 1 ==
                        static_cast<std::int64_t>(parts_->settings.minDownloadQueue.load());
        }
    }
    if (wakePages) {
        app_.Workers().WakeWorkers();
    }
    app_.RefreshCounterText(Counter::ToDownload);
    if (url) {
        parts_->counters.filesTaken.fetch_add(1);
    }
    if (parts_->run.ExitAfterThisDownload()) {
        app_.Control().RequestExit();
        app_.ShowStatus("Exiting After This Download...");
    }
    return url;
}

void CrawlWork::EmptyDownloads() {
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        auto held = parts_->queues.Held();
        auto& pagesToSave = held->pagesToSave;
        if (toDownload.Empty() && pagesToSave.empty()) {
            return;
        }
        toDownload.Clear();
        pagesToSave.clear();
    }
    if (parts_->run.PauseAfterDownloads()) {
        app_.Control().PauseWhenDownloadsEmpty();
    }
    app_.RefreshCounterText(Counter::ToDownload, true);
}

bool CrawlWork::RemoveDownload(std::string_view url, bool recordAsDownloaded) {
    if (parts_->run.StopRequested() || parts_->run.ExitAfterThisDownload()) {
        return false;
    }
    {
        auto lock = parts_->queues.Files();
        UrlList& toDownload = *lock;
        if (toDownload.Empty() || !toDownload.RemoveFirst(url)) {
            return false;
        }
    }
    parts_->counters.filesTaken.fetch_add(1);
    if (recordAsDownloaded) {
        RecordDownloaded(url);
    }
    return true;
}

void CrawlWork::RefreshDownloadCount() {
    app_.RefreshCounterText(Counter::ToDownload);
}

bool CrawlWork::HeldByDownloadWorker(std::string_view url) {
    auto lock = parts_->queues.Held();
    auto& heldDownloads = lock->downloads;
    auto& pagesToSave = lock->pagesToSave;
    if (pagesToSave.contains(url)) {
        return true;
    }
    for (const auto& [slot, held] : heldDownloads) {
        if (held == url) {
            return true;
        }
    }
    return false;
}

void CrawlWork::NoteHeldPage(int slot, UrlRecordPtr record) {
    auto lock = parts_->queues.Held();
    auto& heldPages = lock->pages;
    if (record) {
        heldPages[slot] = std::move(record);
    } else {
        heldPages.erase(slot);
    }
}

void CrawlWork::NoteHeldDownload(int slot, std::string_view url) {
    auto lock = parts_->queues.Held();
    auto& heldDownloads = lock->downloads;
    if (url.empty()) {
        heldDownloads.erase(slot);
    } else {
        heldDownloads[slot] = std::string(url);
    }
}

}  // namespace wg
