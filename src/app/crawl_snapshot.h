// What a front end shows of a crawl at one moment: the queue lengths, the
// counters, the run switches, the "In Process" lines and what the crawl
// came to so far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/crawl_tally.h"

namespace wg {

struct CrawlSnapshot {
    std::size_t pagesQueued = 0;  // "Links To Grubble"
    std::size_t filesQueued = 0;  // "To Download"
    std::uint32_t inProcess = 0;
    std::uint32_t filesDownloaded = 0;
    std::uint32_t urlsScanned = 0;
    bool paused = false;
    bool exitAfterLastDownload = false;
    std::vector<std::string> inProcessLines;  // the status text of every busy slot
    CrawlCounts tally;                        // pages, files, bytes and failures so far
    bool stateSaveFailed = false;             // the last state save could not be written

    bool HasQueuedWork() const { return pagesQueued != 0 || filesQueued != 0; }
};

}  // namespace wg
