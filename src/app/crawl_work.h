// The crawl's work: queuing pages and files with the tests each must pass,
// taking them out for the workers, the pages and files workers hold, the
// keyword purges of queued work, and the download history with its file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "crawl/url_record.h"

namespace wg {

class App;
struct AppParts;

class CrawlWork {
public:
    CrawlWork(App& app, AppParts& parts) : app_(app), parts_(&parts) {}

    // Queues a page. `filtered` (links found on pages, guessed URLs) applies the
    // search-word, skip-word and visited tests and shows nothing; unfiltered
    // adds show the outcome. `baseUrl`, when given, is set before the record is
    // visible to any worker. Returns the queued record or null.
    UrlRecordPtr AddSite(std::string_view url, std::uint8_t allLinked, std::uint8_t withinDomain,
                         std::uint8_t thirdFlag, bool filtered,
                         const std::string* baseUrl = nullptr);
    // Queues a file URL; a user-added URL skips the history, keyword and
    // on-disk tests.
    void AddFile(std::string_view url, bool userAdded, bool fileUrlMode);
    // The add-time file-type test, then AddFile. `requiredDomain` (may be
    // empty) must occur in the URL when the scope is "Within This Domain Only".
    void AddFileIfWanted(std::string_view url, std::string_view requiredDomain, bool userAdded);
    // Takes the oldest page; `keepRecord` tells the caller it owns the record
    // (it was not put into the visited list).
    UrlRecordPtr TakeNextPage(int slot, bool& keepRecord);
    void RecordVisited(const UrlRecordPtr& record, bool freeIfNotRecorded);
    bool RemovePage(const UrlRecord* record);
    void PageDone(const UrlRecord& record);
    // Takes the oldest file URL; empty when there is none to take.
    std::optional<std::string> TakeNextDownload(int slot);
    void EmptyDownloads();
    bool RemoveDownload(std::string_view url, bool recordAsDownloaded);
    void RefreshDownloadCount();
    void RecordDownloaded(std::string_view url);
    bool DownloadedBefore(std::string_view url);
    void ClearRunDownloads();
    bool UrlInHistory(std::string_view url);
    void EraseUrlHistory(bool ask);
    void GuessUrls(const UrlRecord& record, bool filtered);
    void GuessFileUrls(std::string_view url);
    // Apply changed keyword lists to the queues already filled, after asking.
    void ApplySkipKeywordsToQueue();
    void ApplyDownloadKeywordsToQueue();
    void ApplySearchWordsToQueue();
    // Records a refusal reason (cut to 255 characters) for the end of the crawl.
    void SetRejectReason(std::string_view reason);

    // The URL a download worker is fetching (empty: none), and the page a
    // page worker is scanning (null: none): a state save keeps them queued.
    void NoteHeldDownload(int slot, std::string_view url);
    void NoteHeldPage(int slot, UrlRecordPtr record);
    // Whether a download worker is fetching `url` (call with "To Download" locked).
    bool HeldByDownloadWorker(std::string_view url);

    // Writes "History.dta" (the old file becomes "History.bak"); a run that
    // never read it and changed nothing in the history leaves both alone.
    void SaveHistory();
    // Reads "History.dta" (else "History.bak") after what the history holds.
    void LoadHistory();

private:
    // Removes the queued pages for which `remove` holds, as taken pages.
    void PurgeQueuedPages(const std::function<bool(const UrlRecord&)>& remove);

    App& app_;
    AppParts* parts_;
};

}  // namespace wg
