// The crawl's lists, each behind its own lock: "Links To Grubble" (pages to
// scan), "To Download" (file URLs), the visited pages, the download history
// with this run's downloads, and the items workers hold in hand. A list is
// reached only by locking it; never lock two, except through FilesAndPages
// and Held (which may be taken inside Pages or Files, never around them).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "crawl/record_list.h"
#include "crawl/url_list.h"
#include "util/guarded.h"

namespace wg {

// "Sites to Ignore": every URL downloaded before, and those of this run.
struct DownloadHistory {
    UrlList downloaded;
    UrlList thisRun;
};

// What the workers hold: a state save writes these ahead of their queues, so
// that an item in hand is never lost.
struct HeldItems {
    struct UrlHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view url) const {
            return std::hash<std::string_view>{}(url);
        }
    };
    std::map<int, std::string> downloads;  // slot → file URL being fetched
    std::map<int, UrlRecordPtr> pages;     // slot → page being scanned
    // Pages taken from "To Download" while their page was still queued: the
    // page worker that takes the page saves it too. Looked up for every file
    // link offered, so hashed.
    std::unordered_set<std::string, UrlHash, std::equal_to<>> pagesToSave;
};

// The sizes of the lists at one moment, for the windows.
struct QueueCounts {
    std::size_t pages = 0;
    std::size_t files = 0;
    std::size_t visited = 0;
};

class CrawlQueues {
public:
    Guarded<RecordList>::Locked Pages() { return pages_.Lock(); }
    Guarded<UrlList>::Locked Files() { return files_.Lock(); }
    Guarded<RecordList>::Locked Visited() { return visited_.Lock(); }
    Guarded<DownloadHistory>::Locked History() { return history_.Lock(); }
    Guarded<HeldItems>::Locked Held() { return held_.Lock(); }
    // Both queues in one instant.
    std::pair<Guarded<UrlList>::Locked, Guarded<RecordList>::Locked> FilesAndPages() {
        return files_.LockWith(pages_);
    }

    // Loads the index lines a page's duplicate tests will read, without any
    // lock (the index hints are atomic): `withVisited` the visited list's too.
    void PrefetchPage(std::string_view url, bool withVisited) const {
        if (withVisited) {
            visited_.Unlocked().Prefetch(url, false);
        }
        pages_.Unlocked().Prefetch(url, true);
    }
    // The same for a file URL: `withHistory` the download history's too.
    void PrefetchFile(std::string_view url, bool withHistory) const {
        if (withHistory) {
            history_.Unlocked().downloaded.Prefetch(url, false);
        }
        files_.Unlocked().Prefetch(url, true);
    }

    QueueCounts Counts();
    // Either queue holds something.
    bool HasQueuedWork();

private:
    Guarded<RecordList> pages_;
    Guarded<UrlList> files_;
    Guarded<RecordList> visited_;
    Guarded<DownloadHistory> history_;
    Guarded<HeldItems> held_;
};

}  // namespace wg
