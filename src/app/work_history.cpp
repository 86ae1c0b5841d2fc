// The download history, this run's downloads, the visited list's history
// operations and URL guessing.
#include "app/app_parts.h"
#include "app/crawl_work.h"
#include "app/worker_pool.h"
#include "platform/clock.h"
#include "util/text.h"
#include "util/timing.h"
#include "util/url_unescape.h"

namespace wg {

namespace {

constexpr std::size_t kHistoryLimit = 65536;
constexpr std::size_t kRunDownloadsLimit = 32768;
constexpr std::size_t kLongestRecordedUrl = 767;

void AppendLimited(UrlList& list, std::size_t limit, std::string_view url) {
    if (list.Size() >= limit) {
        (void)list.PopFront();
    }
    if (url.empty() || url.size() > kLongestRecordedUrl) {
        return;
    }
    list.PushBack(url);
}

}  // namespace

void CrawlWork::RecordDownloaded(std::string_view url) {
    if (parts_->settings.ignoreList.load()) {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        AppendLimited(downloadHistory, kHistoryLimit, url);
        parts_->historyChanged.store(true);
    } else if ((parts_->settings.dft.load() & kGroupWebPages) != 0) {
        auto lock = parts_->queues.History();
        UrlList& runDownloads = lock->thisRun;
        AppendLimited(runDownloads, kRunDownloadsLimit, url);
    }
}

bool CrawlWork::DownloadedBefore(std::string_view url) {
    if (parts_->settings.ignoreList.load()) {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        if (!downloadHistory.Contains(url)) {
            return false;
        }
        // An old entry that is still hit is moved to the end so that it stays
        // recent; only a history larger than the saved one has such entries.
        const std::size_t n = downloadHistory.Size();
        if (n >= 98305) {
            const auto i = downloadHistory.NewestIndexOf(url);
            if (i && *i < n - kRunDownloadsLimit) {
                downloadHistory.MoveToBack(url);
            }
        }
        return true;
    }
    if ((parts_->settings.dft.load() & kGroupWebPages) != 0) {
        auto lock = parts_->queues.History();
        UrlList& runDownloads = lock->thisRun;
        return runDownloads.Contains(url);
    }
    return false;
}

void CrawlWork::ClearRunDownloads() {
    auto lock = parts_->queues.History();
    UrlList& runDownloads = lock->thisRun;
    runDownloads.Clear();
}

bool CrawlWork::UrlInHistory(std::string_view urlIn) {
    std::string url(urlIn);
    if ((url.size() > 4 && url[4] == '%') || (url.size() > 5 && url[5] == '%')) {
        UrlUnescapeInPlace(url);
    }
    const std::string_view trimmed = TrimSpaces(url);
    auto lock = parts_->queues.Visited();
    RecordList& visited = *lock;
    return visited.ContainsUrl(trimmed);
}

void CrawlWork::EraseUrlHistory(bool ask) {
    if (ask) {
        if (parts_->port.Ask("Are you sure you want to erase the history of URLs scanned?",
                             "Warning", Buttons::YesNo, Icon::Question) != Answer::Yes) {
            app_.ShowStatus("Erase action aborted.");
            return;
        }
    } else if (parts_->port.Ask(
                   " Found this URL in my history list of URLs scanned. \n\n Do you want "
                   "to erase the history of URLs scanned? ",
                   "Question", Buttons::YesNo, Icon::Question) != Answer::Yes) {
        return;
    }
    const bool wasPaused = parts_->run.Paused();
    parts_->run.SetPaused(true);
    app_.ShowStatus("Waiting for current downloads to finish before clearing URL history...");
    while (parts_->counters.inProcessCount.load() != 0) {
        parts_->wakeups.WaitUntil([this] { return parts_->slots.CountBusy() == 0; },
                                  parts_->timing.inProcessPollMs);
        parts_->port.ProcessMessages();
        std::lock_guard<std::mutex> lock(parts_->inProcessMutex);
        parts_->counters.inProcessCount.store(
            static_cast<std::uint32_t>(parts_->slots.CountBusy()));
    }
    app_.ShowStatus("Clearing URL history...");
    {
        auto lock = parts_->queues.Visited();
        RecordList& visited = *lock;
        visited.Clear();
        std::lock_guard<std::mutex> redirects(parts_->redirectMutex);
        parts_->redirectFiles.clear();
    }
    {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        downloadHistory.Clear();
        parts_->historyChanged.store(true);
    }
    parts_->run.SetPaused(wasPaused);
    if (!wasPaused) {
        app_.Workers().WakeWorkers();
    }
    app_.ShowStatus("URL history erased.");
}

void CrawlWork::GuessUrls(const UrlRecord& record, bool filtered) {
    const std::string& url = record.url;
    if (url.size() < 13 || parts_->run.StopRequested()) {
        return;
    }
    std::size_t start = url.find("..");
    if (start == std::string::npos) {
        start = url.find('/', 10);
        if (start == std::string::npos) {
            return;
        }
        ++start;
    }
    const bool stopAtQuery = parts_->settings.noGuessAfterQuery.load();
    const std::string* base = record.hasBaseUrl ? &record.baseUrl : nullptr;
    for (std::size_t p = start; p < url.size(); ++p) {
        const char c = url[p];
        if (c == '?' && stopAtQuery) {
            break;
        }
        if (c < '0' || c > '8' || (p > 0 && url[p - 1] == '%')) {
            continue;
        }
        std::string guess = url;
        guess[p] = static_cast<char>(c + 1);
        (void)AddSite(guess, record.allLinked, record.withinDomain, record.thirdFlag, filtered,
                      base);
        if (p + 1 < guess.size() && guess[p + 1] == '9') {
            guess[p + 1] = '0';
            (void)AddSite(guess, record.allLinked, record.withinDomain, record.thirdFlag, filtered,
                          base);
        }
    }
}

void CrawlWork::GuessFileUrls(std::string_view url) {
    if (parts_->run.StopRequested()) {
        return;
    }
    std::size_t start = url.find("..");
    if (start == std::string_view::npos) {
        const bool hasScheme =
            (url.size() > 4 && url[4] == ':') || (url.size() > 5 && url[5] == ':');
        if (hasScheme && url.size() > 10) {
            start = url.find('/', 12);
            if (start == std::string_view::npos) {
                return;
            }
            ++start;
        } else {
            start = 0;
        }
    }
    const bool stopAtQuery = parts_->settings.noGuessAfterQuery.load();
    for (std::size_t p = start; p < url.size(); ++p) {
        const char c = url[p];
        if (c == '?' && stopAtQuery) {
            break;
        }
        if (c >= '0' && c <= '8') {
            if (!stopAtQuery && p >= 5 && url[p - 1] == '%') {
                continue;
            }
            std::string guess(url);
            guess[p] = static_cast<char>(c + 1);
            AddFile(guess, false, false);
            if (p + 1 < guess.size() && guess[p + 1] == '9') {
                guess[p + 1] = '0';
                AddFile(guess, false, false);
            }
            if (c + 1 > '1') {
                std::string lower(url);
                lower[p] = static_cast<char>(c - 1);
                AddFile(lower, false, false);
            }
        } else if (c == '9') {
            std::string guess(url);
            guess[p] = '7';
            AddFile(guess, false, false);
        }
    }
}

}  // namespace wg
